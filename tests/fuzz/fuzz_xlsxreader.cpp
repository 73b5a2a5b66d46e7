// libFuzzer entry: one .xlsx file's content through the reader, every sheet streamed and every
// cell converted as the import converts it.

#include <cstddef>
#include <cstdint>

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
    for (int sheet = 0; sheet < reader.sheets().size(); ++sheet) {
        reader.readSheet(sheet, 16, [&offsets](int, const QVariantList &cells) {
            for (const QVariant &cell : cells) {
                if (cell.userType() == QMetaType::QDateTime)
                    cell.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
                else
                    ReadingText::time(cell.toString(), &offsets);
            }
            return true;
        });
    }
    return 0;
}
