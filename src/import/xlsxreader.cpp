#include "xlsxreader.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include <KArchive>
#include <KArchiveDirectory>
#include <KArchiveFile>
#include <KZip>

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>

#include "xlsdate.h"

namespace {

constexpr int ProgressRows = 4096;
const QLatin1String OfficeDocument(
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument");
const QLatin1String
    StrictOfficeDocument("http://purl.oclc.org/ooxml/officeDocument/relationships/officeDocument");

QString tr(const char *text)
{
    return QCoreApplication::translate("XlsxReader", text);
}

bool typeIs(const QString &type, QLatin1String kind)
{
    return type.endsWith(QLatin1Char('/') + kind);
}

// "xl/_rels/workbook.xml.rels" for "xl/workbook.xml"; "_rels/.rels" for the package.
QString relationshipsOf(const QString &path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    return path.left(slash + 1) + QStringLiteral("_rels/") + path.mid(slash + 1) +
           QStringLiteral(".rels");
}

// The column of a cell reference such as "AB12", counted from 0; -1 when it is not one.
int columnOf(const QByteArray &reference)
{
    int column = 0;
    int letters = 0;
    for (const char c : reference) {
        if (c >= 'A' && c <= 'Z') {
            if (++letters > 3)
                return -1;
            column = column * 26 + (c - 'A' + 1);
        } else if (c >= '0' && c <= '9' && letters > 0) {
            break;
        } else {
            return -1;
        }
    }
    return letters > 0 ? column - 1 : -1;
}

// The bytes without blanks around them.
std::pair<const char *, const char *> trimmed(const QByteArray &text)
{
    const char *begin = text.constData();
    const char *end = begin + text.size();
    while (begin < end && (*begin == ' ' || *begin == '\t' || *begin == '\n'))
        ++begin;
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\n'))
        --end;
    return {begin, end};
}

// A decimal number from 0 to max; false for anything else.
bool toIndex(const QByteArray &text, uint max, uint *value)
{
    const auto [begin, end] = trimmed(text);
    const auto result = std::from_chars(begin, end, *value);
    return begin < end && result.ec == std::errc() && result.ptr == end && *value <= max;
}

// A finite number as XML Schema writes a double; false for anything else.
bool toNumber(const QByteArray &text, double *value)
{
    auto [begin, end] = trimmed(text);
    // from_chars takes no plus sign.
    if (end - begin > 1 && *begin == '+' && begin[1] != '-')
        ++begin;
    const auto result = std::from_chars(begin, end, *value);
    return begin < end && result.ec == std::errc() && result.ptr == end && std::isfinite(*value);
}

// A positive decimal number no larger than max; -1 otherwise.
int counted(const QByteArray &text, int max)
{
    uint value = 0;
    return toIndex(text, uint(max), &value) && value >= 1 ? int(value) : -1;
}

// The text of a shared string or a cell as its text elements give it, phonetic runs aside: they
// repeat a text's reading in kana and are no part of it.
struct TextRun
{
    // UTF-8, which takes at most three bytes for each character of a QString.
    QByteArray bytes;
    bool open = false;
    int phonetic = 0;

    // A cell's bytes are taken into the same memory again and again.
    TextRun() { bytes.reserve(64); }
    void clear() { bytes.resize(0); }
    // Takes the characters at hand if they belong to the text; false when it would grow longer
    // than a cell's text may be.
    bool take(const XlsxPart &part)
    {
        if (!open || phonetic > 0)
            return true;
        if (bytes.size() + part.text().size() > 3 * XlsxReader::MaxCellText)
            return false;
        bytes += part.text();
        return true;
    }
    // The text; false when it is longer than a cell's text may be.
    bool text(QString *text) const
    {
        *text = QString::fromUtf8(bytes);
        return text->size() <= XlsxReader::MaxCellText;
    }
};

bool isTrue(const QByteArray &text)
{
    return text == "1" || text == "true";
}

} // namespace

XlsxReader::XlsxReader() = default;

XlsxReader::~XlsxReader() = default;

void XlsxReader::clear()
{
    m_files.clear();
    m_zip.reset();
    m_buffer.reset();
    m_file.reset();
    m_sheets.clear();
    m_date1904 = false;
    m_formats = XlsFormats();
    m_strings.clear();
    m_error.clear();
}

bool XlsxReader::fail(const QString &error)
{
    m_error = error;
    return false;
}

bool XlsxReader::partFailed(const XlsxPart &part)
{
    return fail(part.error().isEmpty() ? tr("a part of the workbook is damaged") : part.error());
}

bool XlsxReader::open(const QString &fileName)
{
    clear();
    m_file = std::make_unique<QFile>(fileName);
    if (!m_file->open(QIODevice::ReadOnly))
        return fail(m_file->errorString());
    return openDevice(m_file.get());
}

bool XlsxReader::read(const QByteArray &data)
{
    clear();
    m_buffer = std::make_unique<QBuffer>();
    m_buffer->setData(data);
    m_buffer->open(QIODevice::ReadOnly);
    return openDevice(m_buffer.get());
}

bool XlsxReader::openDevice(QIODevice *device)
{
    if (readDevice(device))
        return true;
    // Nothing of a workbook that cannot be opened is offered, only why.
    const QString error = m_error;
    clear();
    m_error = error;
    return false;
}

bool XlsxReader::readDevice(QIODevice *device)
{
    if (device->size() > MaxFileSize)
        return fail(tr("the file is larger than %1 MB").arg(MaxFileSize >> 20));
    m_zip = std::make_unique<KZip>(device);
    if (!m_zip->open(QIODevice::ReadOnly))
        return fail(tr("it is not an Excel workbook (.xlsx)"));
    if (!listFiles(m_zip->directory(), QString(), 0))
        return false;
    return readPackage();
}

bool XlsxReader::listFiles(const KArchiveDirectory *directory, const QString &path, int depth)
{
    if (depth > MaxDepth)
        return fail(tr("the workbook holds parts nested deeper than %1 folders").arg(MaxDepth));
    for (const QString &name : directory->entries()) {
        const KArchiveEntry *entry = directory->entry(name);
        const QString full = path + name;
        if (m_files.size() >= MaxEntries)
            return fail(tr("the workbook holds more than %1 parts").arg(MaxEntries));
        if (entry->isDirectory()) {
            if (!listFiles(static_cast<const KArchiveDirectory *>(entry), full + QLatin1Char('/'),
                           depth + 1))
                return false;
        } else {
            m_files.insert(full.toLower(), static_cast<const KArchiveFile *>(entry));
        }
    }
    return true;
}

bool XlsxReader::readPackage()
{
    QHash<QString, Relationship> package;
    if (!readRelationships(QString(), &package))
        return false;
    QString workbook;
    for (const Relationship &relationship : qAsConst(package)) {
        if (relationship.type == OfficeDocument || relationship.type == StrictOfficeDocument)
            workbook = XlsxPart::resolve(QString(), relationship.target);
    }
    if (workbook.isEmpty())
        return fail(tr("it is not an Excel workbook (.xlsx)"));
    return readWorkbook(workbook);
}

bool XlsxReader::readRelationships(const QString &path, QHash<QString, Relationship> *relationships)
{
    const QString relsPath = relationshipsOf(path);
    XlsxPart part(m_files);
    if (!part.open(relsPath, MaxMetaPartSize)) {
        if (path.isEmpty())
            return fail(tr("it is not an Excel workbook (.xlsx)"));
        return true;
    }
    while (part.next()) {
        if (!part.isStartElement() || part.name() != QLatin1String("Relationship"))
            continue;
        if (part.attribute(QLatin1String("TargetMode")) == "External")
            continue;
        if (relationships->size() >= MaxEntries)
            return fail(tr("the workbook holds more than %1 parts").arg(MaxEntries));
        relationships->insert(
            part.attributeText(QLatin1String("Id")),
            {part.attributeText(QLatin1String("Type")),
             XlsxPart::resolve(path, part.attributeText(QLatin1String("Target")))});
    }
    return part.error().isEmpty() || partFailed(part);
}

bool XlsxReader::readWorkbook(const QString &path)
{
    QHash<QString, Relationship> relationships;
    if (!readRelationships(path, &relationships))
        return false;
    XlsxPart part(m_files);
    if (!part.open(path, MaxMetaPartSize))
        return partFailed(part);
    while (part.next()) {
        if (!part.isStartElement())
            continue;
        const QLatin1String name = part.name();
        if (name == QLatin1String("workbookPr")) {
            m_date1904 = isTrue(part.attribute(QLatin1String("date1904")));
        } else if (name == QLatin1String("sheet")) {
            const Relationship target =
                relationships.value(part.attributeText(QLatin1String("id")));
            // Chart sheets and the like hold no cells.
            if (!typeIs(target.type, QLatin1String("worksheet")))
                continue;
            if (m_sheets.size() >= MaxSheets)
                return fail(tr("the workbook holds more than %1 sheets").arg(MaxSheets));
            m_sheets.append({part.attributeText(QLatin1String("name")), target.target, 0});
        }
    }
    if (!part.error().isEmpty())
        return partFailed(part);
    for (Sheet &sheet : m_sheets) {
        const KArchiveFile *file = m_files.value(sheet.path.toLower());
        if (!file)
            return fail(tr("the part %1 is missing").arg(sheet.path));
        sheet.size = std::clamp<qint64>(file->size(), 0, MaxSheetPartSize);
    }
    for (const Relationship &relationship : qAsConst(relationships)) {
        if (typeIs(relationship.type, QLatin1String("styles")) && !readStyles(relationship.target))
            return false;
        if (typeIs(relationship.type, QLatin1String("sharedStrings")) &&
            !readSharedStrings(relationship.target))
            return false;
    }
    return true;
}

bool XlsxReader::readStyles(const QString &path)
{
    XlsxPart part(m_files);
    if (!part.open(path, MaxMetaPartSize))
        return partFailed(part);
    bool inCellFormats = false;
    int cellFormats = 0;
    while (part.next()) {
        const QLatin1String name = part.name();
        if (part.isEndElement() && name == QLatin1String("cellXfs"))
            inCellFormats = false;
        if (!part.isStartElement())
            continue;
        if (name == QLatin1String("cellXfs")) {
            inCellFormats = true;
        } else if (name == QLatin1String("numFmt") ||
                   (inCellFormats && name == QLatin1String("xf"))) {
            uint id = 0;
            const quint16 format =
                toIndex(part.attribute(QLatin1String("numFmtId")), 0xFFFF, &id) ? quint16(id) : 0;
            if (name == QLatin1String("numFmt")) {
                m_formats.addFormat(format, part.attributeText(QLatin1String("formatCode")));
            } else {
                if (++cellFormats > MaxCellFormats)
                    return fail(
                        tr("the workbook has more than %1 cell formats").arg(MaxCellFormats));
                m_formats.addXf(format);
            }
        }
    }
    return part.error().isEmpty() || partFailed(part);
}

bool XlsxReader::readSharedStrings(const QString &path)
{
    XlsxPart part(m_files);
    if (!part.open(path, MaxSharedStringsPartSize))
        return partFailed(part);
    qint64 characters = 0;
    TextRun run;
    bool inItem = false;
    const QString tooLong = tr("a text is longer than %1 characters").arg(MaxCellText);
    while (part.next()) {
        if (part.isCharacters()) {
            if (!run.take(part))
                return fail(tooLong);
            continue;
        }
        const QLatin1String name = part.name();
        if (part.isStartElement()) {
            if (name == QLatin1String("si")) {
                inItem = true;
                run.clear();
            } else if (name == QLatin1String("rPh")) {
                ++run.phonetic;
            } else if (name == QLatin1String("t")) {
                run.open = inItem;
            }
        } else if (part.isEndElement()) {
            if (name == QLatin1String("t")) {
                run.open = false;
            } else if (name == QLatin1String("rPh")) {
                --run.phonetic;
            } else if (name == QLatin1String("si") && inItem) {
                inItem = false;
                QString text;
                if (!run.text(&text))
                    return fail(tooLong);
                characters += text.size();
                if (m_strings.size() >= MaxSharedStrings || characters > MaxSharedCharacters)
                    return fail(tr("the workbook holds more texts than %1 can read")
                                    .arg(QCoreApplication::applicationName()));
                m_strings.append(text);
            }
        }
    }
    return part.error().isEmpty() || partFailed(part);
}

bool XlsxReader::readSheet(int index, int maxColumns, const RowHandler &handler,
                           const Progress &progress)
{
    m_error.clear();
    if (index < 0 || index >= m_sheets.size() || !m_zip)
        return fail(tr("there is no such sheet"));
    const Sheet &sheet = m_sheets.at(index);
    XlsxPart part(m_files);
    if (!part.open(sheet.path, MaxSheetPartSize))
        return partFailed(part);
    const auto damaged = [&](int row) {
        m_error = tr("the sheet %1 is damaged at row %2").arg(sheet.name).arg(row + 1);
        return false;
    };

    enum class Kind { Number, Shared, Text, Boolean, Error, Date };
    QVariantList cells;
    TextRun run;
    const QByteArray &bytes = run.bytes;
    int row = -1;
    int column = -1;
    int style = 0;
    int rowsRead = 0;
    Kind kind = Kind::Number;
    bool inSheetData = false;
    bool inCell = false;
    bool inInline = false;
    bool hasValue = false;
    while (part.next()) {
        if (part.isCharacters()) {
            if (!run.take(part))
                return damaged(row);
            continue;
        }
        const QLatin1String name = part.name();
        if (part.isStartElement()) {
            if (!inSheetData) {
                inSheetData = name == QLatin1String("sheetData");
            } else if (name == QLatin1String("row")) {
                const QByteArray number = part.attribute(QLatin1String("r"));
                const int next = number.isEmpty() ? row + 1 : counted(number, MaxRows) - 1;
                if (next <= row || next >= MaxRows)
                    return damaged(row + 1);
                row = next;
                column = -1;
                cells.clear();
            } else if (name == QLatin1String("c")) {
                const QByteArray reference = part.attribute(QLatin1String("r"));
                const int next = reference.isEmpty() ? column + 1 : columnOf(reference);
                if (row < 0 || next <= column || next >= MaxColumns)
                    return damaged(row);
                column = next;
                const QByteArray styleText = part.attribute(QLatin1String("s"));
                uint styleIndex = 0;
                if (!styleText.isEmpty() && !toIndex(styleText, MaxCellFormats, &styleIndex))
                    return damaged(row);
                style = int(styleIndex);
                const QByteArray type = part.attribute(QLatin1String("t"));
                if (type.isEmpty() || type == "n")
                    kind = Kind::Number;
                else if (type == "s")
                    kind = Kind::Shared;
                else if (type == "str" || type == "inlineStr")
                    kind = Kind::Text;
                else if (type == "b")
                    kind = Kind::Boolean;
                else if (type == "e")
                    kind = Kind::Error;
                else if (type == "d")
                    kind = Kind::Date;
                else
                    return damaged(row);
                inCell = true;
                hasValue = false;
                run.clear();
            } else if (inCell && name == QLatin1String("v")) {
                run.open = true;
                hasValue = true;
                run.clear();
            } else if (inCell && name == QLatin1String("is")) {
                inInline = true;
                hasValue = true;
                run.clear();
            } else if (inInline && name == QLatin1String("t")) {
                run.open = true;
            } else if (inInline && name == QLatin1String("rPh")) {
                ++run.phonetic;
            }
            continue;
        }
        if (!part.isEndElement() || !inSheetData)
            continue;
        if (name == QLatin1String("v") || name == QLatin1String("t")) {
            run.open = false;
        } else if (name == QLatin1String("rPh")) {
            --run.phonetic;
        } else if (name == QLatin1String("is")) {
            inInline = false;
        } else if (name == QLatin1String("c")) {
            inCell = false;
            // A formula no program has computed has an empty value.
            if (column >= maxColumns || !hasValue || (bytes.isEmpty() && kind != Kind::Text))
                continue;
            QVariant value;
            bool ok = true;
            switch (kind) {
            case Kind::Number: {
                double number = 0.0;
                ok = toNumber(bytes, &number);
                QDate date;
                QTime time;
                if (ok && m_formats.isDate(quint16(style)))
                    value = XlsDate::wallClock(number, m_date1904, &date, &time)
                                ? m_offsets.fromWallClock(date, time)
                                : QDateTime();
                else
                    value = number;
                break;
            }
            case Kind::Shared: {
                uint string = 0;
                ok = !m_strings.isEmpty() && toIndex(bytes, uint(m_strings.size() - 1), &string);
                if (ok)
                    value = m_strings.at(int(string));
                break;
            }
            case Kind::Text:
            case Kind::Error: {
                QString text;
                ok = run.text(&text);
                value = text;
                break;
            }
            case Kind::Boolean:
                ok = bytes == "0" || bytes == "1";
                value = bytes == "1";
                break;
            case Kind::Date: {
                const QDateTime time = QDateTime::fromString(QString::fromUtf8(bytes), Qt::ISODate);
                ok = time.isValid();
                value = time.timeSpec() == Qt::LocalTime
                            ? m_offsets.fromWallClock(time.date(), time.time())
                            : time.toLocalTime();
                break;
            }
            }
            if (!ok)
                return damaged(row);
            while (cells.size() < column)
                cells.append(QVariant());
            cells.append(value);
        } else if (name == QLatin1String("row")) {
            if (!cells.isEmpty() && !handler(row, cells))
                return false;
            if (++rowsRead % ProgressRows == 0 && progress && !progress(part.bytesRead()))
                return false;
        } else if (name == QLatin1String("sheetData")) {
            // What follows (merged cells, page setup) is of no interest.
            return true;
        }
    }
    return part.error().isEmpty() || partFailed(part);
}
