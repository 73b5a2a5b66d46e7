#include "xlsreader.h"

#include <algorithm>
#include <cstring>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include "biffcursor.h"
#include "biffrecord.h"
#include "compoundfile.h"
#include "xlsdate.h"

namespace {

constexpr quint16 Biff8 = 0x0600;
constexpr quint16 GlobalsSubstream = 0x0005;
constexpr quint16 WorksheetSubstream = 0x0010;
constexpr quint8 WorksheetSheet = 0;
// Charts and other objects in a sheet bring substreams of their own, each in BOF .. EOF.
constexpr int MaxNesting = 8;

QString errorText(quint32 code)
{
    switch (code) {
    case 0x00:
        return QStringLiteral("#NULL!");
    case 0x07:
        return QStringLiteral("#DIV/0!");
    case 0x0F:
        return QStringLiteral("#VALUE!");
    case 0x17:
        return QStringLiteral("#REF!");
    case 0x1D:
        return QStringLiteral("#NAME?");
    case 0x24:
        return QStringLiteral("#NUM!");
    case 0x2A:
        return QStringLiteral("#N/A");
    default:
        return QStringLiteral("#ERROR!");
    }
}

bool before(quint16 rowA, quint16 columnA, quint16 rowB, quint16 columnB)
{
    return rowA < rowB || (rowA == rowB && columnA < columnB);
}

} // namespace

void XlsReader::clear()
{
    m_formats = XlsFormats();
    m_date1904 = false;
    m_strings.clear();
    m_sharedStrings = 0;
    m_cells.clear();
    m_cells.shrink_to_fit();
    m_firstRow = 0;
    m_firstColumn = 0;
    m_rowCount = 0;
    m_columnCount = 0;
}

bool XlsReader::open(const QString &fileName)
{
    clear();
    // Devices and pipes could feed the reader without end.
    if (!QFileInfo(fileName).isFile())
        return false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxFileSize)
        return false;
    const QByteArray data = file.read(MaxFileSize + 1);
    if (data.size() > MaxFileSize)
        return false;
    return read(data);
}

bool XlsReader::read(const QByteArray &data)
{
    clear();
    if (data.size() > MaxFileSize)
        return false;
    QByteArray stream;
    {
        CompoundFile file(data);
        if (!file.open() || !file.readStream(QStringLiteral("Workbook"), &stream))
            return false;
    }
    BiffCursor cursor(stream);
    qint64 sheetOffset = -1;
    if (!readGlobals(cursor, &sheetOffset) || !readSheet(cursor, sheetOffset)) {
        clear();
        return false;
    }
    finish();
    return true;
}

bool XlsReader::readGlobals(BiffCursor &cursor, qint64 *sheetOffset)
{
    if (!cursor.next() || cursor.type() != RecBof || cursor.u16() != Biff8 ||
        cursor.u16() != GlobalsSubstream || cursor.overrun())
        return false;
    while (cursor.next()) {
        switch (cursor.type()) {
        case RecFilePass:
            // Encrypted.
            return false;
        case RecDateMode:
            m_date1904 = cursor.u16() == 1;
            break;
        case RecFormat: {
            const quint16 index = cursor.u16();
            const QString code = cursor.text(2);
            m_formats.addFormat(index, code);
            break;
        }
        case RecXf:
            cursor.skip(2);
            m_formats.addXf(cursor.u16());
            break;
        case RecBoundSheet: {
            const quint32 offset = cursor.u32();
            cursor.skip(1);
            if (cursor.u8() == WorksheetSheet && *sheetOffset < 0 && !cursor.overrun())
                *sheetOffset = offset;
            break;
        }
        case RecSst:
            if (!readSharedStrings(cursor))
                return false;
            break;
        case RecEof:
            return *sheetOffset >= 0;
        default:
            break;
        }
        if (cursor.overrun())
            return false;
    }
    return false;
}

bool XlsReader::readSharedStrings(BiffCursor &cursor)
{
    cursor.skip(4);
    const quint32 count = cursor.u32();
    // Each text takes three bytes at least, so the loop ends with the record whatever count says.
    for (quint32 i = 0; i < count; ++i) {
        const QString text = cursor.text(2);
        if (cursor.overrun())
            return false;
        m_strings.append(text);
    }
    m_sharedStrings = m_strings.size();
    return true;
}

