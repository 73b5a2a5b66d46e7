#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include "plugins_global.h"

// One thickness reading as the gauge reports it: the value in both units with the texts the gauge
// would display for them, the unit and basis in force and the time it was taken.
// A reading has exactly one owner at a time and is handed on by pointer, never copied.
class RQ_PLUGINS_EXPORT DmmData : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(DmmData)

public:
    explicit DmmData(QObject *parent = nullptr);

    QDateTime time() const { return m_time; }
    void setTime(const QDateTime &time) { m_time = time; }

    double umValue() const { return m_umValue; }
    void setUmValue(double value) { m_umValue = value; }

    double milValue() const { return m_milValue; }
    void setMilValue(double value) { m_milValue = value; }

    QString umText() const { return m_umText; }
    void setUmText(const QString &text) { m_umText = text; }

    QString milText() const { return m_milText; }
    void setMilText(const QString &text) { m_milText = text; }

    // 0 in range, 1 over range ("OL"), -1 over range on the negative side ("-OL").
    int overload() const { return m_overload; }
    void setOverload(int overload) { m_overload = overload; }

    // Exactly "μm" (U+03BC, m) means micrometres; any other text means mils.
    QString unit() const { return m_unit; }
    void setUnit(const QString &unit) { m_unit = unit; }

    QString basis() const { return m_basis; }
    void setBasis(const QString &basis) { m_basis = basis; }

private:
    QDateTime m_time;
    double m_umValue = 0.0;
    double m_milValue = 0.0;
    QString m_umText;
    QString m_milText;
    int m_overload = 0;
    QString m_unit;
    QString m_basis;
};
