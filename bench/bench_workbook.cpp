// Export and import of a full item: 65,000 readings through the workbook export and back; and
// the peak memory of importing a sheet that declares 65,536 rows by 256 columns but holds 20
// readings.

#include <cstdio>
#include <ctime>

#include <sys/resource.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QtEndian>

#include "datamodel.h"
#include "dmmdata.h"
#include "itemdata.h"
#include "workbookexporter.h"
#include "workbookimporter.h"

namespace {

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// An export of 20 readings whose DIMENSIONS record is made to claim the whole sheet.
bool writeDeclaredSheet(const QString &fileName)
{
    QStandardItemModel model(20, 5);
    for (int r = 0; r < 20; ++r) {
        model.setData(model.index(r, 0), r + 1);
        model.setData(model.index(r, 1), QStringLiteral("2026-03-14 09:26:%1").arg(r + 10));
        model.setData(model.index(r, 2), QStringLiteral("12.5"));
        model.setData(model.index(r, 3), QStringLiteral("\u03BCm"));
        model.setData(model.index(r, 4), QStringLiteral("Fe"));
    }
    if (!WorkbookExporter::exportTable(model, fileName))
        return false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    QByteArray data = file.readAll();
    // Rows 0 to 65,536 and columns 0 to 256, the last ones exclusive.
    const int dimensions = data.indexOf(QByteArray::fromHex("00020e00"));
    if (dimensions < 0)
        return false;
    qToLittleEndian<quint32>(65536, data.data() + dimensions + 8);
    qToLittleEndian<quint16>(256, data.data() + dimensions + 14);
    return file.seek(0) && file.write(data) == data.size();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    constexpr int readings = 65000;

    QTemporaryDir dir;
    // First, while the process is small: the peak grows by what the import needs.
    const QString declaredName = dir.filePath(QStringLiteral("declared.xls"));
    if (!writeDeclaredSheet(declaredName)) {
        std::fprintf(stderr, "declared sheet not written\n");
        return 1;
    }
    const long peakBefore = peakRssKb();
    QList<QVariantList> declaredRows;
    if (!WorkbookImporter::readRows(declaredName, &declaredRows)) {
        std::fprintf(stderr, "declared sheet import failed\n");
        return 1;
    }
    const long declaredPeakGrowth = peakRssKb() - peakBefore;
    const long declaredPeak = peakRssKb();

    ItemData item(QStringLiteral("Measure1"), ItemData::MeasureData);
    item.setUnit(QStringLiteral("\u03BCm"));
    const QDateTime start = QDateTime::currentDateTime();
    for (int i = 0; i < readings; ++i) {
        auto *reading = new DmmData;
        const double um = 20.0 + (i * 7919 % 10000) / 10.0;
        reading->setTime(start.addSecs(i));
        reading->setUmValue(um);
        reading->setMilValue(um / 25.4);
        reading->setUmText(QString::number(um, 'f', 1));
        reading->setMilText(QString::number(um / 25.4, 'f', 2));
        reading->setUnit(QStringLiteral("\u03BCm"));
        reading->setBasis(i % 3 ? QStringLiteral("Fe") : QStringLiteral("NFe"));
        item.appendReading(reading, false);
    }
    DataModel model;
    model.setItem(&item);
    model.setReadings(item.readings());

    const QString fileName = dir.filePath(QStringLiteral("bench.xls"));
    // Wall-clock and process CPU time: on a busy machine the CPU time is the steadier figure.
    const auto cpuMs = [] {
        return static_cast<long long>(std::clock() * 1000.0 / CLOCKS_PER_SEC);
    };
    QElapsedTimer timer;
    long long cpu = cpuMs();
    timer.start();
    if (!WorkbookExporter::exportTable(model, fileName)) {
        std::fprintf(stderr, "export failed\n");
        return 1;
    }
    const qint64 exportMs = timer.elapsed();
    const long long exportCpu = cpuMs() - cpu;

    cpu = cpuMs();
    timer.restart();
    QList<QVariantList> rows;
    if (!WorkbookImporter::readRows(fileName, &rows)) {
        std::fprintf(stderr, "import failed\n");
        return 1;
    }
    const qint64 readMs = timer.elapsed();
    const long long readCpu = cpuMs() - cpu;
    ItemData imported(QStringLiteral("Import1"), ItemData::ImportData);
    for (int r = 1; r < rows.size(); ++r) {
        DmmData *reading = WorkbookImporter::readingFromRow(rows.at(r));
        if (reading)
            imported.appendReading(reading, false);
    }
    imported.setUnit(imported.readings().constLast()->unit());
    imported.updateStatistics();
    const qint64 importMs = timer.elapsed();
    const long long importCpu = cpuMs() - cpu;

    std::printf("readings:            %d\n", readings);
    std::printf("file size:           %lld bytes\n",
                static_cast<long long>(QFileInfo(fileName).size()));
    std::printf("export:              %lld ms, CPU %lld ms (target < 2000 ms)\n",
                static_cast<long long>(exportMs), exportCpu);
    std::printf("import, file read:   %lld ms, CPU %lld ms\n", static_cast<long long>(readMs),
                readCpu);
    std::printf("import, total:       %lld ms, CPU %lld ms (target < 5000 ms)\n",
                static_cast<long long>(importMs), importCpu);
    std::printf("import / export:     %.2f wall, %.2f CPU (target <= 1.5; import < 500 ms)\n",
                exportMs > 0 ? double(importMs) / exportMs : 0.0,
                exportCpu > 0 ? double(importCpu) / exportCpu : 0.0);
    std::printf("readings imported:   %d\n", static_cast<int>(imported.readings().size()));
    std::printf("65,536 x 256 declared sheet of 20 readings: %d rows read, peak memory %.1f MB "
                "(grew by %.1f MB; target < 100 MB)\n",
                static_cast<int>(declaredRows.size()), declaredPeak / 1024.0,
                declaredPeakGrowth / 1024.0);
    return imported.readings().size() == readings && declaredRows.size() == 21 ? 0 : 1;
}
