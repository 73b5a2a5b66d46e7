#include "loadindicator.h"

#include <algorithm>

#include <QProgressBar>
#include <QStatusBar>

#include "itemdata.h"
#include "itemstore.h"

namespace {
// Pixels on either side of the bar's text.
constexpr int TextMargin = 12;
} // namespace

LoadIndicator::LoadIndicator(QStatusBar *statusBar, ItemStore *items)
    : QObject(statusBar)
    , m_items(items)
    , m_bar(new QProgressBar(statusBar))
{
    m_bar->setObjectName(QStringLiteral("loadProgress"));
    m_bar->setMaximumWidth(260);
    m_bar->hide();
    statusBar->addPermanentWidget(m_bar);
    connect(items, &ItemStore::loadProgress, this, &LoadIndicator::showProgress);
    connect(items, &ItemStore::activeChanged, this, [this](ItemData *item) {
        if (item && m_items->isLoading(item))
            showProgress(item, item->readings().size(), m_items->loadTotal(item));
        else
            m_bar->hide();
    });
}

void LoadIndicator::showProgress(ItemData *item, int loaded, int total)
{
    if (item != m_items->active())
        return;
    if (loaded >= total) {
        m_bar->hide();
        return;
    }
    m_bar->setRange(0, total);
    m_bar->setValue(loaded);
    m_bar->setFormat(tr("Loading %1: %p%").arg(item->name()));
    // Wide enough for the whole text at 100 %, which a narrow window would otherwise cut.
    const QString widest = m_bar->format().replace(QStringLiteral("%p"), QStringLiteral("100"));
    m_bar->setMinimumWidth(std::min(
        m_bar->maximumWidth(), m_bar->fontMetrics().horizontalAdvance(widest) + 2 * TextMargin));
    m_bar->show();
}
