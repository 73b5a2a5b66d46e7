#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariantList>

// Reads the first worksheet of an Excel 97-2003 workbook (.xls). Its used range, the smallest
// block that holds every non-empty cell, becomes a list of rows of equal length. A cell is an int
// or a double, a QString, a QDateTime for a number with a date or time format (a time alone falls
// on Excel's day zero, 1899-12-30), or a null QVariant when empty.
class XlsReader
{
public:
    // Reads the whole sheet at once; false, with no rows, for anything that is not a readable
    // workbook (a missing file, another format, a password-protected workbook, no worksheet).
    bool open(const QString &fileName);

    QList<QVariantList> rows() const { return m_rows; }

    // Text of the form "yyyy-MM-dd hh:mm:ss", as FreeXL gives date-times and as the reading table
    // shows times, as a local date-time; invalid for any other text. Made by hand because
    // QDateTime::fromString costs some 50 µs a call, which counts with 65,536 rows.
    static QDateTime dateTimeFromText(const QString &text);

private:
    QList<QVariantList> m_rows;
};
