#include "xlswriter.h"

#include <algorithm>
#include <cmath>

#include <QList>
#include <QPair>
#include <QSaveFile>
#include <QSet>
#include <QStringList>

#include "biffbuffer.h"
#include "biffrecord.h"
#include "compoundfilewriter.h"

namespace {

// Longest record body BIFF8 allows; the shared string table goes on in CONTINUE records.
constexpr int MaxRecordBody = 8224;
constexpr quint16 CodePageUtf16 = 1200;
// Excel needs the 15 style formats before the first cell format.
constexpr quint16 StyleXfCount = 15;
constexpr quint16 GeneralCellXf = 15;
constexpr quint16 FirstCustomFormat = 164;
constexpr int FontCount = 4;
constexpr int DefaultWidthChars = 8;

bool isBuiltInFormat(const QString &format, quint16 *index)
{
    static const QHash<QString, quint16> builtIns = {
        {QString(), 0},
        {QStringLiteral("general"), 0},
        {QStringLiteral("0"), 1},
        {QStringLiteral("0.00"), 2},
        {QStringLiteral("#,##0"), 3},
        {QStringLiteral("#,##0.00"), 4},
        {QStringLiteral("0%"), 9},
        {QStringLiteral("0.00%"), 10},
        {QStringLiteral("0.00e+00"), 11},
        {QStringLiteral("@"), 49},
    };
    const auto it = builtIns.constFind(format.toLower());
    if (it == builtIns.constEnd())
        return false;
    *index = it.value();
    return true;
}

// Integers that fit the 30 bits of an RK value are stored in the short record.
bool toRkInteger(double value, quint32 *rk)
{
    constexpr double limit = 1 << 29;
    if (value != std::floor(value) || value < -limit || value >= limit)
        return false;
    *rk = (static_cast<quint32>(static_cast<qint32>(value)) << 2) | 0x02;
    return true;
}

// The shared string table, split into CONTINUE records where it overflows a record. A string's
// length and flags never part; when its characters are cut, the CONTINUE record starts with the
// flags byte again. Returns the offset table of every stringsPerBucket-th string for EXTSST.
QList<QPair<quint32, quint16>> putSst(BiffBuffer &out, const QStringList &strings,
                                      quint32 references, int stringsPerBucket)
{
    QList<QPair<quint32, quint16>> buckets;
    BiffBuffer body;
    quint16 type = RecSst;
    const auto flush = [&] {
        out.record(type, body.size());
        out.bytes(body.data());
        body.clear();
        type = RecContinue;
    };
    body.u32(references);
    body.u32(static_cast<quint32>(strings.size()));
    for (int i = 0; i < strings.size(); ++i) {
        const QString &s = strings.at(i);
        const bool wide = BiffBuffer::needsWide(s);
        const int charSize = wide ? 2 : 1;
        if (body.size() + 3 + charSize > MaxRecordBody)
            flush();
        if (i % stringsPerBucket == 0)
            buckets.append({static_cast<quint32>(out.size() + 4 + body.size()),
                            static_cast<quint16>(4 + body.size())});
        body.u16(static_cast<quint16>(s.size()));
        body.u8(wide ? 1 : 0);
        int done = 0;
        while (done < s.size()) {
            const int room = (MaxRecordBody - body.size()) / charSize;
            if (room == 0) {
                flush();
                body.u8(wide ? 1 : 0);
                continue;
            }
            const int n = std::min(room, s.size() - done);
            body.chars(s, done, n, wide);
            done += n;
        }
    }
    flush();
    return buckets;
}

int generalTextLength(double value)
{
    return QString::number(value, 'g', 10).size();
}

} // namespace

const QString XlsWriter::DateTimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");

XlsWriter::XlsWriter()
{
    m_sheets.push_back(Sheet{QStringLiteral("Sheet1"), {}, 0, {}});
}

int XlsWriter::addSheet(const QString &name)
{
    m_sheets.push_back(Sheet{QStringLiteral("Sheet%1").arg(m_sheets.size() + 1), {}, 0, {}});
    m_current = m_sheets.size() - 1;
    setSheetName(name);
    return static_cast<int>(m_current);
}

void XlsWriter::setCurrentSheet(int index)
{
    if (index >= 0 && index < sheetCount())
        m_current = static_cast<size_t>(index);
}

