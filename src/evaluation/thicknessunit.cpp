#include "thicknessunit.h"

#include <cmath>

QString ThicknessUnit::format(double value, const QString &unit)
{
    return QString::number(value, 'f', decimals(unit)) + QLatin1Char(' ') + unit;
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
