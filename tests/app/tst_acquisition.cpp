#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include <QLabel>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTreeView>
#include <QtTest>

#include "dmmchart.h"
#include "dmmdata.h"
#include "histogram.h"
#include "itemdata.h"
#include "tvitemmodel.h"
#include "widget.h"
#include "windowfixture.h"

using namespace WindowFixture;

namespace {
const QString Micrometre = QStringLiteral("\u03BCm");
}

class TestAcquisition : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void enabledStates_data();
    void enabledStates();
    void connectThatFailsToOpenSaysSo();
    void readingBeforeStartIsDropped();
    void liveReadingReachesEveryView();
    void tableFollowsTheLastRow();
    void unitSwitch_data();
    void unitSwitch();
    void statisticsLabels();
    void overRangeReadings_data();
    void overRangeReadings();
    void testFeedsTheHistogramOnly();

private:
    void apply(const QString &event);
    QTableView *tableView() const { return window->findChild<QTableView *>(QStringLiteral("tv")); }
    void openAndStart()
    {
        apply(QStringLiteral("opened"));
        apply(QStringLiteral("start"));
    }

    std::unique_ptr<Widget> window;
};

void TestAcquisition::init()
{
    resetGauge();
    freshWorkspace();
    window = std::make_unique<Widget>();
}

void TestAcquisition::cleanup()
{
    window.reset();
}

void TestAcquisition::apply(const QString &event)
{
    QAbstractItemModel *model = tree(*window)->model();
    if (event == QLatin1String("opened")) {
        QMetaObject::invokeMethod(gauge(), "emitOpened");
    } else if (event == QLatin1String("closed")) {
        QMetaObject::invokeMethod(gauge(), "emitClosed");
    } else if (event == QLatin1String("portAbsent") || event == QLatin1String("portPresent")) {
        gauge()->setProperty("portPresent", event == QLatin1String("portPresent"));
        QMetaObject::invokeMethod(gauge(), "emitUsbRefreshed");
    } else if (event == QLatin1String("start")) {
        // Through the slot, so that a disabled button does not hide what the rule does.
        QVERIFY(invoke(*window, "on_actionStart_triggered"));
    } else if (event == QLatin1String("stop")) {
        QVERIFY(invoke(*window, "on_actionStop_triggered"));
    } else if (event == QLatin1String("activateStore")) {
        QMetaObject::invokeMethod(window.get(), "itemSetToActive",
                                  Q_ARG(QModelIndex, model->index(0, 0)));
    } else if (event == QLatin1String("newItem")) {
        QMetaObject::invokeMethod(window.get(), "newItem", Q_ARG(QString, QStringLiteral("Other")),
                                  Q_ARG(ItemData::DataType, ItemData::MeasureData));
    } else if (event == QLatin1String("newImport")) {
        QMetaObject::invokeMethod(window.get(), "newItem",
                                  Q_ARG(QString, QStringLiteral("Import1")),
                                  Q_ARG(ItemData::DataType, ItemData::ImportData));
    } else if (event == QLatin1String("activateFirst")) {
        QMetaObject::invokeMethod(window.get(), "itemSetToActive",
                                  Q_ARG(QModelIndex, model->index(0, 0, model->index(1, 0))));
    } else {
        QFAIL(qPrintable(QStringLiteral("unknown event ") + event));
    }
}

