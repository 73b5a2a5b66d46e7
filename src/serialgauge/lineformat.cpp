#include "lineformat.h"

const QList<LineFormat::Preset> &LineFormat::presets()
{
    // Case-insensitive; a decimal comma is read like a point.
    static const QList<Preset> list = {
        {QStringLiteral("any"),
         QStringLiteral("any of: 125 um, +0123.4 um, 123 µm Fe, 4.92 mil, 123"),
         QStringLiteral(R"(^\s*(?<value>[+-]?\d+(?:[.,]\d*)?)\s*(?<unit>[uµμ]m|mils?)?)"
                        R"(\s*(?<basis>N?Fe)?\s*$)")},
        {QStringLiteral("signed"), QStringLiteral("+0123.4 um"),
         QStringLiteral(R"(^\s*(?<value>[+-]\d+(?:[.,]\d+)?)\s*(?<unit>[uµμ]m|mils?)\s*$)")},
        {QStringLiteral("unitbasis"), QStringLiteral("123 µm Fe"),
         QStringLiteral(
             R"(^\s*(?<value>[+-]?\d+(?:[.,]\d+)?)\s*(?<unit>[uµμ]m|mils?)\s+(?<basis>N?Fe)\s*$)")},
        {QStringLiteral("mil"), QStringLiteral("4.92 mil"),
         QStringLiteral(R"(^\s*(?<value>[+-]?\d+(?:[.,]\d+)?)\s*(?<unit>mils?)\s*$)")},
        {QStringLiteral("number"), QStringLiteral("123 (a bare number)"),
         QStringLiteral(R"(^\s*(?<value>[+-]?\d+(?:[.,]\d+)?)\s*$)")},
    };
    return list;
}

const LineFormat::Preset *LineFormat::presetForPattern(const QString &pattern)
{
    for (const Preset &preset : presets())
        if (preset.pattern == pattern)
            return &preset;
    return nullptr;
}

const LineFormat::Preset *LineFormat::presetForId(const QString &id)
{
    for (const Preset &preset : presets())
        if (preset.id.compare(id, Qt::CaseInsensitive) == 0)
            return &preset;
    return nullptr;
}
