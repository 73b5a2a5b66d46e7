#pragma once

#include "coatingrule.h"
#include "failedreadings.h"

// The "90/10" rule of IMO PSPC: at least 90 % of the readings at or above the
// nominal dry film thickness (NDFT), none below 90 % of it, and none above the maximum when one
// is set.
class ImoPspcRule : public CoatingRule
{
public:
    ImoPspcRule();

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
    enum Value { Nominal, Maximum };

    // More readings below the NDFT than the 10 % allowed.
    bool tooManyBelowNominal() const;

    int m_count = 0;
    FailedReadings m_low; // below 90 % of the NDFT
    FailedReadings m_high;
    FailedReadings m_belowNominal;
};