void XlsWriter::setSheetName(const QString &name)
{
    static const QString forbidden = QStringLiteral("[]:*?/\\");
    QString clean = name.left(31);
    for (QChar &c : clean) {
        if (forbidden.contains(c))
            c = QLatin1Char('_');
    }
    if (!clean.isEmpty())
        current().name = clean;
}

XlsWriter::Cell *XlsWriter::cellAt(int row, int column)
{
    if (row < 0 || row >= MaxRows || column < 0 || column >= MaxColumns)
        return nullptr;
    Sheet &sheet = current();
    if (row >= rowCount())
        sheet.rows.resize(static_cast<size_t>(row) + 1);
    std::vector<Cell> &cells = sheet.rows[static_cast<size_t>(row)];
    if (column >= static_cast<int>(cells.size()))
        cells.resize(static_cast<size_t>(column) + 1);
    sheet.columnCount = std::max(sheet.columnCount, column + 1);
    return &cells[static_cast<size_t>(column)];
}

quint16 XlsWriter::formatIndex(const QString &format)
{
    quint16 index = 0;
    if (isBuiltInFormat(format, &index))
        return index;
    for (auto it = m_customFormats.cbegin(); it != m_customFormats.cend(); ++it) {
        if (it.value() == format)
            return it.key();
    }
    index = static_cast<quint16>(FirstCustomFormat + m_customFormats.size());
    m_customFormats.insert(index, format);
    return index;
}

bool XlsWriter::setNumber(int row, int column, double value, const QString &format)
{
    if (!std::isfinite(value))
        return false;
    Cell *cell = cellAt(row, column);
    if (!cell)
        return false;
    cell->type = CellType::Number;
    cell->format = formatIndex(format);
    cell->number = value;
    cell->text.clear();
    cell->shownLength = static_cast<quint16>(generalTextLength(value));
    return true;
}

bool XlsWriter::setText(int row, int column, const QString &text, const QString &format)
{
    Cell *cell = cellAt(row, column);
    if (!cell)
        return false;
    cell->type = CellType::Text;
    cell->format = formatIndex(format);
    cell->text = text.left(MaxTextLength);
    cell->shownLength = static_cast<quint16>(cell->text.size());
    return true;
}

bool XlsWriter::setDateTime(int row, int column, const QDateTime &dateTime, const QString &format)
{
    if (!dateTime.isValid() || dateTime.date() < QDate(1900, 3, 1) ||
        dateTime.date() > QDate(9999, 12, 31))
        return false;
    if (!setNumber(row, column, toSerial(dateTime), format))
        return false;
    // The digit codes (yyyy, MM, dd, hh, mm, ss) show as many digits as they have letters, so the
    // format's length stands for the shown length without formatting every value.
    current().rows[static_cast<size_t>(row)][static_cast<size_t>(column)].shownLength =
        static_cast<quint16>(std::min(format.size(), MaxTextLength));
    return true;
}

double XlsWriter::toSerial(const QDateTime &dateTime)
{
    const double days = static_cast<double>(QDate(1899, 12, 30).daysTo(dateTime.date()));
    return days + dateTime.time().msecsSinceStartOfDay() / 86400000.0;
}

void XlsWriter::setColumnWidth(int column, double characters)
{
    if (column < 0 || column >= MaxColumns)
        return;
    const double clamped = std::clamp(characters, 0.0, MaxColumnWidth);
    current().columnWidths.insert(column, static_cast<int>(std::lround(clamped * 256)));
}

double XlsWriter::columnWidth(int column) const
{
    const QMap<int, int> &widths = current().columnWidths;
    return widths.contains(column) ? widths.value(column) / 256.0 : DefaultColumnWidth;
}

void XlsWriter::autoFitColumns()
{
    const int columns = current().columnCount;
    std::vector<int> widest(static_cast<size_t>(columns), -1);
    for (const std::vector<Cell> &cells : current().rows) {
        for (size_t c = 0; c < cells.size(); ++c) {
            if (cells[c].type != CellType::Empty)
                widest[c] = std::max(widest[c], static_cast<int>(cells[c].shownLength));
        }
    }
    // One character more than the content leaves Excel's cell margins clear.
    for (int c = 0; c < columns; ++c) {
        if (widest[static_cast<size_t>(c)] >= 0)
            setColumnWidth(c, widest[static_cast<size_t>(c)] + 1.0);
    }
}