void TestAcquisition::enabledStates_data()
{
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QString>("expected"); // Connect, Disconnect, Start, Stop: 1 on, 0 off

    QTest::newRow("start-up, port present") << QStringList() << "1000";
    QTest::newRow("port gone") << QStringList({"portAbsent"}) << "0000";
    QTest::newRow("opened") << QStringList({"opened"}) << "0110";
    QTest::newRow("port refreshed while open") << QStringList({"opened", "portPresent"}) << "1110";
    QTest::newRow("start") << QStringList({"opened", "start"}) << "0101";
    QTest::newRow("stop") << QStringList({"opened", "start", "stop"}) << "0110";
    QTest::newRow("closed") << QStringList({"opened", "start", "closed"}) << "1000";
    // The gauge closed because its port went: Connect waits for the port.
    QTest::newRow("closed without port")
        << QStringList({"opened", "portAbsent", "closed"}) << "0000";
    QTest::newRow("stop while closed") << QStringList({"stop"}) << "1000";
    QTest::newRow("activate another item")
        << QStringList({"opened", "newItem", "start", "activateFirst"}) << "0110";
    QTest::newRow("activate store data")
        << QStringList({"opened", "start", "activateStore"}) << "0100";
    QTest::newRow("start on store data does nothing")
        << QStringList({"opened", "activateStore", "start"}) << "0100";
    QTest::newRow("opened while store data active")
        << QStringList({"activateStore", "opened"}) << "0100";
    QTest::newRow("item creation") << QStringList({"opened", "start", "newItem"}) << "0110";
    QTest::newRow("item creation while closed") << QStringList({"newItem"}) << "1000";
    // Only a measurement item takes live readings: Start is offered for nothing else.
    QTest::newRow("imported item made active")
        << QStringList({"opened", "start", "newImport"}) << "0100";
    QTest::newRow("start on an imported item does nothing")
        << QStringList({"opened", "newImport", "start"}) << "0100";
    QTest::newRow("opened while an imported item is active")
        << QStringList({"newImport", "opened"}) << "0100";
    QTest::newRow("stop while an imported item is active")
        << QStringList({"opened", "newImport", "stop"}) << "0100";
    QTest::newRow("measurement item active again")
        << QStringList({"opened", "newImport", "activateFirst"}) << "0110";
    QTest::newRow("measurement item after store data")
        << QStringList({"opened", "activateStore", "activateFirst"}) << "0110";
}

void TestAcquisition::enabledStates()
{
    QFETCH(QStringList, events);
    QFETCH(QString, expected);
    for (const QString &event : events)
        apply(event);
    QString states;
    for (const char *name : {"actionConnect", "actionDisconnect", "actionStart", "actionStop"})
        states += action(*window, name)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    QCOMPARE(states, expected);
}

void TestAcquisition::connectThatFailsToOpenSaysSo()
{
    gauge()->setProperty("openResult", false);
    QString text;
    answerNextModal([&text](QWidget *box) {
        text = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))->text();
        QTest::keyClick(box, Qt::Key_Enter);
    });
    action(*window, "actionConnect")->trigger();
    QCOMPARE(text, QStringLiteral("Failed to open device."));
    QCOMPARE(gauge()->property("openCalls").toInt(), 1);
    QVERIFY(action(*window, "actionConnect")->isEnabled());

    gauge()->setProperty("openResult", true);
    action(*window, "actionConnect")->trigger();
    QCOMPARE(gauge()->property("openCalls").toInt(), 2);
    // Nothing changes until the gauge reports it is open.
    QVERIFY(action(*window, "actionConnect")->isEnabled());
}

void TestAcquisition::readingBeforeStartIsDropped()
{
    apply(QStringLiteral("opened"));
    emitReading(125, QStringLiteral("125"));
    QCOMPARE(label(*window, "lcdValue"), QString());
    QCOMPARE(label(*window, "lcdNum"), QStringLiteral("Num:0"));
    QCOMPARE(tableView()->model()->rowCount(), 0);
    QVERIFY(!chart(*window)->hasData());
}

void TestAcquisition::liveReadingReachesEveryView()
{
    openAndStart();
    emitReading(125, QStringLiteral("125"), Micrometre, QStringLiteral("NFe"));

    QCOMPARE(label(*window, "lcdValue"), QStringLiteral("125"));
    QCOMPARE(label(*window, "lcdUnit"), Micrometre);
    QCOMPARE(label(*window, "lcdBasis"), QStringLiteral("NFe"));
    QCOMPARE(label(*window, "lcdNum"), QStringLiteral("Num:1"));
    QCOMPARE(label(*window, "lcdAvg"), QStringLiteral("Avg:125.0"));

    QAbstractItemModel *rows = tableView()->model();
    QCOMPARE(rows->rowCount(), 1);
    QCOMPARE(rows->index(0, 0).data(), QVariant(1));
    QCOMPARE(rows->index(0, 2).data().toString(), QStringLiteral("125"));
    QCOMPARE(rows->index(0, 3).data().toString(), Micrometre);
    QCOMPARE(rows->index(0, 4).data().toString(), QStringLiteral("NFe"));

    QCOMPARE(histogram(*window)->count(1), 1);
    QCOMPARE(chart(*window)->pointCount(), 1);

    const QModelIndex first =
        tree(*window)->model()->index(0, 0, tree(*window)->model()->index(1, 0));
    ItemData *item = TvItemModel::itemAt(first);
    QCOMPARE(item->readings().size(), 1);
    QCOMPARE(item->readings().first()->umValue(), 125.0);
}

