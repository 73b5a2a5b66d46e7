#include "activeitemviews.h"

#include <algorithm>
#include <cmath>

#include <QTableView>

#include "chartpoint.h"
#include "datamodel.h"
#include "dmmchart.h"
#include "dmmdata.h"
#include "histogram.h"
#include "igaugerange.h"
#include "itemstore.h"
#include "livepanel.h"
#include "tablefollower.h"

namespace {

// What the chart's line shows for the readings first to end - 1: each one's value, and for a run of
// excluded readings the straight line between the readings that count on either side, so that the
// line runs on past them as if they were not there. NaN where there is no such reading, which
// includes one not loaded yet.
QVector<double> lineValues(const ItemData *item, int first, int end)
{
    const QList<DmmData *> readings = item->readings();
    const double none = std::nan("");
    // A run that begins before first is joined from where it begins.
    int start = first;
    if (item->isExcluded(start)) {
        while (start > 0 && item->isExcluded(start - 1))
            --start;
    }
    QVector<double> values(end - start);
    int i = start;
    while (i < end) {
        if (!item->isExcluded(i)) {
            values[i - start] = item->valueOf(readings.at(i));
            ++i;
            continue;
        }
        int runEnd = i;
        while (runEnd < readings.size() && item->isExcluded(runEnd))
            ++runEnd;
        const double before = i > 0 ? item->valueOf(readings.at(i - 1)) : none;
        const double after = runEnd < readings.size() ? item->valueOf(readings.at(runEnd)) : none;
        const bool joined = std::isfinite(before) && std::isfinite(after);
        for (int k = i; k < std::min(runEnd, end); ++k)
            values[k - start] =
                joined ? before + (after - before) * (k - i + 1) / (runEnd - i + 1) : none;
        i = runEnd;
    }
    return values.mid(first - start);
}

} // namespace

ActiveItemViews::ActiveItemViews(const Views &views, ItemStore *items, QObject *parent)
    : QObject(parent)
    , m_views(views)
    , m_items(items)
    , m_tableModel(new DataModel(this))
    , m_tableFollower(new TableFollower(views.table, this))
{
    m_views.table->setModel(m_tableModel);
    const int widths[] = {80, 150, 100, 80, 80};
    for (int column = 0; column < m_tableModel->columnCount(); ++column)
        m_views.table->setColumnWidth(column, widths[column]);
    m_views.histogram->setRanges(Histogram::standardRanges(IGaugeRange::DefaultRangeUm));
    connect(items, &ItemStore::activeChanged, this, &ActiveItemViews::showActive);
    connect(items, &ItemStore::readingsAppended, this, &ActiveItemViews::showAppended);
    // A reading held back while the item loads is shown live at once and in the views after the
    // loaded ones.
    connect(items, &ItemStore::readingHeld, this, [this](ItemData *item, const DmmData *reading) {
        if (item == m_items->active())
            m_views.panel->showReading(item->textOf(reading), item->unit(), reading->basis());
    });
    // Room for all the points of a load at its start, shown or not yet: growing the chart's
    // arrays part by part would copy a million points now and then.
    connect(items, &ItemStore::loadProgress, this, [this](ItemData *item, int, int total) {
        if (item == m_items->active())
            m_views.chart->reservePoints(total);
    });
    connect(items, &ItemStore::unitChanged, this, &ActiveItemViews::showUnit);
    connect(items, &ItemStore::readingsCleared, this, &ActiveItemViews::showCleared);
    connect(items, &ItemStore::exclusionsChanged, this, &ActiveItemViews::showExclusions);
    connect(items, &ItemStore::rangeChanged, this, [this](ItemData *item) {
        if (item == m_items->active())
            showBands();
    });
    connect(items, &ItemStore::requirementChanged, this, [this](ItemData *item) {
        if (item != m_items->active())
            return;
        showRequirement();
        showStatistics();
    });
    connect(items, &ItemStore::renamed, this,
            [this] { m_views.panel->showItem(m_items->active()); });
}

