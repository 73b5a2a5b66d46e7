// manualshots <output folder>
// Takes the manual's pictures from the program itself: the real main window with the simulated
// gauge (from Lib/ beside this tool), offscreen, after it has collected some readings. Writes
// live.png, histogram.png, chart.png and export.png. Runs at build time, without a display.

#include <cstdio>
#include <functional>

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>

#include "dlgexport.h"
#include "widget.h"

namespace {

constexpr int Readings = 60;
constexpr qint64 TimeoutMs = 30000;

// Runs the event loop until done() holds; false after the time-out.
bool waitFor(const std::function<bool()> &done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > TimeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

void settle()
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 100)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool save(QWidget *widget, const QDir &folder, const char *name)
{
    settle();
    if (widget->grab().save(folder.filePath(QLatin1String(name))))
        return true;
    std::fprintf(stderr, "manualshots: cannot write %s\n", name);
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: manualshots <output folder>\n");
        return 2;
    }
    QDir folder(args.at(1));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "manualshots: cannot create %s\n", qPrintable(args.at(1)));
        return 1;
    }

    // A workspace of its own that starts empty, so every run pictures the readings it collects
    // and none are left behind.
    QTemporaryDir workspace;
    if (!workspace.isValid()) {
        std::fprintf(stderr, "manualshots: no temporary folder for the workspace\n");
        return 1;
    }
    qputenv("RQ6814_WORKSPACE",
            workspace.filePath(QStringLiteral("workspace.sqlite")).toLocal8Bit());

    Widget window;
    window.show();
    auto *connect = window.findChild<QAction *>(QStringLiteral("actionConnect"));
    auto *start = window.findChild<QAction *>(QStringLiteral("actionStart"));
    auto *stop = window.findChild<QAction *>(QStringLiteral("actionStop"));
    const QAbstractItemModel *table = window.findChild<QTableView *>(QStringLiteral("tv"))->model();
    connect->trigger();
    if (!waitFor([start]() { return start->isEnabled(); })) {
        std::fprintf(stderr, "manualshots: the simulated gauge did not open\n");
        return 1;
    }
    start->trigger();
    if (!waitFor([table]() { return table->rowCount() >= Readings; })) {
        std::fprintf(stderr, "manualshots: too few readings arrived\n");
        return 1;
    }
    stop->trigger();

    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    bool ok = save(&window, folder, "live.png");
    tabs->setCurrentIndex(1);
    ok = save(tabs, folder, "histogram.png") && ok;
    tabs->setCurrentIndex(2);
    ok = save(tabs, folder, "chart.png") && ok;

    dlgExport dialog;
    dialog.findChild<QRadioButton *>(QStringLiteral("rbPdf"))->setChecked(true);
    dialog.show();
    ok = save(&dialog, folder, "export.png") && ok;
    return ok ? 0 : 1;
}
