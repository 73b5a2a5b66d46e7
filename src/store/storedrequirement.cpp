#include "storedrequirement.h"

#include <memory>

#include <QHash>
#include <QStringList>
#include <QVector>

#include "coatingrule.h"
#include "coatingrules.h"
#include "thicknessunit.h"

namespace {

const QString Mil = QStringLiteral("mil");

// A field as the text holds it: the first rule that declares a key gives its kind and initial
// value, and a key that any rule may leave empty has a flag.
struct StoredField
{
    CoatingRule::Field field;
    bool flagged = false;

    QString flagKey() const
    {
        return QStringLiteral("has") + field.key.left(1).toUpper() + field.key.mid(1);
    }
};

const QVector<StoredField> &storedFields()
{
    static const QVector<StoredField> fields = [] {
        QVector<StoredField> list;
        for (const CoatingRule *rule : CoatingRules::all()) {
            for (const CoatingRule::Field &field : rule->fields()) {
                int known = 0;
                while (known < list.size() && list.at(known).field.key != field.key)
                    ++known;
                if (known == list.size())
                    list.append({field, false});
                list[known].flagged = list.at(known).flagged || field.optional;
            }
        }
        return list;
    }();
    return fields;
}

QString number(double value, CoatingRule::Field::Kind kind)
{
    if (kind == CoatingRule::Field::Count)
        return QString::number(int(value));
    return QString::number(value, 'g', 17);
}

bool readNumber(const QString &text, CoatingRule::Field::Kind kind, double *value)
{
    bool ok = false;
    *value = kind == CoatingRule::Field::Count ? text.toInt(&ok) : text.toDouble(&ok);
    return ok;
}

bool readFlag(const QString &text, bool *value)
{
    *value = text == QLatin1String("1");
    return *value || text == QLatin1String("0");
}

QString flag(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

QString StoredRequirement::toText(const CoatingRequirement &requirement)
{
    const CoatingRule *rule = requirement.rule();
    if (!rule)
        return QString();
    QStringList pairs = {QStringLiteral("rule=") + rule->key(),
                         QStringLiteral("unit=") + rule->unit()};
    for (const StoredField &stored : storedFields()) {
        const int field = rule->fieldIndex(stored.field.key);
        if (stored.flagged)
            pairs.append(stored.flagKey() + QLatin1Char('=') +
                         flag(field >= 0 && rule->has(field)));
        pairs.append(
            stored.field.key + QLatin1Char('=') +
            number(field >= 0 ? rule->value(field) : stored.field.initial, stored.field.kind));
    }
    return pairs.join(QLatin1Char(';'));
}

CoatingRequirement StoredRequirement::fromText(const QString &text)
{
    if (text.isEmpty())
        return CoatingRequirement();
    QHash<QString, QString> values;
    for (const QString &pair : text.split(QLatin1Char(';'))) {
        const int equals = pair.indexOf(QLatin1Char('='));
        if (equals < 0)
            return CoatingRequirement();
        const QString key = pair.left(equals);
        if (values.contains(key))
            return CoatingRequirement();
        values.insert(key, pair.mid(equals + 1));
    }

    std::unique_ptr<CoatingRule> rule = CoatingRules::create(values.take(QStringLiteral("rule")));
    const QString unit = values.take(QStringLiteral("unit"));
    if (!rule || (!ThicknessUnit::isMicrometre(unit) && unit != Mil))
        return CoatingRequirement();
    rule->setUnit(unit);
    for (const StoredField &stored : storedFields()) {
        const int field = rule->fieldIndex(stored.field.key);
        bool present = true;
        if (stored.flagged && values.contains(stored.flagKey())) {
            if (!readFlag(values.take(stored.flagKey()), &present))
                return CoatingRequirement();
        } else if (stored.flagged && field >= 0) {
            return CoatingRequirement();
        }
        double value = 0.0;
        if (values.contains(stored.field.key)) {
            if (!readNumber(values.take(stored.field.key), stored.field.kind, &value))
                return CoatingRequirement();
        } else if (field >= 0) {
            return CoatingRequirement();
        }
        if (field >= 0) {
            rule->setValue(field, value);
            rule->setPresent(field, present);
        }
    }
    if (!values.isEmpty() || !rule->problem().isEmpty())
        return CoatingRequirement();
    return CoatingRequirement(std::move(rule));
}
