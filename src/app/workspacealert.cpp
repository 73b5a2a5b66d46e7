#include "workspacealert.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>

#include "workspace.h"

WorkspaceAlert::WorkspaceAlert(Workspace *workspace, QMainWindow *window)
    : QObject(window)
    , m_window(window)
{
    connect(workspace, &Workspace::message, this, &WorkspaceAlert::queueMessage);
    connect(workspace, &Workspace::savingStopped, this,
            [this] { QTimer::singleShot(0, this, &WorkspaceAlert::markWindow); });
}

QString WorkspaceAlert::notSavingMark()
{
    return tr("[readings are not being saved]");
}

void WorkspaceAlert::queueMessage(const QString &text)
{
    m_pending.append(text);
    if (m_pending.size() == 1 && !m_showing)
        QTimer::singleShot(0, this, &WorkspaceAlert::showMessages);
}

void WorkspaceAlert::showMessages()
{
    // One box at a time: a message that comes while a box is open waits for it to close.
    m_showing = true;
    while (!m_pending.isEmpty() && m_window) {
        const QString text = m_pending.takeFirst();
        QMessageBox::warning(m_window, QString(), text, QMessageBox::Ok);
    }
    m_showing = false;
}

void WorkspaceAlert::markWindow()
{
    if (!m_window)
        return;
    const QString title = m_window->windowTitle();
    if (!title.endsWith(notSavingMark()))
        m_window->setWindowTitle(title + notSavingMark());
}
