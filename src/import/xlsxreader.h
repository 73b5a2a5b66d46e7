#pragma once

#include <functional>
#include <memory>

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include "utcoffsetcache.h"
#include "xlsformats.h"
#include "xlsxpart.h"

class KArchiveDirectory;
class KZip;
class QBuffer;
class QFile;
class QIODevice;

// Reads the worksheets of an Office Open XML workbook (.xlsx), as Excel, LibreOffice, openpyxl
// and the logger's own export write it. open() reads what every sheet needs (the sheet list, the
// date system, the cell formats, the shared strings); readSheet() then streams one sheet's rows.
// A cell is a double, a QString, a bool, a QDateTime for a number with a date or time format
// (local wall-clock time with its offset from UTC, invalid for a serial no date-time can hold),
// the error text such as "#DIV/0!", or a null QVariant when empty. Formulas give their last
// computed result.
//
// Made for files from anywhere: every size is checked before use against the limits below, the
// zip's declared sizes and the bytes really inflated alike, XML with a document type declaration
// is refused, and memory grows with the shared strings and one row, never with the sheet.
class XlsxReader
{
public:
    static constexpr qint64 MaxFileSize = qint64(1) << 30;
    static constexpr int MaxEntries = 10000;
    // Folders in a part's name.
    static constexpr int MaxDepth = 16;
    static constexpr int MaxSheets = 1000;
    // The workbook, its relationships and styles.
    static constexpr qint64 MaxMetaPartSize = qint64(16) << 20;
    // A sheet of a million readings in LibreOffice's or Excel's wording is some 200 MB.
    static constexpr qint64 MaxSheetPartSize = qint64(2) << 30;
    static constexpr qint64 MaxSharedStringsPartSize = qint64(256) << 20;
    static constexpr int MaxSharedStrings = 1 << 22;
    // Characters in all shared strings together, and in one cell (Excel's own limit).
    static constexpr qint64 MaxSharedCharacters = qint64(64) << 20;
    static constexpr int MaxCellText = 32767;
    // Excel's sheet: 1,048,576 rows of 16,384 columns.
    static constexpr int MaxRows = 1 << 20;
    static constexpr int MaxColumns = 1 << 14;
    static constexpr int MaxCellFormats = 65535;

    struct Sheet
    {
        QString name;
        QString path;
        // As the zip declares it; the reading is held to it.
        qint64 size = 0;
    };
    // A row of the sheet, counted from 0, with its cells from column A on; rows without cells
    // are not reported. Returning false stops the reading.
    using RowHandler = std::function<bool(int row, const QVariantList &cells)>;
    // Told the bytes of the sheet read so far; returning false stops the reading.
    using Progress = std::function<bool(qint64 read)>;

    XlsxReader();
    ~XlsxReader();
    XlsxReader(const XlsxReader &) = delete;
    XlsxReader &operator=(const XlsxReader &) = delete;

    // False, with errorString(), for anything that is not a sound workbook.
    bool open(const QString &fileName);
    // The same for a file's content, which must outlive the reader.
    bool read(const QByteArray &data);

    // As open() or read() found them; the list and its sheets stay as they are until the next
    // open() or read(), whatever readSheet() meets.
    const QList<Sheet> &sheets() const { return m_sheets; }
    QString errorString() const { return m_error; }

    // Streams the rows of sheet index, each cut to its first maxColumns cells. False when the
    // sheet is damaged (with errorString()) or when a handler stopped it (errorString() empty).
    bool readSheet(int index, int maxColumns, const RowHandler &handler,
                   const Progress &progress = {});

private:
    struct Relationship
    {
        QString type;
        QString target;
    };

    bool openDevice(QIODevice *device);
    bool readDevice(QIODevice *device);
    bool listFiles(const KArchiveDirectory *directory, const QString &path, int depth);
    bool readPackage();
    // The relationships of the part at path, by their ids; none when it has no such part.
    bool readRelationships(const QString &path, QHash<QString, Relationship> *relationships);
    bool readWorkbook(const QString &path);
    bool readStyles(const QString &path);
    bool readSharedStrings(const QString &path);
    bool partFailed(const XlsxPart &part);
    bool fail(const QString &error);
    void clear();

    std::unique_ptr<QFile> m_file;
    std::unique_ptr<QBuffer> m_buffer;
    std::unique_ptr<KZip> m_zip;
    XlsxPart::Files m_files;
    QList<Sheet> m_sheets;
    bool m_date1904 = false;
    XlsFormats m_formats;
    UtcOffsetCache m_offsets;
    QStringList m_strings;
    QString m_error;
};
