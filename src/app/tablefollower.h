#pragma once

#include <QObject>
#include <QTimer>

class QAbstractItemView;

// Keeps a view scrolled to its last row while rows arrive. Scrolling lays the view out again,
// which in a table of a million rows costs more than the reading that made the row, so it happens
// once per event-loop turn and only while the view is visible; a view that was hidden meanwhile
// scrolls when it is shown.
class TableFollower : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(TableFollower)

public:
    explicit TableFollower(QAbstractItemView *view, QObject *parent = nullptr);

    // Rows were appended to the view's model.
    void rowsAppended();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAbstractItemView *m_view;
    QTimer m_scroll;
    bool m_behind = false; // rows arrived while the view was hidden
};