QByteArray XlsWriter::sheetStream(const Sheet &sheet, bool first,
                                  const QMap<quint16, quint16> &xfOfFormat,
                                  const QHash<QString, quint32> &stringIndex)
{
    const int rowCount = static_cast<int>(sheet.rows.size());
    int firstRow = -1;
    int lastRow = -1;
    int firstColumn = MaxColumns;
    int lastColumn = -1;
    for (int r = 0; r < rowCount; ++r) {
        const std::vector<Cell> &cells = sheet.rows[static_cast<size_t>(r)];
        for (int c = 0; c < static_cast<int>(cells.size()); ++c) {
            if (cells[static_cast<size_t>(c)].type == CellType::Empty)
                continue;
            if (firstRow < 0)
                firstRow = r;
            lastRow = r;
            firstColumn = std::min(firstColumn, c);
            lastColumn = std::max(lastColumn, c);
        }
    }

    BiffBuffer out;
    out.reserve(64 + rowCount * sheet.columnCount * 18);
    out.record(RecBof, 16);
    out.u16(0x0600); // BIFF8
    out.u16(0x0010); // worksheet
    out.u16(0x0DBB);
    out.u16(0x07CC);
    out.u32(0);
    out.u32(0x06);

    out.record(RecDefColWidth, 2);
    out.u16(DefaultWidthChars);
    for (auto it = sheet.columnWidths.cbegin(); it != sheet.columnWidths.cend(); ++it) {
        out.record(RecColInfo, 12);
        out.u16(static_cast<quint16>(it.key()));
        out.u16(static_cast<quint16>(it.key()));
        out.u16(static_cast<quint16>(it.value()));
        out.u16(GeneralCellXf);
        out.u16(0x0002); // user-set width
        out.u16(0);
    }

    // Rows and columns of the used block; the last ones are exclusive.
    out.record(RecDimensions, 14);
    out.u32(firstRow < 0 ? 0 : static_cast<quint32>(firstRow));
    out.u32(firstRow < 0 ? 0 : static_cast<quint32>(lastRow + 1));
    out.u16(firstRow < 0 ? 0 : static_cast<quint16>(firstColumn));
    out.u16(firstRow < 0 ? 0 : static_cast<quint16>(lastColumn + 1));
    out.u16(0);

    for (int r = 0; r < rowCount; ++r) {
        const std::vector<Cell> &cells = sheet.rows[static_cast<size_t>(r)];
        for (int c = 0; c < static_cast<int>(cells.size()); ++c) {
            const Cell &cell = cells[static_cast<size_t>(c)];
            if (cell.type == CellType::Empty)
                continue;
            const quint16 xf = xfOfFormat.value(cell.format, GeneralCellXf);
            quint32 rk = 0;
            if (cell.type == CellType::Text) {
                out.record(RecLabelSst, 10);
                out.u16(static_cast<quint16>(r));
                out.u16(static_cast<quint16>(c));
                out.u16(xf);
                out.u32(stringIndex.value(cell.text));
            } else if (toRkInteger(cell.number, &rk)) {
                out.record(RecRk, 10);
                out.u16(static_cast<quint16>(r));
                out.u16(static_cast<quint16>(c));
                out.u16(xf);
                out.u32(rk);
            } else {
                out.record(RecNumber, 14);
                out.u16(static_cast<quint16>(r));
                out.u16(static_cast<quint16>(c));
                out.u16(xf);
                out.f64(cell.number);
            }
        }
    }

    out.record(RecWindow2, 18);
    // Grid, headers, zeros, outline symbols; the first sheet is also selected and shown.
    out.u16(first ? 0x06B6 : 0x00B6);
    out.u16(0);  // top row
    out.u16(0);  // left column
    out.u32(64); // grid line colour: automatic
    out.u16(0);  // zoom factors: default
    out.u16(0);
    out.u32(0);

    out.record(RecEof, 0);
    return out.data();
}

