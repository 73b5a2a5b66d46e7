// libFuzzer entry: one CSV file's content split into records, every field read as a time, a
// number and an over-range mark, as the import reads them.

#include <cstddef>
#include <cstdint>

#include <QBuffer>
#include <QByteArray>

#include "csvreader.h"
#include "readingtext.h"
#include "utcoffsetcache.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray file =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<int>(size));
    QBuffer device(&file);
    device.open(QIODevice::ReadOnly);
    CsvReader csv(&device);
    UtcOffsetCache offsets;
    while (csv.readRecord()) {
        for (int i = 0; i < csv.fieldCount(); ++i) {
            const QByteArray field = csv.field(i);
            double value = 0.0;
            ReadingText::number(field.constData(), field.size(), &value);
            ReadingText::time(field.constData(), field.size(), &offsets);
            ReadingText::overRange(csv.text(i));
        }
    }
    return 0;
}
