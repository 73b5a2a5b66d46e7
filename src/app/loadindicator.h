#pragma once

#include <QObject>

class ItemData;
class ItemStore;
class QProgressBar;
class QStatusBar;

// A bar in the status bar that shows how far the active item's readings have come in while they
// are read from the workspace; hidden otherwise.
class LoadIndicator : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(LoadIndicator)

public:
    LoadIndicator(QStatusBar *statusBar, ItemStore *items);

private:
    void showProgress(ItemData *item, int loaded, int total);

    ItemStore *m_items;
    QProgressBar *m_bar;
};
