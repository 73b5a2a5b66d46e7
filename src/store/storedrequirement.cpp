#include "storedrequirement.h"

#include <QHash>
#include <QStringList>

namespace {

const QString Micrometre = QStringLiteral("\u03BCm");
const QString Mil = QStringLiteral("mil");

QString ruleKey(CoatingRequirement::Rule rule)
{
    switch (rule) {
    case CoatingRequirement::Limits:
        return QStringLiteral("limits");
    case CoatingRequirement::Iso19840:
        return QStringLiteral("iso19840");
    case CoatingRequirement::SspcPa2:
        return QStringLiteral("sspcpa2");
    case CoatingRequirement::NoRule:
        break;
    }
    return QString();
}

QString number(double value)
{
    return QString::number(value, 'g', 17);
}

bool readNumber(const QString &text, double *value)
{
    bool ok = false;
    *value = text.toDouble(&ok);
    return ok;
}

bool readWhole(const QString &text, int *value)
{
    bool ok = false;
    *value = text.toInt(&ok);
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

QString StoredRequirement::toText(const CoatingRequirement &r)
{
    if (!r.isSet())
        return QString();
    const QStringList pairs = {QStringLiteral("rule=") + ruleKey(r.rule),
                               QStringLiteral("unit=") + r.unit,
                               QStringLiteral("hasNominal=") + flag(r.hasNominal),
                               QStringLiteral("nominal=") + number(r.nominal),
                               QStringLiteral("minimum=") + number(r.minimum),
                               QStringLiteral("hasMaximum=") + flag(r.hasMaximum),
                               QStringLiteral("maximum=") + number(r.maximum),
                               QStringLiteral("roughness=") + number(r.roughness),
                               QStringLiteral("readingsPerSpot=") +
                                   QString::number(r.readingsPerSpot),
                               QStringLiteral("spotsPerArea=") + QString::number(r.spotsPerArea),
                               QStringLiteral("spotLowerPercent=") + number(r.spotLowerPercent),
                               QStringLiteral("spotUpperPercent=") + number(r.spotUpperPercent)};
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

    CoatingRequirement r;
    const QString rule = values.take(QStringLiteral("rule"));
    for (CoatingRequirement::Rule known :
         {CoatingRequirement::Limits, CoatingRequirement::Iso19840, CoatingRequirement::SspcPa2}) {
        if (rule == ruleKey(known))
            r.rule = known;
    }
    r.unit = values.take(QStringLiteral("unit"));
    const bool read =
        r.isSet() && (r.unit == Micrometre || r.unit == Mil) &&
        readFlag(values.take(QStringLiteral("hasNominal")), &r.hasNominal) &&
        readNumber(values.take(QStringLiteral("nominal")), &r.nominal) &&
        readNumber(values.take(QStringLiteral("minimum")), &r.minimum) &&
        readFlag(values.take(QStringLiteral("hasMaximum")), &r.hasMaximum) &&
        readNumber(values.take(QStringLiteral("maximum")), &r.maximum) &&
        readNumber(values.take(QStringLiteral("roughness")), &r.roughness) &&
        readWhole(values.take(QStringLiteral("readingsPerSpot")), &r.readingsPerSpot) &&
        readWhole(values.take(QStringLiteral("spotsPerArea")), &r.spotsPerArea) &&
        readNumber(values.take(QStringLiteral("spotLowerPercent")), &r.spotLowerPercent) &&
        readNumber(values.take(QStringLiteral("spotUpperPercent")), &r.spotUpperPercent) &&
        values.isEmpty();
    if (!read || !r.problem().isEmpty())
        return CoatingRequirement();
    return r;
}
