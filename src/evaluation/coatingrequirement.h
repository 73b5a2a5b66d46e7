#pragma once

#include <memory>

#include <QList>
#include <QPair>
#include <QString>

class CoatingRule;

// What a coat must measure up to: one rule with its values, or none. Every thickness is in
// unit() ("μm" or mil); readings are judged by their value in that same unit, so an item that
// switches its display unit keeps its judgement. Copies share the rule, which a change replaces
// with a changed copy.
class CoatingRequirement
{
public:
    // A line the chart and histogram draw, as a plain reading value.
    struct Line
    {
        enum Kind { Limit, Nominal, Spot };
        double value = 0.0;
        Kind kind = Limit;
        QString label;
    };

    // No requirement.
    CoatingRequirement() = default;
    // Takes the rule as it is set up; nullptr is no requirement.
    explicit CoatingRequirement(std::unique_ptr<CoatingRule> rule);
    // The rule of that key with its initial values in unit; no requirement for an unknown key.
    CoatingRequirement(const QString &ruleKey, const QString &unit);

    bool isSet() const { return m_rule != nullptr; }
    // nullptr without a requirement.
    const CoatingRule *rule() const { return m_rule.get(); }
    // Empty without a requirement.
    QString ruleKey() const;
    // The rule's name, for example "ISO 19840"; "None" without a requirement.
    QString ruleName() const;
    // Micrometres without a requirement.
    QString unit() const;
    bool isMicrometre() const;
    QString format(double value) const;

    // The value of the rule's field of that key; 0 when the rule has no such field.
    double value(const QString &key) const;
    // Whether the field of that key is set: false for an optional field left empty.
    bool has(const QString &key) const;
    // Sets the field of that key and marks it set; a key the rule does not have changes nothing.
    void setValue(const QString &key, double value);
    // Leaves an optional field empty.
    void clearValue(const QString &key);

    // Empty when the requirement can be used; otherwise what is wrong, for the user.
    QString problem() const;

    // The same requirement with every thickness in unit (1 mil = 25.4 μm), rounded to the
    // decimals that unit is shown with.
    CoatingRequirement convertedTo(const QString &targetUnit) const;

    QList<Line> lines() const;
    // The lines with their values in unit, for views that show the item in another unit.
    QList<Line> linesIn(const QString &targetUnit) const;
    // Label and value pairs that describe the requirement in reports, the rule first.
    QList<QPair<QString, QString>> describe() const;

    bool operator==(const CoatingRequirement &other) const;
    bool operator!=(const CoatingRequirement &other) const { return !(*this == other); }

private:
    // A copy of the rule for a change, with the field of that key; nullptr when there is none.
    std::unique_ptr<CoatingRule> changed(const QString &key, int *field) const;

    std::shared_ptr<const CoatingRule> m_rule;
};
