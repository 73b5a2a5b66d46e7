#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QVector>

#include "coatingevaluator.h"
#include "coatingrequirement.h"
#include "exclusionevent.h"
#include "itemnotes.h"
#include "igaugerange.h"
#include "runningstatistics.h"
#include "statdata.h"

class DmmData;

// One named collection of readings. The item owns its readings and keeps their statistics as
// texts. Items have no QObject parent; the tree row that references one decides its lifetime.
class ItemData : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(ItemData)

public:
    // TeamData is a colleague's item read from the team server: shown, never changed here.
    enum DataType { LiveData = 0, MeasureData = 1, ImportData = 2, StoreData = 3, TeamData = 4 };

    ItemData(const QString &name, DataType type, QObject *parent = nullptr);
    ~ItemData() override;

    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }

    QString unit() const { return m_unit; }
    // Leaves the statistics texts as they are until the next recomputation.
    void setUnit(const QString &unit);

    // True when the unit text is exactly "μm": readings then count with their micrometre values.
    bool isMicrometre() const;

    // The top of the measuring range of the gauge that filled the item, in micrometres
    // (IGaugeRange::DefaultRangeUm until a gauge says otherwise): statistics above it read " OL".
    // Items in mils are held to the same number, as they always were, so that they show what they
    // did. Leaves the statistics texts as they are until the next recomputation.
    double rangeUm() const { return m_rangeUm; }
    void setRangeUm(double rangeUm) { m_rangeUm = rangeUm; }

    // The value a reading shows with in this item's unit: its micrometre or mil value, or for an
    // over-range reading +infinity ("OL") or -infinity ("-OL"), whatever value it carries. The
    // statistics, the histogram and the chart all take a reading's value from here.
    double valueOf(const DmmData *reading) const;
    static double valueOf(const DmmData *reading, bool micrometre);
    // The reading's display text in this item's unit.
    QString textOf(const DmmData *reading) const;

    DataType dataType() const { return m_dataType; }
    bool isReadOnly() const { return m_dataType == TeamData; }

    QList<DmmData *> readings() const { return m_readings; }
    const StatData *statistics() const { return &m_statistics; }

    // Takes ownership of reading, which counts until it is excluded. With updateStatistics set the
    // texts are refreshed in O(1) and come out exactly as a full updateStatistics() would make
    // them.
    void appendReading(DmmData *reading, bool updateStatistics);
    // Takes ownership of readings, excluded for the reasons at their index in exclusions (those
    // past its end count), and refreshes the texts; no full pass over the earlier readings.
    void appendReadings(const QList<DmmData *> &readings, const QVector<QString> &exclusions);
    // Full recomputation from every reading that is not excluded.
    void updateStatistics();
    // Rewrites the texts in the current unit from the running state, in O(1). The texts of an
    // item that never had a reading stay as they are.
    void refreshStatisticsTexts();
    void clearReadings();
    // Empties the item as clearReadings() does, handing its readings to the caller; their
    // exclusions and trail go with them.
    QList<DmmData *> takeReadings();

    // An excluded reading stays in the item and in its views, but leaves the statistics (num
    // still counts it, and excludedCount() says how many), the judgement and its spots and areas.
    bool isExcluded(int index) const;
    // Why the reading was excluded; empty for a reading that counts.
    QString exclusionReason(int index) const;
    int excludedCount() const { return m_excludedCount; }
    // The reason of every reading by index, empty for those that count; readings past its end
    // count.
    const QVector<QString> &exclusions() const { return m_exclusions; }
    // Excludes the readings at indexes for reason, or includes them again when reason is empty,
    // then counts and judges every reading afresh in one pass. Indexes outside the readings are
    // passed over.
    void setExcluded(const QVector<int> &indexes, const QString &reason);
    // Replaces every exclusion at once, as exclusions() gives them, with one pass as above.
    void setExclusions(const QVector<QString> &reasons);
    // Who excluded or included which reading when and why, oldest first. Nothing rewrites it.
    const QVector<ExclusionEvent> &exclusionTrail() const { return m_trail; }
    void appendToTrail(const QVector<ExclusionEvent> &events) { m_trail += events; }
    void setExclusionTrail(const QVector<ExclusionEvent> &trail) { m_trail = trail; }

    QString formatStatistic(double value) const;

    // What the coat must measure up to; the readings are judged again from the first one.
    const CoatingRequirement &requirement() const { return m_requirement; }
    void setRequirement(const CoatingRequirement &requirement);
    const ItemNotes &notes() const { return m_notes; }
    void setNotes(const ItemNotes &notes) { m_notes = notes; }

    // The judgement of the readings so far, kept up to date by appendReading.
    const CoatingEvaluator &evaluation() const { return m_evaluator; }

private:
    void accumulate(const DmmData *reading);
    // Statistics and judgement from the readings that count, texts included once published.
    void recount();
    void publishStatistics();

    QString m_name;
    QList<DmmData *> m_readings;
    StatData m_statistics;
    QString m_unit;
    double m_rangeUm = IGaugeRange::DefaultRangeUm;
    DataType m_dataType;

    // Running state of the statistics pass over m_readings in list order, in both units, so
    // that a change of unit needs no pass over the readings.
    RunningStatistics m_micrometres;
    RunningStatistics m_mils;
    // False until texts are first made from readings, and again after clearReadings().
    bool m_published = false;

    // Reasons by reading index; shorter than m_readings when the last readings count.
    QVector<QString> m_exclusions;
    int m_excludedCount = 0;
    QVector<ExclusionEvent> m_trail;

    CoatingRequirement m_requirement;
    ItemNotes m_notes;
    CoatingEvaluator m_evaluator;
};