bool XlsReader::readSheet(BiffCursor &cursor, qint64 offset)
{
    cursor.seek(offset);
    if (!cursor.next() || cursor.type() != RecBof)
        return false;
    cursor.skip(2);
    if (cursor.u16() != WorksheetSubstream || cursor.overrun())
        return false;

    int nesting = 0;
    // A formula whose result is text gives it in the STRING record that follows.
    bool stringPending = false;
    quint16 pendingRow = 0;
    quint16 pendingColumn = 0;
    quint16 pendingXf = 0;
    while (cursor.next()) {
        const quint16 type = cursor.type();
        if (nesting > 0) {
            if (type == RecBof && ++nesting > MaxNesting)
                return false;
            if (type == RecEof)
                --nesting;
            continue;
        }
        if (stringPending) {
            if (type == RecSharedFormula || type == RecArray || type == RecTable)
                continue;
            if (type != RecString)
                return false;
            stringPending = false;
            const QString text = cursor.text(2);
            if (cursor.overrun() || !addText(pendingRow, pendingColumn, pendingXf, text))
                return false;
            continue;
        }

        bool ok = true;
        switch (type) {
        case RecEof:
            return true;
        case RecBof:
            nesting = 1;
            continue;
        case RecNumber: {
            const quint16 row = cursor.u16();
            const quint16 column = cursor.u16();
            const quint16 xf = cursor.u16();
            const double number = cursor.f64();
            ok = addCell(row, column, xf, Kind::Number, 0, number);
            break;
        }
        case RecRk: {
            const quint16 row = cursor.u16();
            const quint16 column = cursor.u16();
            const quint16 xf = cursor.u16();
            ok = addRk(row, column, xf, cursor.u32());
            break;
        }
        case RecMulRk: {
            // Row, first column, an XF and an RK value for each column, last column.
            const int count = (cursor.size() - 6) / 6;
            if (count < 1 || cursor.size() != 6 + 6 * count)
                return false;
            const quint16 row = cursor.u16();
            const quint16 first = cursor.u16();
            for (int i = 0; i < count && ok; ++i) {
                const quint16 xf = cursor.u16();
                ok = addRk(row, static_cast<quint16>(first + i), xf, cursor.u32());
            }
            ok = ok && cursor.u16() == first + count - 1;
            break;
        }
        case RecLabelSst: {
            const quint16 row = cursor.u16();
            const quint16 column = cursor.u16();
            const quint16 xf = cursor.u16();
            const quint32 index = cursor.u32();
            ok = index < static_cast<quint32>(m_sharedStrings) &&
                 addCell(row, column, xf, Kind::Text, index, 0.0);
            break;
        }
        case RecLabel:
        case RecRString: {
            const quint16 row = cursor.u16();
            const quint16 column = cursor.u16();
            const quint16 xf = cursor.u16();
            const QString text = cursor.text(2);
            ok = !cursor.overrun() && addText(row, column, xf, text);
            break;
        }
        case RecBoolErr: {
            const quint16 row = cursor.u16();
            const quint16 column = cursor.u16();
            const quint16 xf = cursor.u16();
            const quint8 value = cursor.u8();
            const bool error = cursor.u8() != 0;
            ok = addCell(row, column, xf, error ? Kind::Error : Kind::Boolean, value, 0.0);
            break;
        }
        case RecFormula: {
            const quint16 row = cursor.u16();
            const quint16 column = cursor.u16();
            const quint16 xf = cursor.u16();
            char result[8];
            for (char &b : result)
                b = static_cast<char>(cursor.u8());
            if (cursor.overrun())
                return false;
            // Results other than numbers mark their last two bytes 0xFFFF.
            if (static_cast<quint8>(result[6]) != 0xFF || static_cast<quint8>(result[7]) != 0xFF) {
                double number = 0.0;
                const quint64 bits = qFromLittleEndian<quint64>(result);
                std::memcpy(&number, &bits, sizeof number);
                ok = addCell(row, column, xf, Kind::Number, 0, number);
                break;
            }
            const quint8 value = static_cast<quint8>(result[2]);
            switch (result[0]) {
            case 0:
                stringPending = true;
                pendingRow = row;
                pendingColumn = column;
                pendingXf = xf;
                break;
            case 1:
                ok = addCell(row, column, xf, Kind::Boolean, value, 0.0);
                break;
            case 2:
                ok = addCell(row, column, xf, Kind::Error, value, 0.0);
                break;
            case 3:
                ok = addText(row, column, xf, QString());
                break;
            default:
                return false;
            }
            break;
        }
        default:
            break;
        }
        if (!ok || cursor.overrun())
            return false;
    }
    // The stream ended before the sheet's EOF record.
    return false;
}

