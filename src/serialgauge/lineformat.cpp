#include "lineformat.h"

const QList<LineFormat::Preset> &LineFormat::presets()
{
    // Case-insensitive; a decimal comma is read like a point.
    static const QList<Preset> list = {
        // A reading number may come first ("#12 125 um", "12 125 um"), the basis before or after
        // the value; the value may carry an exponent and be followed by a comma ("0.125 , MM").
        {QStringLiteral("any"),
         QStringLiteral("any of: 125 um, +0123.4 um, 123 µm Fe, 4.92 mil, 0.125 mm, #12 Fe 1.25E2 "
                        "um, 123"),
         QStringLiteral(
             R"((?J)^\s*(?:#\s*\d+\s+|\d+\s+(?=[+-]?[\d.,]))?(?:(?<basis>N?Fe)\s+)?)"
             R"((?<value>[+-]?(?:\d+(?:[.,]\d*)?|[.,]\d+)(?:E[+-]?\d+)?)\s*,?\s*)"
             R"((?<unit>[uµμ]m|microns?|mils?|mm|in(?:ch(?:es)?)?)?\s*(?<basis>N?Fe)?\s*$)")},
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