// The table stays on its last row while readings arrive, also after it was behind another tab.
void TestAcquisition::tableFollowsTheLastRow()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    auto *tabs = window->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    int tablePage = 0;
    while (!tabs->widget(tablePage)->isAncestorOf(tableView()))
        ++tablePage;
    QScrollBar *bar = tableView()->verticalScrollBar();
    const auto lastRowShown = [&] {
        const QModelIndex last =
            tableView()->model()->index(tableView()->model()->rowCount() - 1, 0);
        return tableView()->viewport()->rect().contains(tableView()->visualRect(last));
    };
    openAndStart();
    for (const int page : {tablePage, tablePage + 1, tablePage}) {
        tabs->setCurrentIndex(page);
        for (int i = 0; i < 60; ++i)
            emitReading(100 + i, QString::number(100 + i));
        tabs->setCurrentIndex(tablePage);
        QTRY_VERIFY(lastRowShown());
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
    }
}

void TestAcquisition::unitSwitch_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("shownText");

    QTest::newRow("mil") << "mil"
                         << "Thickness(mil)" << 2 << "4.92";
    QTest::newRow("capital M counts as micrometres for titles only")
        << QStringLiteral("\u03BCM") << QStringLiteral("Thickness(\u03BCm)") << 1 << "4.92";
}

void TestAcquisition::unitSwitch()
{
    QFETCH(QString, unit);
    QFETCH(QString, title);
    QFETCH(int, decimals);
    QFETCH(QString, shownText);

    openAndStart();
    emitReading(100, QStringLiteral("100"));
    emitMilReading(4.92, QStringLiteral("4.92"), unit);

    QCOMPARE(histogram(*window)->yTitle(), title);
    QCOMPARE(histogram(*window)->decimals(), decimals);
    QCOMPARE(chart(*window)->yTitle(), title);
    QCOMPARE(chart(*window)->decimals(), decimals);
    QCOMPARE(label(*window, "lcdUnit"), unit);
    // Value and text follow the exact unit: anything but "μm" shows the mil text.
    QCOMPARE(label(*window, "lcdValue"), shownText);
    QCOMPARE(tableView()->model()->index(1, 2).data().toString(), shownText);
    QCOMPARE(tableView()->model()->index(0, 3).data().toString(), unit);
}

void TestAcquisition::statisticsLabels()
{
    openAndStart();
    for (int value : {10, 20, 30})
        emitReading(value, QString::number(value));
    QCOMPARE(label(*window, "lcdNum"), QStringLiteral("Num:3"));
    QCOMPARE(label(*window, "lcdAvg"), QStringLiteral("Avg:20.0"));
    QCOMPARE(label(*window, "lcdMin"), QStringLiteral("Min:10.0"));
    QCOMPARE(label(*window, "lcdMax"), QStringLiteral("Max:30.0"));
}

void TestAcquisition::overRangeReadings_data()
{
    QTest::addColumn<QList<double>>("values"); // +-infinity: an "OL" or "-OL" reading
    QTest::addColumn<QStringList>("labels");   // Num, Avg, Min, Max, over-range count or ""
    QTest::addColumn<QList<int>>("bars");

    const double inf = std::numeric_limits<double>::infinity();
    using L = QList<double>;
    L elevenAndOne;
    for (int i = 0; i < 11; ++i)
        elevenAndOne << 120 + i % 5;
    elevenAndOne << -inf;
    QTest::newRow("eleven readings and one -OL")
        << elevenAndOne << QStringList{"Num:12", "Avg:121.8", "Min:120.0", "Max:124.0", "OL:1"}
        << QList<int>{1, 11, 0, 0, 0, 0, 0, 0};
    QTest::newRow("OL counts in the OL bar")
        << L{300, inf, 500} << QStringList{"Num:3", "Avg:400.0", "Min:300.0", "Max:500.0", "OL:1"}
        << QList<int>{0, 0, 1, 1, 0, 0, 0, 1};
    QTest::newRow("both signs") << L{inf, 50, -inf, inf}
                                << QStringList{"Num:4", "Avg:50.0", "Min:50.0", "Max:50.0", "OL:3"}
                                << QList<int>{1, 1, 0, 0, 0, 0, 0, 2};
    QTest::newRow("all over range")
        << L{inf, -inf} << QStringList{"Num:2", "Avg:0.0", "Min:0.0", "Max:0.0", "OL:2"}
        << QList<int>{1, 0, 0, 0, 0, 0, 0, 1};
    QTest::newRow("none over range")
        << L{10, 20} << QStringList{"Num:2", "Avg:15.0", "Min:10.0", "Max:20.0", ""}
        << QList<int>{0, 2, 0, 0, 0, 0, 0, 0};
}

