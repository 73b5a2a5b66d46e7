#pragma once

#include <vector>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include "xlsformats.h"

class BiffCursor;

// Reads the first worksheet of an Excel 97-2003 workbook (.xls: BIFF8 in an OLE2 compound file).
// Its used range, the smallest block that holds every cell with a value, becomes a list of rows
// of equal length. A cell is an int or a double, a QString, a bool, a QDateTime for a number
// with a date or time format (read from the number, whatever the format shows; invalid for a
// serial no date-time can hold), the error text such as "#DIV/0!" for an error value, or a null
// QVariant when empty. Formulas give their last computed result.
//
// Made for files from anywhere: every length, offset, index and count is checked before it is
// used, memory grows with the cells present and never with what a header declares, and the
// work is bounded by the file's size. A damaged file is refused as a whole.
class XlsReader
{
public:
    // Larger files are refused unread.
    static constexpr qint64 MaxFileSize = qint64(256) << 20;
    // Cells kept at most: 32 full columns of a sheet, six times what the logger exports.
    static constexpr int MaxCells = 1 << 21;
    static constexpr int MaxColumns = 256;

    // Reads the whole sheet at once; false, with no rows, for anything that is not a sound,
    // readable workbook (a missing file, another format, a password-protected workbook, no
    // worksheet, damage anywhere in what is read).
    bool open(const QString &fileName);
    // The same for a file's content.
    bool read(const QByteArray &data);

    // The used range, cut to its first maxColumns columns. Empty rows inside it share one list.
    QList<QVariantList> rows(int maxColumns = MaxColumns) const;
    // Where the used range lies on the sheet, counted from 0.
    int firstRow() const { return m_firstRow; }
    int firstColumn() const { return m_firstColumn; }
    int rowCount() const { return m_rowCount; }
    int columnCount() const { return m_columnCount; }
    bool date1904() const { return m_date1904; }

private:
    enum class Kind : quint8 { Number, Integer, Text, Boolean, Error };
    struct Cell
    {
        quint16 row;
        quint16 column;
        quint16 xf;
        Kind kind;
        // Text: the index in m_strings; Boolean and Error: the value.
        quint32 index;
        double number;
    };

    bool readGlobals(BiffCursor &cursor, qint64 *sheetOffset);
    bool readSharedStrings(BiffCursor &cursor);
    bool readSheet(BiffCursor &cursor, qint64 offset);
    bool addCell(quint16 row, quint16 column, quint16 xf, Kind kind, quint32 index, double number);
    bool addRk(quint16 row, quint16 column, quint16 xf, quint32 rk);
    bool addText(quint16 row, quint16 column, quint16 xf, const QString &text);
    void finish();
    QVariant value(const Cell &cell) const;
    void clear();

    XlsFormats m_formats;
    bool m_date1904 = false;
    QStringList m_strings;
    int m_sharedStrings = 0;
    std::vector<Cell> m_cells;
    int m_firstRow = 0;
    int m_firstColumn = 0;
    int m_rowCount = 0;
    int m_columnCount = 0;
};
