// Times the inspection report of a job of 10 items of 100,000 readings each: every section but
// the readings table, then with only the readings out of limits, then with all readings of one
// item. Prints the wall and CPU time, the pages, the file size and the peak memory.

#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include "benchsupport.h"
#include "dmmdata.h"
#include "inspectionreport.h"
#include "itemdata.h"

namespace {

constexpr int Items = 10;
constexpr int Readings = 100000;

// Peak resident memory of the process so far, in MB.
double peakMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// Readings around 150 µm, one in 400 below the minimum of 100 and one in 1000 over range.
std::unique_ptr<ItemData> makeItem(int index)
{
    auto item =
        std::make_unique<ItemData>(QStringLiteral("Area %1").arg(index + 1), ItemData::MeasureData);
    const QString micrometre = QStringLiteral("\u03BCm");
    item->setUnit(micrometre);
    CoatingRequirement requirement(QStringLiteral("limits"), micrometre);
    requirement.setValue(QStringLiteral("minimum"), 100);
    requirement.setValue(QStringLiteral("maximum"), 250);
    item->setRequirement(requirement);
    const QDateTime start(QDate(2026, 12, 1), QTime(8, 0));
    for (int r = 0; r < Readings; ++r) {
        const double um = r % 400 == 7 ? 80.0 : 150.0 + (r * 37 + index) % 61 - 30;
        DmmData *reading = bench::makeReading(um, start.addSecs(r));
        if (r % 1000 == 999)
            reading->setOverload(1);
        item->appendReading(reading, false);
    }
    item->updateStatistics();
    return item;
}

void measure(const char *what, const JobDetails &job, const QList<const ItemData *> &items,
             InspectionReport::Options options, const QString &file)
{
    QElapsedTimer timer;
    timer.start();
    const std::clock_t cpuStart = std::clock();
    InspectionReport report(job, items, options);
    const QString error = report.save(file);
    const qint64 ms = timer.elapsed();
    const double cpuMs = 1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    std::printf("%-34s %9lld %9.0f %7d %8.1f %9.0f%s\n", what, ms, cpuMs,
                int(report.pages().size()), QFileInfo(file).size() / 1e6, peakMb(),
                error.isEmpty() ? "" : "  (failed)");
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    std::vector<std::unique_ptr<ItemData>> owned;
    QList<const ItemData *> items;
    for (int i = 0; i < Items; ++i) {
        owned.push_back(makeItem(i));
        items.append(owned.back().get());
    }
    JobDetails job;
    job.setValue(JobDetails::Company, QStringLiteral("Coating Inspection Ltd"));
    job.setValue(JobDetails::Project, QStringLiteral("J-2026-117"));
    job.setValue(JobDetails::Inspector, QStringLiteral("A. Inspector"));
    std::printf("%d items of %d readings; peak memory before the report: %.0f MB\n", Items,
                Readings, peakMb());

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("report.pdf"));
    // CPU time beside wall time: on a busy machine the wall time says little about the report.
    std::printf("%-34s %9s %9s %7s %8s %9s\n", "report", "wall ms", "cpu ms", "pages", "MB",
                "peak MB");
    InspectionReport::Options options;
    measure("no readings table", job, items, options, file);
    options.readings = InspectionReport::ReadingsOutOfLimits;
    measure("readings out of limits", job, items, options, file);
    options = InspectionReport::Options();
    options.cover = options.statistics = options.histogram = options.chart = false;
    options.readings = InspectionReport::AllReadings;
    measure("all readings of one item", job, {items.first()}, options, file);
    return 0;
}
