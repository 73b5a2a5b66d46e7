#pragma once

#include "coatingrule.h"
#include "failedreadings.h"

// SSPC-PA 2: readings are grouped in arrival order into spots, spots into areas. A spot's mean
// lies within a percentage of the minimum and of the maximum, an area's mean within the minimum
// and the maximum. A group is judged once, when it is complete, and its readings are marked then.
class SspcPa2Rule : public CoatingRule
{
public:
    SspcPa2Rule();

    std::unique_ptr<CoatingRule> clone() const override;
    QString key() const override;
    QString name() const override;
    QString problem() const override;
    QList<CoatingRequirement::Line> lines() const override;
    QList<QPair<QString, QString>> describe() const override;
    int add(int index, double reading, QVector<quint8> *marks) override;
    CoatingVerdict::State state() const override;
    QList<CoatingVerdict::Failure> failures() const override;
    QString pending() const override;

private:
    enum Value {
        Nominal,
        Minimum,
        Maximum,
        ReadingsPerSpot,
        SpotsPerArea,
        SpotLowerPercent,
        SpotUpperPercent
    };

    // The spot restriction.
    double spotLow() const;
    double spotHigh() const;
    // Judge the complete spot or area; firstChanged comes down to the first reading marked.
    void judgeSpot(QVector<quint8> *marks, int *firstChanged);
    void judgeArea(QVector<quint8> *marks, int *firstChanged);
    static void markGroup(const QVector<int> &indexes, quint8 mark, FailedReadings *failed,
                          int group, double mean, QVector<quint8> *marks, int *firstChanged);

    // The spot and the area being filled, and what is complete.
    QVector<int> m_spotIndexes;
    double m_spotSum = 0.0;
    QVector<int> m_areaIndexes;
    int m_areaSpots = 0;
    double m_areaSpotSum = 0.0;
    int m_spots = 0;
    int m_areas = 0;
    FailedReadings m_lowSpots;
    FailedReadings m_highSpots;
    FailedReadings m_lowAreas;
    FailedReadings m_highAreas;
};
