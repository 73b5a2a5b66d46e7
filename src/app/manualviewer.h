#pragma once

#include <QObject>
#include <QString>

class QWidget;

// Help > Manual: finds "Software User Manual.pdf" and hands it to the system's PDF viewer. When the
// file or a viewer is missing the user is told, with the file's path.
class ManualViewer : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(ManualViewer)

public:
    explicit ManualViewer(QWidget *window);

    static QString fileName();
    // The manual in the current folder, beside the program, or in the documentation folder of an
    // installation (share/doc/rq6814-logger); empty when there is none.
    static QString locate(const QString &currentDir, const QString &appDir);

    // Returns at once; a viewer that fails to start is reported when the failure is known.
    void open();

private:
    void reportNoViewer(const QString &path);

    QWidget *m_window;
};
