#include "xlsformats.h"

namespace {

// Excel's built-in date and time formats, including those of its East Asian versions.
bool isBuiltInDate(quint16 index)
{
    return (index >= 14 && index <= 22) || (index >= 27 && index <= 36) ||
           (index >= 45 && index <= 47) || (index >= 50 && index <= 58) ||
           (index >= 71 && index <= 81);
}

} // namespace

void XlsFormats::addFormat(quint16 index, const QString &code)
{
    m_dateFormats.insert(index, isDateCode(code));
}

void XlsFormats::addXf(quint16 formatIndex)
{
    m_dateXfs.push_back(isDateFormat(formatIndex));
}

bool XlsFormats::isDateFormat(quint16 formatIndex) const
{
    const auto it = m_dateFormats.constFind(formatIndex);
    return it != m_dateFormats.constEnd() ? it.value() : isBuiltInDate(formatIndex);
}

bool XlsFormats::isDate(quint16 xf) const
{
    return xf < m_dateXfs.size() && m_dateXfs[xf];
}

bool XlsFormats::isDateCode(const QString &code)
{
    const QString lower = code.toLower();
    if (lower == QLatin1String("general") || lower == QLatin1String("@"))
        return false;
    int dateChars = 0;
    int digitChars = 0;
    bool quoted = false;
    bool bracketed = false;
    for (int i = 0; i < lower.size(); ++i) {
        const QChar c = lower.at(i);
        if (quoted) {
            quoted = c != QLatin1Char('"');
            continue;
        }
        if (bracketed) {
            bracketed = c != QLatin1Char(']');
            continue;
        }
        switch (c.unicode()) {
        case '"':
            quoted = true;
            break;
        case '[':
            bracketed = true;
            break;
        // Each of these takes the next character as it is.
        case '\\':
        case '_':
        case '*':
            ++i;
            break;
        case 'y':
        case 'm':
        case 'd':
        case 'h':
        case 's':
            ++dateChars;
            break;
        case '0':
        case '#':
        case '?':
            ++digitChars;
            break;
        default:
            break;
        }
    }
    return dateChars > digitChars;
}
