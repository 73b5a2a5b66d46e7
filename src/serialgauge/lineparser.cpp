#include "lineparser.h"

#include <cmath>

#include <QDateTime>
#include <QStringList>

#include "dmmdata.h"

namespace {

constexpr double UmPerMil = 25.4;

QString micrometres()
{
    return QStringLiteral("\u03BCm");
}

QString mils()
{
    return QStringLiteral("mil");
}

// The group of that name that took part in the match: a pattern may name a group twice (with
// "(?J)"), as the default one does for a basis before or after the value.
QString captured(const QRegularExpressionMatch &match, const QString &name)
{
    const QStringList names = match.regularExpression().namedCaptureGroups();
    for (int group = 1; group < names.size(); ++group)
        if (names.at(group) == name && match.capturedStart(group) >= 0)
            return match.captured(group);
    return {};
}

// The digits of a number as sent, apart: "-1.25E2" has the sign "-", the digits "125", two of
// them after the point and the exponent 2.
struct Decimal
{
    QString sign;
    QString digits;
    int fraction = 0;
    int exponent = 0;
};

bool splitNumber(QString number, Decimal *out)
{
    number.replace(QLatin1Char(','), QLatin1Char('.'));
    if (number.startsWith(QLatin1Char('+')) || number.startsWith(QLatin1Char('-'))) {
        out->sign = number.left(1);
        number.remove(0, 1);
    }
    const int e = number.indexOf(QLatin1Char('e'), 0, Qt::CaseInsensitive);
    if (e >= 0) {
        bool ok = false;
        // More exponent digits than this only ever mean noise.
        const QString exponent = number.mid(e + 1);
        if (exponent.size() > 4)
            return false;
        out->exponent = exponent.toInt(&ok);
        if (!ok)
            return false;
        number.truncate(e);
    }
    const int point = number.indexOf(QLatin1Char('.'));
    if (point >= 0) {
        out->fraction = number.size() - point - 1;
        number.remove(point, 1);
    }
    for (const QChar c : number)
        if (!c.isDigit() || c.unicode() > '9')
            return false;
    out->digits = number;
    return !number.isEmpty();
}

int significantDigits(const QString &digits)
{
    int first = 0;
    while (first < digits.size() && digits.at(first) == QLatin1Char('0'))
        ++first;
    int last = digits.size();
    while (last > first && digits.at(last - 1) == QLatin1Char('0'))
        --last;
    return last - first;
}

} // namespace

LineParser::LineParser(const LineFormat &format)
    : m_format(format)
    , m_pattern(format.pattern, QRegularExpression::CaseInsensitiveOption)
{
    if (!m_pattern.isValid())
        m_error = QStringLiteral("the line format is not a valid regular expression (%1)")
                      .arg(m_pattern.errorString());
    else if (!m_pattern.namedCaptureGroups().contains(QStringLiteral("value")))
        m_error = QStringLiteral("the line format has no group named value");
    else
        m_pattern.optimize();
}

QString LineParser::decode(const QByteArray &line)
{
    const QString text = QString::fromUtf8(line);
    if (text.contains(QChar::ReplacementCharacter))
        return QString::fromLatin1(line);
    return text;
}

LineParser::Unit LineParser::unitOf(const QString &written)
{
    const QString unit = written.trimmed().toLower();
    if (unit == QLatin1String("um") || unit == QStringLiteral("\u00B5m") ||
        unit == QStringLiteral("\u03BCm") || unit == QLatin1String("micron") ||
        unit == QLatin1String("microns"))
        return {micrometres(), 0};
    if (unit == QLatin1String("mm"))
        return {micrometres(), 3};
    if (unit == QLatin1String("mil") || unit == QLatin1String("mils"))
        return {mils(), 0};
    if (unit == QLatin1String("in") || unit == QLatin1String("inch") ||
        unit == QLatin1String("inches"))
        return {mils(), 3};
    return {};
}

QString LineParser::unitText(const QString &written)
{
    return unitOf(written).shown;
}

