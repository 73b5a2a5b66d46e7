#pragma once

#include <vector>

#include <QHash>
#include <QString>

// The number formats of a workbook and its cell formats (XF records), as far as needed to tell
// which numbers are dates: a cell's XF names a number format, either one of Excel's built-in
// ones by number or a format code stored in the workbook.
class XlsFormats
{
public:
    void addFormat(quint16 index, const QString &code);
    void addXf(quint16 formatIndex);

    // True when the cell format xf shows its number as a date or time; false for an XF that
    // does not exist.
    bool isDate(quint16 xf) const;

    // True for format codes that show a date or time: once quoted text, escaped characters and
    // [bracketed] colours, conditions and elapsed-time fields are set aside, more of the letters
    // y, m, d, h and s than of the digit placeholders 0, # and ?.
    static bool isDateCode(const QString &code);

private:
    bool isDateFormat(quint16 formatIndex) const;

    QHash<quint16, bool> m_dateFormats;
    std::vector<bool> m_dateXfs;
};
