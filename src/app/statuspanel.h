#pragma once

#include <QObject>
#include <QString>

class QAction;
class QLabel;
class QStatusBar;

// The main window's status bar: the gauge's connection state, the latest message of the gauge or
// the window, and a button that shows the full message list. Other parts of the window add their
// own fields with addField.
class StatusPanel : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(StatusPanel)

public:
    enum class State { Disconnected, Connected, Recording };

    // Builds its fields on statusBar; showMessages is the action that shows the message list.
    StatusPanel(QStatusBar *statusBar, QAction *showMessages);

    void setState(State state, const QString &itemName = QString());
    void showMessage(const QString &message);
    // Adds field at the right-hand end, before the message-list button.
    void addField(QLabel *field);

    static QString stateText(State state, const QString &itemName);

private:
    QStatusBar *m_bar;
    QLabel *m_state;
    QLabel *m_message;
    int m_fields = 0;
};
