#pragma once

#include <QString>

// The two units the gauge shows thicknesses in: micrometres ("μm") and mils (1 mil = 25.4 μm).
// Any unit text but "μm" counts as mils.
class ThicknessUnit
{
public:
    ThicknessUnit() = delete;

    static constexpr double MicrometresPerMil = 25.4;

    static QString micrometre() { return QStringLiteral("\u03BCm"); }
    static bool isMicrometre(const QString &unit) { return unit == micrometre(); }
    // 1 decimal for micrometres, 2 for mils, as the gauge shows them.
    static int decimals(const QString &unit) { return isMicrometre(unit) ? 1 : 2; }
    // "120.0 μm", "4.72 mil".
    static QString format(double value, const QString &unit);
    // value as format() shows it, with as many more decimals as it takes not to read as limit
    // shown with them: a mean just below a limit never reads as the limit itself.
    static QString formatApart(double value, double limit, const QString &unit);
    // What a value in one unit is in the other; 1 between units of the same kind.
    static double factor(const QString &from, const QString &to);
    // A value converted and rounded to the decimals its new unit is shown with, as a user would
    // enter it.
    static double converted(double value, const QString &from, const QString &to);
};
