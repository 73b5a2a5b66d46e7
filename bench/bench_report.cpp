// Times the PDF report of a large item: the picture page plus the table pages of 10,000 and
// 100,000 readings, once with screen-sized histogram and chart pictures and once without.

#include <cstdio>
#include <ctime>

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QStandardItemModel>
#include <QTemporaryDir>

#include "pdfreport.h"
#include "reportcolumn.h"

namespace {

void fillReadings(QStandardItemModel &model, int count)
{
    model.setRowCount(count);
    model.setColumnCount(5);
    const QDateTime start(QDate(2024, 3, 5), QTime(8, 0));
    const QString unit = QString::fromUtf8("μm");
    for (int r = 0; r < count; ++r) {
        model.setData(model.index(r, 0), r + 1);
        model.setData(model.index(r, 1), start.addSecs(r).toString("yyyy-MM-dd hh:mm:ss"));
        model.setData(model.index(r, 2), QString::number(100.0 + (r * 37) % 400 / 10.0, 'f', 1));
        model.setData(model.index(r, 3), unit);
        model.setData(model.index(r, 4), QStringLiteral("Fe"));
    }
}

// A picture about the size of the chart tab, with some lines so it does not compress to nothing.
QPixmap widgetPicture()
{
    QPixmap pixmap(800, 450);
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    painter.setPen(QColor(250, 150, 0));
    for (int x = 0; x < 800; x += 4)
        painter.drawLine(x, 225 + (x * 31) % 150 - 75, x + 4, 225 + ((x + 4) * 31) % 150 - 75);
    painter.setPen(Qt::black);
    painter.drawRect(60, 40, 720, 370);
    return pixmap;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    ReportColumn records[5] = {{QStringLiteral("No."), QRect(), 2},
                               {QStringLiteral("Time"), QRect(), 3},
                               {QStringLiteral("Value"), QRect(), 3},
                               {QStringLiteral("Unit"), QRect(), 2},
                               {QStringLiteral("Basis"), QRect(), 2}};
    const QList<ReportColumn *> columns{&records[0], &records[1], &records[2], &records[3],
                                        &records[4]};
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("report.pdf"));
    const QPixmap picture = widgetPicture();

    // CPU time beside wall time: on a busy machine the wall time says little about the report.
    std::printf("%-10s %-10s %10s %10s %10s\n", "readings", "pictures", "wall ms", "cpu ms", "MB");
    for (int count : {10000, 100000}) {
        QStandardItemModel model;
        fillReadings(model, count);
        for (bool withPictures : {true, false}) {
            QElapsedTimer timer;
            timer.start();
            const std::clock_t cpuStart = std::clock();
            const bool ok =
                PdfReport::write(file, QString(), model, withPictures ? picture : QPixmap(),
                                 withPictures ? picture : QPixmap(), columns);
            const qint64 ms = timer.elapsed();
            const double cpuMs = 1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
            std::printf("%-10d %-10s %10lld %10.0f %10.1f%s\n", count, withPictures ? "2" : "none",
                        ms, cpuMs, QFileInfo(file).size() / 1e6, ok ? "" : "  (failed)");
        }
    }
    return 0;
}
