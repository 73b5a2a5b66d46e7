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

QString LineParser::unitText(const QString &written)
{
    const QString unit = written.trimmed().toLower();
    if (unit == QLatin1String("um") || unit == QStringLiteral("\u00B5m") ||
        unit == QStringLiteral("\u03BCm") || unit == QLatin1String("micron") ||
        unit == QLatin1String("microns"))
        return micrometres();
    if (unit == QLatin1String("mil") || unit == QLatin1String("mils"))
        return mils();
    return {};
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
    return reading(match.captured(QStringLiteral("value")), match.captured(QStringLiteral("unit")),
                   match.captured(QStringLiteral("basis")), time);
}

std::unique_ptr<DmmData> LineParser::overRange(const QString &text, const QDateTime &time) const
{
    const QStringList words = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
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
    QString basis;
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
    QString number = value.trimmed();
    number.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double parsed = number.toDouble(&ok);
    if (!ok || !std::isfinite(parsed))
        return nullptr;
    QString unitShown = m_format.milByDefault ? mils() : micrometres();
    if (!unit.trimmed().isEmpty()) {
        unitShown = unitText(unit);
        if (unitShown.isEmpty())
            return nullptr;
    }
    // The gauge's own resolution: as many decimals as it sent.
    const int point = number.indexOf(QLatin1Char('.'));
    const int decimals = point < 0 ? 0 : number.size() - point - 1;
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