QString LineParser::basisText(const QString &written)
{
    const QString basis = written.trimmed();
    if (basis.compare(QLatin1String("fe"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Fe");
    if (basis.compare(QLatin1String("nfe"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("NFe");
    return basis;
}

std::unique_ptr<DmmData> LineParser::parse(const QByteArray &line, const QDateTime &time) const
{
    if (!isValid())
        return nullptr;
    const QString text = decode(line);
    if (auto over = overRange(text, time))
        return over;
    const QRegularExpressionMatch match = m_pattern.match(text);
    if (!match.hasMatch())
        return nullptr;
    return reading(captured(match, QStringLiteral("value")),
                   captured(match, QStringLiteral("unit")),
                   captured(match, QStringLiteral("basis")), time);
}

std::unique_ptr<DmmData> LineParser::overRange(const QString &text, const QDateTime &time) const
{
    QStringList words = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    // A reading number and a basis may come first, as before a value.
    static const QRegularExpression number(QStringLiteral(R"(^#?\d+$)"));
    if (words.size() > 1 && number.match(words.first()).hasMatch())
        words.removeFirst();
    QString basis;
    if (words.size() > 1 && (words.first().compare(QLatin1String("fe"), Qt::CaseInsensitive) == 0 ||
                             words.first().compare(QLatin1String("nfe"), Qt::CaseInsensitive) == 0))
        basis = basisText(words.takeFirst());
    if (words.isEmpty())
        return nullptr;
    QString token = words.first();
    int side = 1;
    if (!m_format.overRangeTokens.contains(token, Qt::CaseInsensitive)) {
        if (token.size() < 2 ||
            (token.at(0) != QLatin1Char('-') && token.at(0) != QLatin1Char('+')))
            return nullptr;
        side = token.at(0) == QLatin1Char('-') ? -1 : 1;
        token = token.mid(1);
        if (!m_format.overRangeTokens.contains(token, Qt::CaseInsensitive))
            return nullptr;
    } else if (token.startsWith(QLatin1Char('-'))) {
        side = -1;
    }

    // What follows the token: a unit and a basis, in either order, or nothing.
    QString unit;
    for (int i = 1; i < words.size(); ++i) {
        const QString asUnit = unitText(words.at(i));
        if (!asUnit.isEmpty() && unit.isEmpty())
            unit = asUnit;
        else if (basis.isEmpty())
            basis = basisText(words.at(i));
        else
            return nullptr;
    }

    auto result = std::make_unique<DmmData>();
    const QString shown = side < 0 ? QStringLiteral("   -OL") : QStringLiteral("    OL");
    result->setTime(time);
    result->setUmValue(0.0);
    result->setMilValue(0.0);
    result->setUmText(shown);
    result->setMilText(shown);
    result->setOverload(side);
    result->setUnit(unit.isEmpty() ? (m_format.milByDefault ? mils() : micrometres()) : unit);
    result->setBasis(basis.isEmpty() ? m_format.basis : basis);
    return result;
}

std::unique_ptr<DmmData> LineParser::reading(const QString &value, const QString &unit,
                                             const QString &basis, const QDateTime &time) const
{
    Decimal number;
    if (!splitNumber(value.trimmed(), &number) ||
        significantDigits(number.digits) > MaxSignificantDigits)
        return nullptr;
    Unit written{m_format.milByDefault ? mils() : micrometres(), 0};
    if (!unit.trimmed().isEmpty()) {
        written = unitOf(unit);
        if (written.shown.isEmpty())
            return nullptr;
    }
    // The gauge's own resolution: as many decimals as it sent, in the unit shown.
    const int scale = number.exponent + written.shift;
    const int decimals = qMax(0, number.fraction - scale);
    if (decimals > MaxDecimals)
        return nullptr;
    // Read with the point moved, so that "0.0049 in" is the double nearest 4.9 mil.
    bool ok = false;
    const double parsed = QStringLiteral("%1%2e%3")
                              .arg(number.sign, number.digits)
                              .arg(scale - number.fraction)
                              .toDouble(&ok);
    if (!ok || !std::isfinite(parsed))
        return nullptr;
    const QString unitShown = written.shown;
    const double um = unitShown == micrometres() ? parsed : parsed * UmPerMil;
    if (std::fabs(um) > MaxMicrometres)
        return nullptr;
    const QString sent = QString::number(parsed, 'f', decimals);

    auto result = std::make_unique<DmmData>();
    result->setTime(time);
    if (unitShown == micrometres()) {
        result->setUmValue(parsed);
        result->setUmText(sent);
        result->setMilValue(parsed / UmPerMil);
        result->setMilText(QString::number(parsed / UmPerMil, 'f', 2));
    } else {
        result->setMilValue(parsed);
        result->setMilText(sent);
        result->setUmValue(parsed * UmPerMil);
        result->setUmText(QString::number(parsed * UmPerMil, 'f', 0));
    }
    result->setOverload(0);
    result->setUnit(unitShown);
    const QString basisShown = basisText(basis);
    result->setBasis(basisShown.isEmpty() ? m_format.basis : basisShown);
    return result;
}
