#pragma once

#include <vector>

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QString>

// Writes an Excel 97-2003 workbook (.xls: a BIFF8 workbook stream inside an OLE2 compound file)
// with worksheets of numbers, texts and date-times, each cell with its own number format, and
// column widths. Everything is kept in memory until save(). A new writer has one sheet; the cell
// and column operations work on the current sheet.
//
// A format is given by its format code, for example "0.00", "@" or "yyyy-MM-dd hh:mm:ss"; an
// empty code means General. The codes Excel has built in keep their built-in numbers, any other
// code is stored in the workbook as a custom format.
class XlsWriter
{
public:
    static constexpr int MaxRows = 65536;
    static constexpr int MaxColumns = 256;
    // Excel refuses longer cell texts; longer texts are cut to this length.
    static constexpr int MaxTextLength = 32767;
    // Excel's widest column, in characters.
    static constexpr double MaxColumnWidth = 255.0;
    // Width of a column that has not been sized, in characters ("8.43" in Excel's dialog).
    static constexpr double DefaultColumnWidth = 8.43;
    static const QString DateTimeFormat;

    XlsWriter();

    // The current worksheet's tab name, 1 to 31 characters; the default is "Sheet1".
    void setSheetName(const QString &name);
    QString sheetName() const { return current().name; }

    // Appends a worksheet after the others and makes it current; returns its index.
    int addSheet(const QString &name);
    void setCurrentSheet(int index);
    int sheetCount() const { return static_cast<int>(m_sheets.size()); }

    // The setters return false and change nothing for a cell outside the sheet; setNumber also
    // refuses infinities and NaN, which a workbook cannot hold.
    bool setNumber(int row, int column, double value, const QString &format = QString());
    bool setText(int row, int column, const QString &text, const QString &format = QString());
    // A date-time is stored as a number in Excel's 1900 date system (days since 1899-12-30, the
    // time of day as a fraction) in the wall-clock time of dateTime. An invalid date-time, or one
    // before 1900-03-01 where that system is off by a day, is refused.
    bool setDateTime(int row, int column, const QDateTime &dateTime,
                     const QString &format = DateTimeFormat);

    // Rows and columns from 0 up to the last one that holds a cell.
    int rowCount() const { return static_cast<int>(current().rows.size()); }
    int columnCount() const { return current().columnCount; }

    // Widths in characters of the digit 0 in the workbook font, clamped to 0 .. 255.
    void setColumnWidth(int column, double characters);
    double columnWidth(int column) const;
    // Sizes every column that holds a cell to its widest shown content, like Excel's AutoFit.
    void autoFitColumns();

    // The complete file as save() writes it.
    QByteArray fileData() const;
    // Replaces fileName as a whole or leaves it untouched; false when it can't be written.
    bool save(const QString &fileName) const;

    // Excel's day number of dateTime's wall-clock date and time.
    static double toSerial(const QDateTime &dateTime);

private:
    enum class CellType : quint8 { Empty, Number, Text };
    struct Cell
    {
        CellType type = CellType::Empty;
        quint16 format = 0;
        // Characters the cell shows, for auto-fitting.
        quint16 shownLength = 0;
        double number = 0.0;
        QString text;
    };

    struct Sheet
    {
        QString name;
        std::vector<std::vector<Cell>> rows;
        int columnCount = 0;
        // Column widths in 1/256 of a character; only sized columns are present.
        QMap<int, int> columnWidths;
    };

    Sheet &current() { return m_sheets[m_current]; }
    const Sheet &current() const { return m_sheets[m_current]; }
    Cell *cellAt(int row, int column);
    QByteArray workbookStream() const;
    quint16 formatIndex(const QString &format);
    // The first sheet is the one selected and shown when the workbook opens.
    static QByteArray sheetStream(const Sheet &sheet, bool first,
                                  const QMap<quint16, quint16> &xfOfFormat,
                                  const QHash<QString, quint32> &stringIndex);

    std::vector<Sheet> m_sheets;
    size_t m_current = 0;
    // Custom format codes by their number (164 and up, as Excel numbers them).
    QMap<quint16, QString> m_customFormats;
};
