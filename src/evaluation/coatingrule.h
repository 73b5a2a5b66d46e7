#pragma once

#include <memory>

#include <QList>
#include <QPair>
#include <QString>
#include <QVector>

#include "coatingrequirement.h"
#include "coatingverdict.h"

// One way of judging a coat: the values it is set by, what makes them unusable, how it judges
// readings one at a time and how it describes itself. Every thickness is in unit(), and readings
// come in that unit. A requirement holds a rule set up and never feeds it readings; an evaluator
// judges with a copy of its own, so the running state of a judgement lives beside the values.
class CoatingRule
{
public:
    // A value a rule is set by. The requirement dialog makes a row of it and the workspace stores
    // it under its key; rules that share a key mean the same value by it.
    struct Field
    {
        enum Kind { Thickness, Count, Number };

        QString key;
        // Names the dialog's widgets: "edt" + name, and "cb" + name for the presets.
        QString name;
        QString label;
        Kind kind = Thickness;
        // May be left empty; has() then tells the rule it is not set.
        bool optional = false;
        // The value of a new rule, 0 for a thickness.
        double initial = 0.0;
        // The dialog starts the field at the initial value instead of empty.
        bool prefilled = false;
        // Choices offered beside the field, thicknesses in micrometres.
        QList<QPair<QString, double>> presets;
    };

    virtual ~CoatingRule();

    virtual std::unique_ptr<CoatingRule> clone() const = 0;
    // How the workspace names the rule, for example "iso19840".
    virtual QString key() const = 0;
    // How the user knows the rule, for example "ISO 19840".
    virtual QString name() const = 0;

    const QVector<Field> &fields() const { return m_fields; }
    // -1 when the rule has no field of that key.
    int fieldIndex(const QString &key) const;
    double value(int field) const { return m_values.at(field); }
    void setValue(int field, double value) { m_values[field] = value; }
    // False for an optional field left empty.
    bool has(int field) const { return m_present.at(field); }
    void setPresent(int field, bool present) { m_present[field] = present; }

    QString unit() const { return m_unit; }
    // Names the unit the values are in, without changing them.
    void setUnit(const QString &unit) { m_unit = unit; }
    // Changes the unit and every thickness with it, rounded as a user would enter it.
    void convertTo(const QString &unit);
    QString format(double value) const;
    // A mean beside the limit it broke, never reading as the limit (ThicknessUnit::formatApart).
    QString formatApart(double value, double limit) const;
    // The same rule, unit and values.
    bool sameAs(const CoatingRule &other) const;

    // Empty when the values can be used; otherwise what is wrong, for the user.
    virtual QString problem() const = 0;
    // The lines the chart and histogram draw, as plain reading values.
    virtual QList<CoatingRequirement::Line> lines() const = 0;
    // Label and value pairs that describe the values in reports.
    virtual QList<QPair<QString, QString>> describe() const = 0;

    // Judges the in-range reading of that index (readings are numbered from 0, over-range ones
    // included) in O(1), marking it, or readings before it when it completes a group, with
    // CoatingEvaluator::Mark values. Returns the first reading whose mark it set or changed.
    virtual int add(int index, double reading, QVector<quint8> *marks) = 0;
    // Pending, Pass or Fail.
    virtual CoatingVerdict::State state() const = 0;
    // Every criterion the readings so far broke, in the order the rule states them.
    virtual QList<CoatingVerdict::Failure> failures() const = 0;
    // What a pending verdict waits for.
    virtual QString pending() const;

protected:
    explicit CoatingRule(const QVector<Field> &fields);
    CoatingRule(const CoatingRule &other) = default;
    CoatingRule &operator=(const CoatingRule &other) = delete;

    // The fields most rules share.
    static Field nominalField(bool optional);
    static Field minimumField();
    static Field maximumField(bool optional);

    // A minimum and a maximum with an optional nominal thickness between them.
    QString rangeProblem(int nominal, int minimum, int maximum) const;
    // A nominal dry film thickness above 0 and an optional maximum not below it.
    QString nominalProblem(int nominal, int maximum) const;

    // Finite and 0 or more.
    static bool isThickness(double value);
    // A reading this close to a limit counts as on it.
    static bool below(double value, double limit);
    static bool above(double value, double limit);
    static QString percent(double value);
    // "1 reading", "3 readings".
    static QString readingsText(int count);

private:
    QVector<Field> m_fields;
    QVector<double> m_values;
    QVector<bool> m_present;
    QString m_unit = QStringLiteral("\u03BCm");
};
