// Export of one item of 1,000,000 readings (or the count given) as CSV and as an .xlsx workbook,
// with the peak memory after each: the workbook is written row by row, so memory must not grow
// with the item beyond the readings already held. Then both files imported back, the readings
// made as the import makes them. The .xls export of 65,535 readings is beside them for scale.

#include <cstdio>

#include <sys/resource.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include "csvexporter.h"
#include "dataimporter.h"
#include "datamodel.h"
#include "dmmdata.h"
#include "itemdata.h"
#include "workbookexporter.h"
#include "xlsxexporter.h"

namespace {

// The processor time of the process so far, user and system: on a machine that others share, it
// tells the cost of a step where the time that passes does not.
qint64 cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000LL +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

double peakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

void fill(ItemData *item, int count)
{
    const QDateTime start = QDateTime::currentDateTime().addSecs(-count);
    for (int i = 0; i < count; ++i) {
        auto *r = new DmmData;
        r->setTime(start.addSecs(i));
        const double um = 80.0 + (i * 37 % 900) / 10.0;
        r->setUmValue(um);
        r->setMilValue(um / 25.4);
        r->setUmText(QString::number(um, 'f', 1));
        r->setMilText(QString::number(um / 25.4, 'f', 2));
        r->setOverload(i % 500 == 0 ? 1 : 0);
        r->setUnit(QStringLiteral("\u03BCm"));
        r->setBasis(QStringLiteral("Fe"));
        item->appendReading(r, false);
    }
    item->updateStatistics();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int readings = argc > 1 ? QByteArray(argv[1]).toInt() : 1000000;
    QTemporaryDir dir;
    ItemData item(QStringLiteral("Measure1"), ItemData::MeasureData);
    item.setUnit(QStringLiteral("\u03BCm"));
    fill(&item, readings);
    const double heldMb = peakRssMb();
    QString error;
    QStringList notes;

    QElapsedTimer timer;
    timer.start();
    const QString csv = dir.filePath(QStringLiteral("out.csv"));
    const bool csvDone = CsvExporter::writeFile(csv, {&item}, CsvExporter::Options(), {}, &error);
    const qint64 csvMs = timer.elapsed();
    const double csvMb = peakRssMb();

    timer.start();
    const QString xlsx = dir.filePath(QStringLiteral("out.xlsx"));
    const bool xlsxDone = XlsxExporter::writeFile(xlsx, {&item}, {}, &error, &notes);
    const qint64 xlsxMs = timer.elapsed();
    const double xlsxMb = peakRssMb();

    // Imported back, each into an importer of its own that is gone before the next.
    const auto import = [&error](const QString &fileName, qint64 *ms, qint64 *cpu) {
        QElapsedTimer clock;
        clock.start();
        *cpu = cpuMs();
        DataImporter importer;
        const bool read = importer.read(fileName) && importer.items().size() == 1;
        *ms = clock.elapsed();
        *cpu = cpuMs() - *cpu;
        error = read ? error : importer.errorString();
        return read;
    };
    qint64 csvInMs = 0;
    qint64 xlsxInMs = 0;
    qint64 csvInCpuMs = 0;
    qint64 xlsxInCpuMs = 0;
    const bool csvIn = csvDone && import(csv, &csvInMs, &csvInCpuMs);
    const bool xlsxIn = xlsxDone && import(xlsx, &xlsxInMs, &xlsxInCpuMs);

    ItemData small(QStringLiteral("Measure2"), ItemData::MeasureData);
    small.setUnit(QStringLiteral("\u03BCm"));
    fill(&small, WorkbookExporter::MaxDataRows);
    DataModel model;
    model.setItem(&small);
    model.setReadings(small.readings());
    timer.start();
    const bool xlsDone =
        WorkbookExporter::exportTable(model, dir.filePath(QStringLiteral("out.xls")));
    const qint64 xlsMs = timer.elapsed();

    std::printf("readings:                 %d (held: peak memory %.0f MB)\n", readings, heldMb);
    std::printf(
        "CSV export:               %lld ms, %.1f MB file, peak memory %.0f MB (target < 1000 ms)\n",
        static_cast<long long>(csvMs), QFileInfo(csv).size() / 1048576.0, csvMb);
    std::printf(
        ".xlsx export:             %lld ms, %.1f MB file, peak memory %.0f MB (target < 4000 ms)\n",
        static_cast<long long>(xlsxMs), QFileInfo(xlsx).size() / 1048576.0, xlsxMb);
    std::printf("CSV import:               %lld ms, processor %lld ms (target < 2000 ms)\n",
                static_cast<long long>(csvInMs), static_cast<long long>(csvInCpuMs));
    std::printf(".xlsx import:             %lld ms, processor %lld ms (target < 6000 ms)\n",
                static_cast<long long>(xlsxInMs), static_cast<long long>(xlsxInCpuMs));
    std::printf(".xls export of %d:     %lld ms\n", WorkbookExporter::MaxDataRows,
                static_cast<long long>(xlsMs));
    if (!error.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(error));
    return csvIn && xlsxIn && xlsDone ? 0 : 1;
}
