#pragma once

#include <QList>
#include <QString>

// What a coat must measure up to, and by which rule it is judged. Every thickness is in unit
// ("μm" or mil); readings are judged by their value in that same unit, so an item that switches
// its display unit keeps its judgement.
struct CoatingRequirement
{
    enum Rule { NoRule = 0, Limits = 1, Iso19840 = 2, SspcPa2 = 3 };

    // A line the chart and histogram draw, as a plain reading value: ISO 19840's roughness
    // correction is added back so that a reading on the line is exactly on the limit.
    struct Line
    {
        enum Kind { Limit, Nominal, Spot };
        double value = 0.0;
        Kind kind = Limit;
        QString label;
    };

    // The blast-profile roughness corrections of ISO 19840, in micrometres.
    static constexpr double FineRoughness = 10.0;
    static constexpr double MediumRoughness = 25.0;
    static constexpr double CoarseRoughness = 40.0;
    static constexpr double MicrometresPerMil = 25.4;

    Rule rule = NoRule;
    QString unit = QStringLiteral("\u03BCm");
    // The nominal dry film thickness: required by ISO 19840, only drawn for the other rules.
    bool hasNominal = false;
    double nominal = 0.0;
    // Required by simple limits and SSPC-PA 2; ISO 19840 has no minimum.
    double minimum = 0.0;
    // Required by simple limits and SSPC-PA 2; ISO 19840 judges it only with hasMaximum set.
    bool hasMaximum = false;
    double maximum = 0.0;
    // ISO 19840: subtracted from every reading before it is judged.
    double roughness = 0.0;
    // SSPC-PA 2: readings are grouped in arrival order into spots, spots into areas.
    int readingsPerSpot = 3;
    int spotsPerArea = 5;
    // SSPC-PA 2: a spot's mean lies within these percentages of the minimum and the maximum.
    double spotLowerPercent = 80.0;
    double spotUpperPercent = 120.0;

    bool isSet() const { return rule != NoRule; }
    bool isMicrometre() const;
    // 1 decimal for micrometres, 2 for mils, as the gauge shows them.
    int decimals() const { return isMicrometre() ? 1 : 2; }
    QString format(double value) const;

    // Empty when the requirement can be used; otherwise what is wrong, for the user.
    QString problem() const;

    // The SSPC-PA 2 spot restriction.
    double spotLow() const { return minimum * spotLowerPercent / 100.0; }
    double spotHigh() const { return maximum * spotUpperPercent / 100.0; }

    // The same requirement with every thickness in unit (1 mil = 25.4 μm), rounded to the
    // decimals that unit is shown with.
    CoatingRequirement convertedTo(const QString &targetUnit) const;

    QList<Line> lines() const;
    // The lines with their values in unit, for views that show the item in another unit.
    QList<Line> linesIn(const QString &targetUnit) const;
    // The rule's name, for example "ISO 19840".
    static QString ruleName(Rule rule);
    // Label and value pairs that describe the requirement in reports.
    QList<QPair<QString, QString>> describe() const;

    bool operator==(const CoatingRequirement &other) const;
    bool operator!=(const CoatingRequirement &other) const { return !(*this == other); }
};
