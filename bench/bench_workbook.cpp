// Export and import of a full item: 65,000 readings through the workbook export and back.

#include <cstdio>
#include <ctime>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include "data/datamodel.h"
#include "data/itemdata.h"
#include "dmmdata.h"
#include "export/workbookexporter.h"
#include "export/workbookimporter.h"

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    constexpr int readings = 65000;

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

    QTemporaryDir dir;
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
    std::printf("readings imported:   %d\n", static_cast<int>(imported.readings().size()));
    return imported.readings().size() == readings ? 0 : 1;
}
