#include <memory>

#include <QLocale>
#include <QProgressBar>
#include <QStatusBar>
#include <QTableView>
#include <QTreeView>
#include <QtTest>

#include "dlgdownload.h"
#include "dmmchart.h"
#include "histogram.h"
#include "itemdata.h"
#include "tvitemmodel.h"
#include "widget.h"
#include "windowfixture.h"

using namespace WindowFixture;

class TestDownload : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void doesNothingWhileClosed();
    void dialogLayout();
    void progress_data();
    void progress();
    void storedReadingsFillStoreData();
    void startsByEmptyingStoreData();
    void watchdogClosesAfterSilence();
    void storedReadingsForAnotherItemAreDiscarded();
    void countBesideTheBar_data();
    void countBesideTheBar();
    void endOfDownloadIsShown();

private:
    ItemData *storeItem() const { return TvItemModel::itemAt(tree(*window)->model()->index(0, 0)); }
    // Starts a download and runs `during` inside the dialog's modal loop.
    void download(std::function<void(DlgDownload *)> during);

    std::unique_ptr<Widget> window;
};

void TestDownload::init()
{
    resetGauge();
    freshWorkspace();
    window = std::make_unique<Widget>();
    QMetaObject::invokeMethod(gauge(), "emitOpened");
}

void TestDownload::cleanup()
{
    window.reset();
}

void TestDownload::download(std::function<void(DlgDownload *)> during)
{
    answerNextModal([during](QWidget *modal) {
        auto *dialog = qobject_cast<DlgDownload *>(modal);
        QVERIFY(dialog);
        during(dialog);
    });
    action(*window, "actionItemDownload")->trigger();
}

void TestDownload::doesNothingWhileClosed()
{
    QMetaObject::invokeMethod(gauge(), "emitClosed");
    action(*window, "actionItemDownload")->trigger();
    QCOMPARE(gauge()->property("requestCalls").toInt(), 0);
    QVERIFY(!storeItem()->statistics()->num);
}

