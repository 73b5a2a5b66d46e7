// libFuzzer entry: one workbook file's content through the reader and out as the rows the import
// reads, every cell converted to its value.

#include <cstddef>
#include <cstdint>

#include <QByteArray>
#include <QDateTime>
#include <QVariant>

#include "xlsreader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray file =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<int>(size));
    XlsReader reader;
    if (!reader.read(file))
        return 0;
    // Wide enough for the import's five columns and for most of what other programs write.
    for (const QVariantList &row : reader.rows(16)) {
        for (const QVariant &cell : row) {
            if (cell.userType() == QMetaType::QDateTime)
                cell.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
            else
                cell.toString();
        }
    }
    return 0;
}
