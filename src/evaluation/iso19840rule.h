#pragma once

#include "coatingrule.h"
#include "failedreadings.h"

// ISO 19840: readings less the roughness correction of the blast profile are judged against the
// nominal dry film thickness (NDFT). The mean at least the NDFT, every reading at least 80 % of
// it, fewer than 20 % of the readings below it, and none above the maximum when one is set.
class Iso19840Rule : public CoatingRule
{
public:
    // The blast-profile roughness corrections, in micrometres.
    static constexpr double FineRoughness = 10.0;
    static constexpr double MediumRoughness = 25.0;
    static constexpr double CoarseRoughness = 40.0;

    Iso19840Rule();

    std::unique_ptr<CoatingRule> clone() const override;
    QString key() const override;
    QString name() const override;
    QString problem() const override;
    QList<CoatingRequirement::Line> lines() const override;
    QList<QPair<QString, QString>> describe() const override;
    int add(int index, double reading, QVector<quint8> *marks) override;
    CoatingVerdict::State state() const override;
    QList<CoatingVerdict::Failure> failures() const override;

private:
    enum Value { Nominal, Maximum, Roughness };

    // In-range readings judged, and the sum of their corrected values.
    int m_count = 0;
    double m_sum = 0.0;
    FailedReadings m_low; // below 80 % of the NDFT
    FailedReadings m_high;
    FailedReadings m_belowNominal;
};
