#include "xlsreader.h"

#include <algorithm>

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QTime>

#include <freexl.h>

namespace {

// The value of the digits text[from] .. text[from + count - 1], or -1 if one is not a digit.
int digits(const QString &text, int from, int count)
{
    int value = 0;
    for (int i = from; i < from + count; ++i) {
        const ushort c = text.at(i).unicode();
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// FreeXL hands out dates and times as text.
QVariant cellValue(const FreeXL_CellValue &cell)
{
    switch (cell.type) {
    case FREEXL_CELL_INT:
        return cell.value.int_value;
    case FREEXL_CELL_DOUBLE:
        return cell.value.double_value;
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
        return QString::fromUtf8(cell.value.text_value);
    case FREEXL_CELL_DATE:
        return QDateTime(QDate::fromString(QString::fromLatin1(cell.value.text_value),
                                           QStringLiteral("yyyy-MM-dd")),
                         QTime(0, 0));
    case FREEXL_CELL_DATETIME:
        return XlsReader::dateTimeFromText(QString::fromLatin1(cell.value.text_value));
    case FREEXL_CELL_TIME:
        // Excel gives a time of day on its day zero.
        return QDateTime(QDate(1899, 12, 30),
                         QTime::fromString(QString::fromLatin1(cell.value.text_value),
                                           QStringLiteral("hh:mm:ss")));
    default:
        return QVariant();
    }
}

// Closes the FreeXL handle on every way out.
class Workbook
{
public:
    Workbook() = default;
    ~Workbook() { freexl_close(m_handle); }
    Workbook(const Workbook &) = delete;
    Workbook &operator=(const Workbook &) = delete;

    const void **handleAddress() { return &m_handle; }
    const void *handle() const { return m_handle; }

private:
    const void *m_handle = nullptr;
};

} // namespace

bool XlsReader::open(const QString &fileName)
{
    m_rows.clear();
    Workbook book;
    if (freexl_open(QFile::encodeName(fileName).constData(), book.handleAddress()) != FREEXL_OK)
        return false;
    unsigned int info = 0;
    if (freexl_get_info(book.handle(), FREEXL_BIFF_PASSWORD, &info) != FREEXL_OK ||
        info == FREEXL_BIFF_OBFUSCATED)
        return false;
    if (freexl_get_info(book.handle(), FREEXL_BIFF_SHEET_COUNT, &info) != FREEXL_OK || info == 0)
        return false;
    if (freexl_select_active_worksheet(book.handle(), 0) != FREEXL_OK)
        return false;
    unsigned int rowCount = 0;
    unsigned short columnCount = 0;
    if (freexl_worksheet_dimensions(book.handle(), &rowCount, &columnCount) != FREEXL_OK)
        return false;

    m_rows.reserve(static_cast<int>(rowCount));
    int firstRow = -1;
    int lastRow = -1;
    int firstColumn = columnCount;
    int lastColumn = -1;
    for (unsigned int r = 0; r < rowCount; ++r) {
        QVariantList row;
        row.reserve(columnCount);
        for (unsigned short c = 0; c < columnCount; ++c) {
            FreeXL_CellValue cell;
            if (freexl_get_cell_value(book.handle(), r, c, &cell) != FREEXL_OK) {
                m_rows.clear();
                return false;
            }
            row.append(cellValue(cell));
            if (row.constLast().isNull())
                continue;
            if (firstRow < 0)
                firstRow = static_cast<int>(r);
            lastRow = static_cast<int>(r);
            firstColumn = std::min(firstColumn, static_cast<int>(c));
            lastColumn = std::max(lastColumn, static_cast<int>(c));
        }
        m_rows.append(row);
    }
    if (firstRow < 0) {
        m_rows.clear();
        return true;
    }
    m_rows.erase(m_rows.begin() + lastRow + 1, m_rows.end());
    m_rows.erase(m_rows.begin(), m_rows.begin() + firstRow);
    const int usedColumns = lastColumn - firstColumn + 1;
    if (usedColumns < columnCount) {
        for (QVariantList &row : m_rows)
            row = row.mid(firstColumn, usedColumns);
    }
    return true;
}

QDateTime XlsReader::dateTimeFromText(const QString &text)
{
    if (text.size() != 19 || text.at(4) != QLatin1Char('-') || text.at(7) != QLatin1Char('-') ||
        text.at(10) != QLatin1Char(' ') || text.at(13) != QLatin1Char(':') ||
        text.at(16) != QLatin1Char(':'))
        return QDateTime();
    const QDate date(digits(text, 0, 4), digits(text, 5, 2), digits(text, 8, 2));
    const QTime time(digits(text, 11, 2), digits(text, 14, 2), digits(text, 17, 2));
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time);
}
