#include "coatingrequirement.h"

#include <cmath>

#include <QCoreApplication>
#include <QPair>

namespace {

constexpr double MinPercent = 1.0;
constexpr double MaxPercent = 1000.0;
constexpr int MaxGroupSize = 100;

QString tr(const char *text)
{
    return QCoreApplication::translate("CoatingRequirement", text);
}

bool isThickness(double value)
{
    return std::isfinite(value) && value >= 0.0;
}

double roundTo(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

} // namespace

bool CoatingRequirement::isMicrometre() const
{
    return unit == QStringLiteral("\u03BCm");
}

QString CoatingRequirement::format(double value) const
{
    return QString::number(value, 'f', decimals()) + QLatin1Char(' ') + unit;
}

QString CoatingRequirement::problem() const
{
    switch (rule) {
    case NoRule:
        return QString();
    case Limits:
    case SspcPa2:
        if (!isThickness(minimum) || !isThickness(maximum))
            return tr("The minimum and the maximum must be thicknesses of 0 or more.");
        if (minimum > maximum)
            return tr("The minimum must not be above the maximum.");
        if (maximum <= 0.0)
            return tr("The maximum must be above 0.");
        if (hasNominal && (!isThickness(nominal) || nominal < minimum || nominal > maximum))
            return tr("The nominal thickness must lie between the minimum and the maximum.");
        break;
    case Iso19840:
        if (!hasNominal || !isThickness(nominal) || nominal <= 0.0)
            return tr("ISO 19840 needs a nominal dry film thickness above 0.");
        if (hasMaximum && (!isThickness(maximum) || maximum < nominal))
            return tr("The maximum must not be below the nominal thickness.");
        if (!isThickness(roughness) || roughness >= nominal)
            return tr("The roughness correction must be 0 or more and below the nominal "
                      "thickness.");
        break;
    }
    if (rule == SspcPa2) {
        if (readingsPerSpot < 1 || readingsPerSpot > MaxGroupSize || spotsPerArea < 1 ||
            spotsPerArea > MaxGroupSize)
            return tr("Readings per spot and spots per area must be whole numbers from 1 to %1.")
                .arg(MaxGroupSize);
        if (!(spotLowerPercent >= MinPercent && spotLowerPercent <= MaxPercent) ||
            !(spotUpperPercent >= MinPercent && spotUpperPercent <= MaxPercent))
            return tr("The spot percentages must lie between %1 and %2.")
                .arg(MinPercent)
                .arg(MaxPercent);
        if (spotLow() > spotHigh())
            return tr("The spot restriction leaves no room: its lower limit is above its upper "
                      "limit.");
    }
    return QString();
}

CoatingRequirement CoatingRequirement::convertedTo(const QString &targetUnit) const
{
    CoatingRequirement converted = *this;
    converted.unit = targetUnit;
    if (converted.isMicrometre() == isMicrometre())
        return converted;
    const double factor = isMicrometre() ? 1.0 / MicrometresPerMil : MicrometresPerMil;
    const int places = converted.decimals();
    converted.nominal = roundTo(nominal * factor, places);
    converted.minimum = roundTo(minimum * factor, places);
    converted.maximum = roundTo(maximum * factor, places);
    converted.roughness = roundTo(roughness * factor, places);
    return converted;
}

QList<CoatingRequirement::Line> CoatingRequirement::lines() const
{
    QList<Line> result;
    switch (rule) {
    case NoRule:
        return result;
    case Limits:
        result.append({minimum, Line::Limit, tr("Min")});
        result.append({maximum, Line::Limit, tr("Max")});
        break;
    case Iso19840:
        result.append({0.8 * nominal + roughness, Line::Limit, tr("80% NDFT")});
        if (hasMaximum)
            result.append({maximum + roughness, Line::Limit, tr("Max")});
        result.append({nominal + roughness, Line::Nominal, tr("NDFT")});
        return result;
    case SspcPa2:
        result.append({minimum, Line::Limit, tr("Min")});
        result.append({maximum, Line::Limit, tr("Max")});
        result.append({spotLow(), Line::Spot, tr("Spot min")});
        result.append({spotHigh(), Line::Spot, tr("Spot max")});
        break;
    }
    if (hasNominal)
        result.append({nominal, Line::Nominal, tr("Nominal")});
    return result;
}

QList<CoatingRequirement::Line> CoatingRequirement::linesIn(const QString &targetUnit) const
{
    QList<Line> result = lines();
    const bool toMicrometres = targetUnit == QStringLiteral("\u03BCm");
    if (toMicrometres == isMicrometre())
        return result;
    const double factor = toMicrometres ? MicrometresPerMil : 1.0 / MicrometresPerMil;
    for (Line &line : result)
        line.value *= factor;
    return result;
}

QString CoatingRequirement::ruleName(Rule rule)
{
    switch (rule) {
    case Limits:
        return tr("Minimum and maximum");
    case Iso19840:
        return QStringLiteral("ISO 19840");
    case SspcPa2:
        return QStringLiteral("SSPC-PA 2");
    case NoRule:
        break;
    }
    return tr("None");
}

QList<QPair<QString, QString>> CoatingRequirement::describe() const
{
    QList<QPair<QString, QString>> rows;
    rows.append({tr("Rule"), ruleName(rule)});
    if (rule == NoRule)
        return rows;
    if (hasNominal)
        rows.append({tr("Nominal (NDFT)"), format(nominal)});
    if (rule != Iso19840)
        rows.append({tr("Minimum"), format(minimum)});
    rows.append({tr("Maximum"), rule != Iso19840 || hasMaximum ? format(maximum) : tr("none")});
    if (rule == Iso19840)
        rows.append({tr("Roughness correction"), format(roughness)});
    if (rule == SspcPa2) {
        rows.append({tr("Readings per spot"), QString::number(readingsPerSpot)});
        rows.append({tr("Spots per area"), QString::number(spotsPerArea)});
        rows.append(
            {tr("Spot restriction"), tr("%1 % of the minimum (%2) to %3 % of the maximum (%4)")
                                         .arg(spotLowerPercent)
                                         .arg(format(spotLow()))
                                         .arg(spotUpperPercent)
                                         .arg(format(spotHigh()))});
    }
    return rows;
}

bool CoatingRequirement::operator==(const CoatingRequirement &other) const
{
    return rule == other.rule && unit == other.unit && hasNominal == other.hasNominal &&
           nominal == other.nominal && minimum == other.minimum && hasMaximum == other.hasMaximum &&
           maximum == other.maximum && roughness == other.roughness &&
           readingsPerSpot == other.readingsPerSpot && spotsPerArea == other.spotsPerArea &&
           spotLowerPercent == other.spotLowerPercent && spotUpperPercent == other.spotUpperPercent;
}