ActiveItemViews::~ActiveItemViews()
{
    // The table's rows point into the item's readings, which may go before the table does.
    m_tableModel->clearRows();
    m_tableModel->setItem(nullptr);
}

void ActiveItemViews::showActive(ItemData *item)
{
    m_tableModel->setItem(item);
    if (item) {
        refreshItemViews();
        return;
    }
    clearViews();
    showRequirement();
    m_views.panel->showItem(nullptr);
}

void ActiveItemViews::refreshItemViews()
{
    ItemData *item = m_items->active();
    if (!item)
        return;
    // Titles, decimals, the unit label and the statistics follow the unit the values are in.
    setThicknessUnit(item->isMicrometre());
    item->refreshStatisticsTexts();
    clearViews();
    addToViews(item, 0, item->readings().size());
    m_views.table->scrollToBottom();
    m_views.panel->showItem(item);
    showRequirement();
    showStatistics();
}

void ActiveItemViews::showAppended(ItemData *item, int first, int count)
{
    if (item != m_items->active() || count <= 0)
        return;
    addToViews(item, first, count);
    if (count > 1) {
        m_views.panel->showItem(item);
    } else if (item->dataType() == ItemData::MeasureData) {
        // A download fills its item faster than the panel could follow: the window shows its
        // newest reading when it ends.
        const DmmData *reading = item->readings().at(first);
        m_views.panel->showReading(item->textOf(reading), item->unit(), reading->basis());
    }
    showStatistics();
}

void ActiveItemViews::addToViews(ItemData *item, int first, int count)
{
    const QList<DmmData *> readings = item->readings();
    // A run of excluded readings that ended the readings shown had no reading after it to run the
    // line to: its points are joined now, and nothing else of the line is drawn again.
    int runStart = first;
    while (runStart > 0 && item->isExcluded(runStart - 1))
        --runStart;
    if (count == 1) {
        if (runStart < first)
            m_views.chart->setValues(lineValues(item, runStart, first), runStart);
        // One reading at a time, as they come from the gauge.
        DmmData *reading = readings.at(first);
        const double value = item->valueOf(reading);
        const QString text = item->textOf(reading);
        m_tableModel->appendReadingRow(reading);
        m_tableFollower->rowsAppended();
        m_views.histogram->addValue(value);
        const QString label = QStringLiteral("%1%2 %3").arg(text, item->unit(), reading->basis());
        m_views.chart->addPoint(new ChartPoint(value, reading->time(), label));
        return;
    }
    const QList<DmmData *> added = readings.mid(first, count);
    QList<double> values;
    QList<ChartPoint *> points;
    values.reserve(count);
    points.reserve(count);
    const QVector<double> line =
        item->excludedCount() > 0 ? lineValues(item, runStart, first + count) : QVector<double>();
    if (runStart < first)
        m_views.chart->setValues(line.mid(0, first - runStart), runStart);
    // The part's own excluded readings: a pass over all of the item's for every part would grow
    // with the item.
    QVector<int> excludedIndexes;
    QVector<double> excludedValues;
    for (int i = first; i < first + count; ++i) {
        const DmmData *reading = readings.at(i);
        const double value = item->valueOf(reading);
        if (item->isExcluded(i)) {
            excludedIndexes.append(i);
            excludedValues.append(value);
        } else {
            values.append(value);
        }
        points.append(new ChartPoint(line.isEmpty() ? value : line.at(i - runStart),
                                     reading->time(), QVariant()));
    }
    m_tableModel->setReadings(added);
    m_tableFollower->rowsAppended();
    m_views.histogram->addValues(values);
    m_views.chart->addPoints(points);
    if (!excludedIndexes.isEmpty())
        m_views.chart->addExcluded(excludedIndexes, excludedValues);
}

