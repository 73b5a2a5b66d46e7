#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

class QMainWindow;
class Workspace;

// Tells the user what went wrong with the workspace, each message once in a message box over the
// window, and marks the window's title for as long as readings are not being saved. Messages wait
// for the event loop, so a workspace opened while the window is built speaks once it is shown.
class WorkspaceAlert : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(WorkspaceAlert)

public:
    WorkspaceAlert(Workspace *workspace, QMainWindow *window);

    // The text the window's title ends with while nothing is saved.
    static QString notSavingMark();

private:
    void queueMessage(const QString &text);
    void showMessages();
    void markWindow();

    QPointer<QMainWindow> m_window;
    QStringList m_pending;
    bool m_showing = false;
};
