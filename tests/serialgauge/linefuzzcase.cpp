#include "linefuzzcase.h"

#include <cmath>
#include <iterator>
#include <map>
#include <memory>
#include <utility>

#include <QDateTime>
#include <QStringList>

#include "dmmdata.h"
#include "linebuffer.h"
#include "lineparser.h"

namespace {

// Patterns a user might write: loose groups, a value that takes anything, a name given twice.
const char *const CustomPatterns[] = {
    R"(^T=(?<value>[^;]*);(?<unit>\w*)$)",
    R"((?<value>\S+)\s+(?<unit>\S+)\s+(?<basis>\S+))",
    R"((?J)^(?:(?<value>\d+)|#(?<value>[\d.eE+-]+))\s*(?<unit>\S*)$)",
    R"((?<value>.*))",
};

// How far a text may lie from the value it shows: half its last place, and the rounding of a
// double.
bool agrees(const QString &text, double value)
{
    bool ok = false;
    const double shown = text.toDouble(&ok);
    if (!ok)
        return false;
    const int point = text.indexOf(QLatin1Char('.'));
    const int decimals = point < 0 ? 0 : text.size() - point - 1;
    return std::fabs(shown - value) <= 0.5 * std::pow(10.0, -decimals) + 1e-9 * std::fabs(value);
}

} // namespace

LineFuzzCase::LineFuzzCase(const QByteArray &input)
{
    const int presets = LineFormat::presets().size();
    const int formats = presets + int(std::size(CustomPatterns));
    const int choice = input.isEmpty() ? 0 : static_cast<unsigned char>(input.at(0)) % formats;
    m_format.pattern = choice < presets ? LineFormat::presets().at(choice).pattern
                                        : QString::fromLatin1(CustomPatterns[choice - presets]);
    const int flags = input.size() < 2 ? 0 : static_cast<unsigned char>(input.at(1));
    m_format.milByDefault = flags & 1;
    m_format.overRangeTokens << QStringLiteral("ERR3");
    const int chunk = (flags >> 1) + 1;
    for (int at = 2; at < input.size(); at += chunk)
        m_chunks << input.mid(at, chunk);
}

QString LineFuzzCase::run() const
{
    // Compiling a pattern takes longer than parsing a few lines: each parser is made once.
    static std::map<std::pair<QString, bool>, std::unique_ptr<LineParser>> parsers;
    std::unique_ptr<LineParser> &made = parsers[{m_format.pattern, m_format.milByDefault}];
    if (!made)
        made = std::make_unique<LineParser>(m_format);
    const LineParser &parser = *made;
    if (!parser.isValid())
        return parser.error();
    LineBuffer buffer;
    const QDateTime time(QDate(2026, 12, 8), QTime(9, 30));
    for (const QByteArray &chunk : m_chunks) {
        for (const QByteArray &line : buffer.append(chunk)) {
            const auto reading = parser.parse(line, time);
            if (!reading)
                continue;
            const QString problem = check(*reading);
            if (!problem.isEmpty())
                return QStringLiteral("\"%1\": %2").arg(LineParser::decode(line), problem);
        }
    }
    return {};
}

QString LineFuzzCase::check(const DmmData &reading)
{
    if (reading.unit() != LineParser::unitText(QStringLiteral("um")) &&
        reading.unit() != LineParser::unitText(QStringLiteral("mil")))
        return QStringLiteral("unit %1").arg(reading.unit());
    const double um = reading.umValue();
    const double mil = reading.milValue();
    if (!std::isfinite(um) || !std::isfinite(mil))
        return QStringLiteral("not finite: %1 um, %2 mil").arg(um).arg(mil);
    if (reading.overload() != 0)
        return std::abs(reading.overload()) == 1 && um == 0.0 && mil == 0.0
                   ? QString()
                   : QStringLiteral("over range %1 with %2 um").arg(reading.overload()).arg(um);
    if (std::fabs(um) > LineParser::MaxMicrometres)
        return QStringLiteral("beyond the limit: %1 um").arg(um);
    if (std::fabs(um - mil * 25.4) > 1e-9 * std::fabs(um))
        return QStringLiteral("%1 um is not %2 mil").arg(um).arg(mil);
    if (!agrees(reading.umText(), um) || !agrees(reading.milText(), mil))
        return QStringLiteral("texts %1 um, %2 mil for %3 um")
            .arg(reading.umText(), reading.milText())
            .arg(um);
    return {};
}