void TestDownload::dialogLayout()
{
    QSize size;
    Qt::WindowFlags flags;
    QString text;
    bool textVisible = true;
    download([&](DlgDownload *dialog) {
        size = dialog->size();
        flags = dialog->windowFlags();
        text = dialog->findChild<QLabel *>(QStringLiteral("label"))->text();
        textVisible =
            dialog->findChild<QProgressBar *>(QStringLiteral("progressBar"))->isTextVisible();
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    // 498 x 57 as laid out; the layout may grow it to fit the label's minimum height.
    QCOMPARE(size.width(), 498);
    QVERIFY(size.height() >= 57);
    QVERIFY(flags & Qt::FramelessWindowHint);
    QCOMPARE(text, QStringLiteral(" Downloading data...   "));
    QVERIFY(!textVisible);
    QCOMPARE(gauge()->property("requestCalls").toInt(), 1);
    QVERIFY(window->findChildren<DlgDownload *>().isEmpty());
}

void TestDownload::progress_data()
{
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("num");
    QTest::addColumn<bool>("closes");

    QTest::newRow("30 percent stays open") << 10 << 3 << false;
    QTest::newRow("complete closes") << 10 << 10 << true;
    QTest::newRow("empty memory closes at once") << 0 << 0 << true;
}

void TestDownload::progress()
{
    QFETCH(int, total);
    QFETCH(int, num);
    QFETCH(bool, closes);

    int value = -1;
    int maximum = -1;
    bool stillOpen = false;
    download([&](DlgDownload *dialog) {
        QPointer<DlgDownload> guard(dialog);
        QMetaObject::invokeMethod(gauge(), "emitStoreNum", Q_ARG(int, total), Q_ARG(int, num));
        auto *bar = dialog->findChild<QProgressBar *>(QStringLiteral("progressBar"));
        value = bar->value();
        maximum = bar->maximum();
        QTest::qWait(50);
        stillOpen = guard && guard->isVisible();
        if (guard)
            guard->reject();
    });
    QCOMPARE(stillOpen, !closes);
    if (total > 0) {
        QCOMPARE(value, num);
        QCOMPARE(maximum, total);
    }
}

void TestDownload::storedReadingsFillStoreData()
{
    download([](DlgDownload *) {
        emitStoreReading(120, QStringLiteral("120"));
        QMetaObject::invokeMethod(gauge(), "emitStoreNum", Q_ARG(int, 2), Q_ARG(int, 1));
        emitStoreReading(250, QStringLiteral("250"));
        QMetaObject::invokeMethod(gauge(), "emitStoreNum", Q_ARG(int, 4), Q_ARG(int, 2));
        emitStoreOverRange(1);
        emitStoreOverRange(-1);
        QMetaObject::invokeMethod(gauge(), "emitStoreNum", Q_ARG(int, 4), Q_ARG(int, 4));
    });
    ItemData *store = storeItem();
    QCOMPARE(store->readings().size(), 4);
    QVERIFY(tree(*window)->model()->index(0, 0).data(TvItemModel::ActiveRole).toBool());
    QVERIFY(!action(*window, "actionStart")->isEnabled());
    // Stored mil readings are shown and counted in micrometres.
    QCOMPARE(table(*window)->rowCount(), 4);
    QCOMPARE(table(*window)->index(1, 2).data().toString(), QStringLiteral("250"));
    QCOMPARE(table(*window)->index(1, 3).data().toString(), QStringLiteral("\u03BCm"));
    QCOMPARE(table(*window)->index(2, 2).data().toString(), QStringLiteral("    OL"));
    // Over-range readings are counted, but no thickness.
    QCOMPARE(label(*window, "lcdNum"), QStringLiteral("Num:4"));
    QCOMPARE(label(*window, "lcdAvg"), QStringLiteral("Avg:185.0"));
    QCOMPARE(label(*window, "lcdMin"), QStringLiteral("Min:120.0"));
    QCOMPARE(label(*window, "lcdOverRange"), QStringLiteral("OL:2"));
    auto *histogram = window->findChild<Histogram *>(QStringLiteral("Histogram1"));
    QCOMPARE(histogram->count(0), 1);
    QCOMPARE(histogram->count(1), 1);
    QCOMPARE(histogram->count(2), 1);
    QCOMPARE(histogram->count(7), 1);
    QCOMPARE(histogram->yTitle(), QStringLiteral("Thickness(\u03BCm)"));
    auto *chart = window->findChild<DMMChart *>(QStringLiteral("chart"));
    QCOMPARE(chart->pointCount(), 4);
    QCOMPARE(chart->yTitle(), QStringLiteral("Thickness(\u03BCm)"));
}

void TestDownload::startsByEmptyingStoreData()
{
    download([](DlgDownload *) {
        emitStoreReading(120, QStringLiteral("120"));
        QMetaObject::invokeMethod(gauge(), "emitStoreNum", Q_ARG(int, 1), Q_ARG(int, 1));
    });
    QCOMPARE(storeItem()->readings().size(), 1);

    download([](DlgDownload *dialog) { dialog->reject(); });
    QCOMPARE(storeItem()->readings().size(), 0);
    QCOMPARE(table(*window)->rowCount(), 0);
}

void TestDownload::watchdogClosesAfterSilence()
{
    QElapsedTimer clock;
    download([&clock](DlgDownload *) {
        QMetaObject::invokeMethod(gauge(), "emitStoreNum", Q_ARG(int, 10), Q_ARG(int, 1));
        clock.start();
    });
    const qint64 waited = clock.elapsed();
    QVERIFY2(waited >= 4500 && waited < 8000, qPrintable(QString::number(waited)));
}

void TestDownload::storedReadingsForAnotherItemAreDiscarded()
{
    download([](DlgDownload *dialog) { dialog->reject(); });
    QMetaObject::invokeMethod(window.get(), "itemSetToActive",
                              Q_ARG(QModelIndex, tree(*window)->model()->index(
                                                     0, 0, tree(*window)->model()->index(1, 0))));
    emitStoreReading(120, QStringLiteral("120"));
    QCOMPARE(storeItem()->readings().size(), 0);
    QCOMPARE(table(*window)->rowCount(), 0);
}

void TestDownload::countBesideTheBar_data()
{
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("num");
    QTest::addColumn<QString>("text");
    QTest::newRow("grouped") << 100000 << 12345 << "12,345 of 100,000";
    QTest::newRow("small") << 10 << 3 << "3 of 10";
}

void TestDownload::countBesideTheBar()
{
    QFETCH(int, total);
    QFETCH(int, num);
    QFETCH(QString, text);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QString shown;
    download([&](DlgDownload *dialog) {
        QMetaObject::invokeMethod(gauge(), "emitStoreNum", Q_ARG(int, total), Q_ARG(int, num));
        shown = dialog->findChild<QLabel *>(QStringLiteral("lblCount"))->text();
        dialog->reject();
    });
    QLocale::setDefault(QLocale::system());
    QCOMPARE(shown, text);
}

void TestDownload::endOfDownloadIsShown()
{
    download([](DlgDownload *) {
        emitStoreReading(120, QStringLiteral("120"));
        emitStoreReading(250, QStringLiteral("250"));
        QMetaObject::invokeMethod(gauge(), "emitStoreNum", Q_ARG(int, 2), Q_ARG(int, 2));
    });
    QCOMPARE(window->statusBar()->findChild<QLabel *>(QStringLiteral("lblMessage"))->text(),
             QStringLiteral("Download finished: 2 readings in Store Data."));
    QCOMPARE(label(*window, "lcdItem"), QStringLiteral("Store Data"));
    QCOMPARE(label(*window, "lcdValue"), QStringLiteral("250"));
}

QTEST_MAIN(TestDownload)
#include "tst_download.moc"
