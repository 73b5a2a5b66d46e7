#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include "data/statdata.h"
#include "evaluation/coatingevaluator.h"
#include "evaluation/coatingspecification.h"
#include "evaluation/runningspread.h"

class DmmData;

// One named collection of readings. The item owns its readings and keeps their statistics as
// texts. Items have no QObject parent; the tree row that references one decides its lifetime.
class ItemData : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(ItemData)

public:
    enum DataType { LiveData = 0, MeasureData = 1, ImportData = 2, StoreData = 3 };

    ItemData(const QString &name, DataType type, QObject *parent = nullptr);
    ~ItemData() override;

    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }

    QString unit() const { return m_unit; }
    // Leaves the statistics texts as they are until the next recomputation.
    void setUnit(const QString &unit);

    // True when the unit text is exactly "μm": readings then count with their micrometre values.
    bool isMicrometre() const;

    DataType dataType() const { return m_dataType; }

    QList<DmmData *> readings() const { return m_readings; }
    const StatData *statistics() const { return &m_statistics; }

    // Takes ownership of reading. With updateStatistics set the texts are refreshed in O(1) and
    // come out exactly as a full updateStatistics() would make them.
    void appendReading(DmmData *reading, bool updateStatistics);
    // Full recomputation from every reading.
    void updateStatistics();
    void clearReadings();

    QString formatStatistic(double value) const;

    // What the coat must measure up to; the readings are judged again from the first one.
    const CoatingSpecification &specification() const { return m_specification; }
    void setSpecification(const CoatingSpecification &specification);
    // The judgement of the readings so far, kept up to date by appendReading.
    const CoatingEvaluator &evaluation() const { return m_evaluator; }

private:
    double valueOf(const DmmData *reading) const;
    void accumulate(double value);
    void publishStatistics();
    void publishSpread();

    QString m_name;
    QList<DmmData *> m_readings;
    StatData m_statistics;
    QString m_unit;
    DataType m_dataType;

    // Running state of the statistics pass over m_readings in list order. It is only valid for
    // the unit it was built with; m_runningValid is cleared when the unit changes.
    bool m_runningValid = true;
    int m_runCount = 0;
    double m_runSum = 0.0;
    double m_runMin = 0.0;
    double m_runMax = 0.0;
    // Standard deviation and coefficient of variation of the same values, in the same pass.
    RunningSpread m_spread;

    CoatingSpecification m_specification;
    CoatingEvaluator m_evaluator;
};