// Live over-range readings are counted but are no thicknesses: the statistics, bars and chart
// range take only the in-range ones, and the count of the others shows beside the statistics.
void TestAcquisition::overRangeReadings()
{
    QFETCH(QList<double>, values);
    QFETCH(QStringList, labels);
    QFETCH(QList<int>, bars);

    openAndStart();
    QVERIFY(window->findChild<QLabel *>(QStringLiteral("lcdOverRange"))->isHidden());
    double largest = 1.0;
    for (double value : values) {
        if (std::isinf(value)) {
            emitOverRange(value > 0 ? 1 : -1);
        } else {
            emitReading(value, QString::number(value));
            largest = std::max(largest, value);
        }
    }
    const auto *overRange = window->findChild<QLabel *>(QStringLiteral("lcdOverRange"));
    const QStringList shown{label(*window, "lcdNum"), label(*window, "lcdAvg"),
                            label(*window, "lcdMin"), label(*window, "lcdMax"),
                            overRange->isHidden() ? QString() : overRange->text()};
    QCOMPARE(shown, labels);
    QList<int> counts;
    for (int bar = 0; bar < 8; ++bar)
        counts << histogram(*window)->count(bar);
    QCOMPARE(counts, bars);
    QCOMPARE(chart(*window)->pointCount(), values.size());
    chart(*window)->renderPixmap();
    QCOMPARE(chart(*window)->yMax(), largest * 1.1);
    QCOMPARE(chart(*window)->yMin(), -1.1);

    // Shown again from the item, the views and labels stay the same.
    addItem(*window, QStringLiteral("Other"));
    QVERIFY(overRange->isHidden());
    QMetaObject::invokeMethod(window.get(), "itemSetToActive",
                              Q_ARG(QModelIndex, tree(*window)->model()->index(
                                                     0, 0, tree(*window)->model()->index(1, 0))));
    const QStringList reshown{label(*window, "lcdNum"), label(*window, "lcdAvg"),
                              label(*window, "lcdMin"), label(*window, "lcdMax"),
                              overRange->isHidden() ? QString() : overRange->text()};
    QCOMPARE(reshown, labels);
    counts.clear();
    for (int bar = 0; bar < 8; ++bar)
        counts << histogram(*window)->count(bar);
    QCOMPARE(counts, bars);
}

void TestAcquisition::testFeedsTheHistogramOnly()
{
    // Each press starts a timer of 500 ms of its own: two presses, about four values in a second.
    // A timer of 500 ms started with them is held up alike on a loaded machine, so the values are
    // counted against its ticks rather than against the clock.
    QTimer reference;
    reference.setInterval(500);
    int ticks = 0;
    connect(&reference, &QTimer::timeout, &reference, [&ticks] { ++ticks; });
    action(*window, "actionTest")->trigger();
    action(*window, "actionTest")->trigger();
    reference.start();
    QTRY_VERIFY_WITH_TIMEOUT(ticks >= 4, 30000);
    int total = 0;
    for (int bin = 0; bin < 8; ++bin)
        total += histogram(*window)->count(bin);
    QVERIFY2(std::abs(total - 2 * ticks) <= 2,
             qPrintable(QStringLiteral("%1 values in %2 ticks").arg(total).arg(ticks)));
    QCOMPARE(label(*window, "lcdNum"), QStringLiteral("Num:0"));
    QCOMPARE(tableView()->model()->rowCount(), 0);
}

QTEST_MAIN(TestAcquisition)
#include "tst_acquisition.moc"