bool XlsReader::addCell(quint16 row, quint16 column, quint16 xf, Kind kind, quint32 index,
                        double number)
{
    if (column >= MaxColumns || m_cells.size() >= static_cast<size_t>(MaxCells))
        return false;
    m_cells.push_back({row, column, xf, kind, index, number});
    return true;
}

bool XlsReader::addRk(quint16 row, quint16 column, quint16 xf, quint32 rk)
{
    // An RK value is a 30-bit integer or the high 30 bits of a double, times 100 when bit 0 is
    // set.
    double number = 0.0;
    if (rk & 0x02) {
        number = static_cast<double>(static_cast<qint32>(rk) >> 2);
    } else {
        const quint64 bits = static_cast<quint64>(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&number, &bits, sizeof number);
    }
    if (rk & 0x01)
        number /= 100.0;
    const Kind kind = (rk & 0x03) == 0x02 ? Kind::Integer : Kind::Number;
    return addCell(row, column, xf, kind, 0, number);
}

bool XlsReader::addText(quint16 row, quint16 column, quint16 xf, const QString &text)
{
    if (!addCell(row, column, xf, Kind::Text, static_cast<quint32>(m_strings.size()), 0.0))
        return false;
    m_strings.append(text);
    return true;
}

void XlsReader::finish()
{
    const auto less = [](const Cell &a, const Cell &b) {
        return before(a.row, a.column, b.row, b.column);
    };
    if (!std::is_sorted(m_cells.begin(), m_cells.end(), less))
        std::stable_sort(m_cells.begin(), m_cells.end(), less);
    // Of two values for one cell the later one holds, as when a program overwrites it.
    auto out = m_cells.begin();
    for (auto it = m_cells.begin(); it != m_cells.end(); ++it) {
        const auto next = it + 1;
        if (next != m_cells.end() && next->row == it->row && next->column == it->column)
            continue;
        *out++ = *it;
    }
    m_cells.erase(out, m_cells.end());
    if (m_cells.empty())
        return;

    int lastColumn = 0;
    m_firstColumn = MaxColumns;
    for (const Cell &cell : m_cells) {
        m_firstColumn = std::min<int>(m_firstColumn, cell.column);
        lastColumn = std::max<int>(lastColumn, cell.column);
    }
    m_firstRow = m_cells.front().row;
    m_rowCount = m_cells.back().row - m_firstRow + 1;
    m_columnCount = lastColumn - m_firstColumn + 1;
}

QVariant XlsReader::value(const Cell &cell) const
{
    switch (cell.kind) {
    case Kind::Integer:
    case Kind::Number:
        if (m_formats.isDate(cell.xf))
            return XlsDate::fromSerial(cell.number, m_date1904);
        if (cell.kind == Kind::Integer)
            return static_cast<int>(cell.number);
        return cell.number;
    case Kind::Text:
        return m_strings.at(static_cast<int>(cell.index));
    case Kind::Boolean:
        return cell.index != 0;
    case Kind::Error:
        return errorText(cell.index);
    }
    return QVariant();
}

QList<QVariantList> XlsReader::rows(int maxColumns) const
{
    QList<QVariantList> result;
    const int width = std::min(m_columnCount, std::max(maxColumns, 0));
    if (m_cells.empty() || width == 0)
        return result;
    QVariantList emptyRow;
    emptyRow.reserve(width);
    for (int c = 0; c < width; ++c)
        emptyRow.append(QVariant());

    result.reserve(m_rowCount);
    auto cell = m_cells.cbegin();
    for (int r = m_firstRow; r < m_firstRow + m_rowCount; ++r) {
        if (cell == m_cells.cend() || cell->row != r) {
            result.append(emptyRow);
            continue;
        }
        QVariantList row = emptyRow;
        for (; cell != m_cells.cend() && cell->row == r; ++cell) {
            const int c = cell->column - m_firstColumn;
            if (c < width)
                row[c] = value(*cell);
        }
        result.append(row);
    }
    return result;
}
