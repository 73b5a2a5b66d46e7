#include "thicknessunit.h"

#include <cmath>

QString ThicknessUnit::format(double value, const QString &unit)
{
    return QString::number(value, 'f', decimals(unit)) + QLatin1Char(' ') + unit;
}

QString ThicknessUnit::formatApart(double value, double limit, const QString &unit)
{
    // Six decimals tell apart every value a gauge sends; beyond them the two are the same.
    constexpr int MostDecimals = 6;
    int shown = decimals(unit);
    while (shown < MostDecimals && value != limit &&
           QString::number(value, 'f', shown) == QString::number(limit, 'f', shown))
        ++shown;
    return QString::number(value, 'f', shown) + QLatin1Char(' ') + unit;
}

double ThicknessUnit::factor(const QString &from, const QString &to)
{
    if (isMicrometre(from) == isMicrometre(to))
        return 1.0;
    return isMicrometre(from) ? 1.0 / MicrometresPerMil : MicrometresPerMil;
}

double ThicknessUnit::converted(double value, const QString &from, const QString &to)
{
    if (isMicrometre(from) == isMicrometre(to))
        return value;
    const double scale = std::pow(10.0, decimals(to));
    return std::round(value * factor(from, to) * scale) / scale;
}
