#include "itemsummary.h"

#include <QCoreApplication>
#include <QStringList>
#include <QVector>

#include "dmmdata.h"
#include "itemdata.h"

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("ItemSummary", text);
}

const QString TimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");

} // namespace

QString ItemSummary::verdictLabel()
{
    return tr("Verdict");
}

QString ItemSummary::failedLabel()
{
    return tr("Failed");
}

QStringList ItemSummary::trailLines(const ItemData &item)
{
    QStringList lines;
    const QVector<ExclusionEvent> &trail = item.exclusionTrail();
    lines.reserve(trail.size());
    for (const ExclusionEvent &event : trail) {
        const QString change =
            event.excluded ? tr("No. %1 excluded (%2)").arg(event.reading + 1).arg(event.reason)
                           : tr("No. %1 included again").arg(event.reading + 1);
        lines.append(tr("%1 by %2, %3").arg(change, event.who, event.when.toString(TimeFormat)));
    }
    return lines;
}

ItemSummary::Rows ItemSummary::rows(const ItemData &item, bool exclusions)
{
    return item.requirement().isSet() ? reportRows(item, exclusions) : Rows();
}

ItemSummary::Rows ItemSummary::reportRows(const ItemData &item, bool exclusions)
{
    Rows rows;
    const CoatingRequirement &requirement = item.requirement();

    const QList<DmmData *> readings = item.readings();
    QStringList bases;
    for (const DmmData *reading : readings) {
        if (!bases.contains(reading->basis()))
            bases.append(reading->basis());
    }
    rows.append({tr("Item"), item.name()});
    rows.append({tr("Unit"), item.unit()});
    rows.append({tr("Basis"), bases.join(QStringLiteral(", "))});
    rows.append({tr("Time span"), readings.isEmpty()
                                      ? QString()
                                      : QStringLiteral("%1 - %2").arg(
                                            readings.first()->time().toString(TimeFormat),
                                            readings.last()->time().toString(TimeFormat))});

    const StatData *statistics = item.statistics();
    rows.append({tr("Readings"), QString::number(statistics->num)});
    if (exclusions && statistics->excluded > 0)
        rows.append(
            {tr("Excluded"),
             tr("%1, left out of the statistics and the verdict").arg(statistics->excluded)});
    rows.append({tr("Average"), statistics->avg});
    rows.append({tr("Minimum reading"), statistics->min});
    rows.append({tr("Maximum reading"), statistics->max});
    rows.append({tr("Standard deviation"), statistics->sd});
    rows.append({tr("Coefficient of variation"), statistics->cv});

    if (!requirement.isSet()) {
        rows.append({tr("Over range"), QString::number(statistics->overRange)});
        rows.append({tr("Requirement"), tr("None")});
        return rows;
    }
    rows.append(requirement.describe());

    const CoatingVerdict verdict = item.evaluation().verdict();
    rows.append({verdictLabel(), verdict.state == CoatingVerdict::Pending ? verdict.headline()
                                                                          : verdict.stateText()});
    for (const CoatingVerdict::Failure &failure : verdict.failures) {
        rows.append({failedLabel(), failure.text});
        const QString list = CoatingVerdict::readingList(failure);
        if (!list.isEmpty())
            rows.append({tr("Caused by"), list});
    }
    if (verdict.overRange > 0)
        rows.append({tr("Over range, not judged"), QString::number(verdict.overRange)});
    return rows;
}
