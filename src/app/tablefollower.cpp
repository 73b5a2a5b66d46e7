#include "tablefollower.h"

#include <QAbstractItemView>
#include <QEvent>

TableFollower::TableFollower(QAbstractItemView *view, QObject *parent)
    : QObject(parent)
    , m_view(view)
{
    m_scroll.setSingleShot(true);
    m_scroll.setInterval(0);
    connect(&m_scroll, &QTimer::timeout, m_view, &QAbstractItemView::scrollToBottom);
    m_view->installEventFilter(this);
}

void TableFollower::rowsAppended()
{
    if (!m_view->isVisible()) {
        m_behind = true;
        return;
    }
    if (!m_scroll.isActive())
        m_scroll.start();
}

bool TableFollower::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view && event->type() == QEvent::Show && m_behind) {
        m_behind = false;
        m_scroll.start();
    }
    return QObject::eventFilter(watched, event);
}
