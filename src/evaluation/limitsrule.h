#pragma once

#include "coatingrule.h"
#include "failedreadings.h"

// Every reading within a minimum and a maximum. A nominal thickness may be given; it is only
// drawn.
class LimitsRule : public CoatingRule
{
public:
    LimitsRule();

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
    enum Value { Nominal, Minimum, Maximum };

    int m_count = 0;
    FailedReadings m_low;
    FailedReadings m_high;
};