void ActiveItemViews::showExclusions(ItemData *item, const QVector<int> &indexes)
{
    if (item != m_items->active() || indexes.isEmpty())
        return;
    const auto [first, last] = std::minmax_element(indexes.cbegin(), indexes.cend());
    const QList<DmmData *> readings = item->readings();
    m_views.chart->setValues(lineValues(item, 0, readings.size()));
    showExcluded(item);
    QList<double> values;
    values.reserve(readings.size() - item->excludedCount());
    for (int i = 0; i < readings.size(); ++i) {
        if (!item->isExcluded(i))
            values.append(item->valueOf(readings.at(i)));
    }
    m_views.histogram->clear();
    m_views.histogram->addValues(values);
    m_tableModel->refreshExclusions(*first, *last);
    showStatistics();
}

void ActiveItemViews::showExcluded(const ItemData *item)
{
    const QList<DmmData *> readings = item->readings();
    const QVector<QString> &reasons = item->exclusions();
    QVector<int> indexes;
    QVector<double> values;
    indexes.reserve(item->excludedCount());
    values.reserve(item->excludedCount());
    for (int i = 0; i < reasons.size(); ++i) {
        if (reasons.at(i).isEmpty())
            continue;
        indexes.append(i);
        values.append(item->valueOf(readings.at(i)));
    }
    m_views.chart->setExcluded(indexes, values);
}

void ActiveItemViews::showUnit(ItemData *item)
{
    if (item != m_items->active())
        return;
    // The titles take any case of the unit ("μM"); the values only the exact "μm".
    setThicknessUnit(item->unit().toLower() == QStringLiteral("\u03BCm"));
    if (item->requirement().isSet())
        showRequirement();
}

void ActiveItemViews::showCleared(ItemData *item)
{
    if (item != m_items->active())
        return;
    clearViews();
    m_views.panel->showItem(item);
    showStatistics();
}

void ActiveItemViews::clearViews()
{
    m_tableModel->clearRows();
    m_views.histogram->clear();
    m_views.chart->clear();
}

void ActiveItemViews::showStatistics()
{
    if (const ItemData *item = m_items->active())
        m_views.panel->showStatistics(*item);
}

void ActiveItemViews::showRequirement()
{
    const ItemData *item = m_items->active();
    // Without an active item the views show nothing to judge.
    const QList<CoatingRequirement::Line> lines =
        item ? item->requirement().linesIn(item->unit()) : QList<CoatingRequirement::Line>();
    if (!item)
        m_views.panel->hideVerdict();
    m_views.chart->setMarkLines(lines);
    showBands();
    m_views.histogram->setMarkLines(lines);
    m_tableModel->refreshMarks();
}

void ActiveItemViews::showBands()
{
    const ItemData *item = m_items->active();
    const QList<CoatingRequirement::Line> lines =
        item ? item->requirement().linesIn(item->unit()) : QList<CoatingRequirement::Line>();
    // Over range above the item's range, in the numbers of its unit as its statistics count.
    const double limit = item ? item->rangeUm() : IGaugeRange::DefaultRangeUm;
    if (lines.isEmpty()) {
        m_views.histogram->setRanges(Histogram::standardRanges(limit));
        return;
    }
    const auto [lowest, highest] =
        std::minmax_element(lines.cbegin(), lines.cend(),
                            [](const auto &a, const auto &b) { return a.value < b.value; });
    m_views.histogram->setRanges(Histogram::rangesAround(lowest->value, highest->value, limit));
}

void ActiveItemViews::setThicknessUnit(bool micrometres)
{
    const QString title =
        micrometres ? QStringLiteral("%1(%2)").arg(tr("Thickness"), QStringLiteral("\u03BCm"))
                    : tr("Thickness(mil)");
    const int decimals = micrometres ? 1 : 2;
    m_views.histogram->setYTitle(title);
    m_views.histogram->setDecimals(decimals);
    m_views.chart->setYTitle(title);
    m_views.chart->setDecimals(decimals);
}
