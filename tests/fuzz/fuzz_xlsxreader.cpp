// libFuzzer entry: one .xlsx file's content through the reader, every sheet streamed and every
// cell converted as the import converts it.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QByteArray>
#include <QDateTime>
#include <QVariant>
#include <QtGlobal>

#include "readingtext.h"
#include "utcoffsetcache.h"
#include "xlsxreader.h"

// The archive library and QBuffer warn of every damaged zip: writing those out would be most of
// the run.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray file =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<int>(size));
    XlsxReader reader;
    if (!reader.read(file))
        return 0;
    UtcOffsetCache offsets;
    for (int index = 0; index < reader.sheets().size(); ++index) {
        // Held across the reading of it, as the import holds it.
        const XlsxReader::Sheet &sheet = reader.sheets().at(index);
        const bool read = reader.readSheet(index, 16, [&offsets](int, const QVariantList &cells) {
            for (const QVariant &cell : cells) {
                if (cell.userType() == QMetaType::QDateTime)
                    cell.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
                else
                    ReadingText::time(cell.toString(), &offsets);
            }
            return true;
        });
        // However the sheet ended, the sheets stay as open() found them.
        if (!read && sheet.name != reader.sheets().at(index).name)
            std::abort();
    }
    return 0;
}