QByteArray XlsWriter::workbookStream() const
{
    // Strings in order of first use, each stored once.
    QStringList strings;
    QHash<QString, quint32> stringIndex;
    quint32 references = 0;
    QSet<quint16> usedFormats;
    for (const Sheet &sheet : m_sheets) {
        for (const std::vector<Cell> &cells : sheet.rows) {
            for (const Cell &cell : cells) {
                if (cell.type == CellType::Empty)
                    continue;
                if (cell.format != 0)
                    usedFormats.insert(cell.format);
                if (cell.type != CellType::Text)
                    continue;
                ++references;
                if (!stringIndex.contains(cell.text)) {
                    stringIndex.insert(cell.text, static_cast<quint32>(strings.size()));
                    strings.append(cell.text);
                }
            }
        }
    }
    QList<quint16> formats = usedFormats.values();
    std::sort(formats.begin(), formats.end());
    QMap<quint16, quint16> xfOfFormat;
    for (int i = 0; i < formats.size(); ++i)
        xfOfFormat.insert(formats.at(i), static_cast<quint16>(GeneralCellXf + 1 + i));

    BiffBuffer out;
    out.record(RecBof, 16);
    out.u16(0x0600);
    out.u16(0x0005); // workbook globals
    out.u16(0x0DBB);
    out.u16(0x07CC);
    out.u32(0);
    out.u32(0x06);

    out.record(RecCodePage, 2);
    out.u16(CodePageUtf16);

    out.record(RecWindow1, 18);
    out.u16(0);
    out.u16(0);
    out.u16(0x3A98);
    out.u16(0x2328);
    out.u16(0x0038); // horizontal and vertical scroll bars, sheet tabs
    out.u16(0);      // active sheet
    out.u16(0);      // first visible tab
    out.u16(1);      // selected sheets
    out.u16(0x0258); // tab bar width ratio

    out.record(RecDateMode, 2);
    out.u16(0); // 1900 date system

    // Font 4 does not exist in BIFF, so four fonts cover every index that is used.
    const QString fontName = QStringLiteral("Arial");
    for (int i = 0; i < FontCount; ++i) {
        out.record(RecFont, 16 + fontName.size());
        out.u16(200); // 10 pt in twips
        out.u16(0);
        out.u16(0x7FFF); // automatic colour
        out.u16(400);    // normal weight
        out.u16(0);
        out.u8(0);
        out.u8(0);
        out.u8(0);
        out.u8(0);
        out.u8(static_cast<quint8>(fontName.size()));
        out.u8(0);
        out.chars(fontName, 0, fontName.size(), false);
    }

    for (auto it = m_customFormats.cbegin(); it != m_customFormats.cend(); ++it) {
        out.record(RecFormat, 2 + BiffBuffer::string16Size(it.value()));
        out.u16(it.key());
        out.putString16(it.value());
    }

    for (quint16 i = 0; i < StyleXfCount; ++i)
        out.putXf(0, true);
    out.putXf(0, false);
    for (const quint16 format : formats)
        out.putXf(format, false);

    out.record(RecStyle, 4);
    out.u16(0x8000); // built-in style on XF 0
    out.u8(0);       // Normal
    out.u8(0xFF);

    // Each sheet's offset in the stream is known only once the globals are written.
    QList<int> sheetOffsetPos;
    for (const Sheet &sheet : m_sheets) {
        const QString &name = sheet.name;
        out.record(RecBoundSheet, 8 + name.size() * (BiffBuffer::needsWide(name) ? 2 : 1));
        sheetOffsetPos.append(out.size());
        out.u32(0);
        out.u8(0); // visible
        out.u8(0); // worksheet
        out.u8(static_cast<quint8>(name.size()));
        out.u8(BiffBuffer::needsWide(name) ? 1 : 0);
        out.chars(name, 0, name.size(), BiffBuffer::needsWide(name));
    }

    const int stringsPerBucket = std::max(8, (strings.size() + 127) / 128);
    const auto buckets = putSst(out, strings, references, stringsPerBucket);
    out.record(RecExtSst, 2 + 8 * buckets.size());
    out.u16(static_cast<quint16>(stringsPerBucket));
    for (const auto &bucket : buckets) {
        out.u32(bucket.first);
        out.u16(bucket.second);
        out.u16(0);
    }

    out.record(RecEof, 0);
    for (size_t i = 0; i < m_sheets.size(); ++i) {
        out.setU32(sheetOffsetPos.at(static_cast<int>(i)), static_cast<quint32>(out.size()));
        out.bytes(sheetStream(m_sheets[i], i == 0, xfOfFormat, stringIndex));
    }
    return out.data();
}

QByteArray XlsWriter::fileData() const
{
    return CompoundFileWriter::write(workbookStream());
}

bool XlsWriter::save(const QString &fileName) const
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray data = fileData();
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
