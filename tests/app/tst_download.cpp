#include <memory>

#include <QDialogButtonBox>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
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
    void stoppingShortKeepsOrRestores_data();
    void stoppingShortKeepsOrRestores();
    void watchdogStopsAfterSilence();
    void storedReadingsForAnotherItemAreDiscarded();
    void countBesideTheBar_data();
    void countBesideTheBar();
    void endOfDownloadIsShown();

private:
    ItemData *storeItem() const { return TvItemModel::itemAt(tree(*window)->model()->index(0, 0)); }
    // Starts a download and runs `during` inside the dialog's modal loop.
    void download(std::function<void(DlgDownload *)> during);
    // Cancels a transfer and closes the dialog, restoring whatever was there before.
    static void cancel(DlgDownload *dialog)
    {
        dialog->reject();
        dialog->reject();
    }
    QString messageShown() const
    {
        return window->statusBar()->findChild<QLabel *>(QStringLiteral("lblMessage"))->text();
    }

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
            cancel(guard);
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

void TestDownload::stoppingShortKeepsOrRestores_data()
{
    QTest::addColumn<QString>("stop");
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QString>("said");
    QTest::addColumn<QStringList>("kept");

    const QStringList earlier{"120", "250"};
    // A reading that came while the user was asked is kept with the others.
    const QStringList received{"300", "330"};
    QTest::newRow("complete replaces")
        << "complete"
        << ""
        << "Download finished: 3 readings in Store Data." << QStringList{"300", "310", "320"};
    QTest::newRow("cancelled, kept") << "cancel"
                                     << "keep"
                                     << "Download cancelled: 1 of 3 readings received." << received;
    QTest::newRow("cancelled, restored by Escape")
        << "cancel"
        << "escape"
        << "Store Data holds its 2 earlier readings again." << earlier;
    QTest::newRow("gauge lost, kept")
        << "close"
        << "keep"
        << "Download interrupted: 1 of 3 readings received." << received;
    QTest::newRow("gauge lost, restored")
        << "close"
        << "restore"
        << "Store Data holds its 2 earlier readings again." << earlier;
}

void TestDownload::stoppingShortKeepsOrRestores()
{
    QFETCH(QString, stop);
    QFETCH(QString, choice);
    QFETCH(QString, said);
    QFETCH(QStringList, kept);

    download([](DlgDownload *) {
        emitStoreReading(120, QStringLiteral("120"));
        emitStoreReading(250, QStringLiteral("250"));
        QMetaObject::invokeMethod(gauge(), "emitStoreNum", Q_ARG(int, 2), Q_ARG(int, 2));
    });
    QString offered;
    QStringList buttons;
    download([&](DlgDownload *dialog) {
        // The earlier readings stay out of sight while the new ones come.
        QCOMPARE(table(*window)->rowCount(), 0);
        emitStoreReading(300, QStringLiteral("300"));
        QMetaObject::invokeMethod(gauge(), "emitStoreNum", Q_ARG(int, 3), Q_ARG(int, 1));
        if (stop == "complete") {
            emitStoreReading(310, QStringLiteral("310"));
            emitStoreReading(320, QStringLiteral("320"));
            QMetaObject::invokeMethod(gauge(), "emitStoreNum", Q_ARG(int, 3), Q_ARG(int, 3));
            return;
        }
        if (stop == "cancel")
            QTest::keyClick(dialog, Qt::Key_Escape);
        else
            QMetaObject::invokeMethod(gauge(), "emitClosed");
        offered = dialog->findChild<QLabel *>(QStringLiteral("label"))->text();
        auto *box = dialog->findChild<QDialogButtonBox *>();
        for (QAbstractButton *button : box->buttons())
            buttons << button->text();
        emitStoreReading(330, QStringLiteral("330"));
        if (choice == "escape")
            QTest::keyClick(dialog, Qt::Key_Escape);
        else
            box->buttons().at(choice == "keep" ? 0 : 1)->click();
    });

    if (stop != "complete") {
        QCOMPARE(offered, stop == "cancel" ? "Download cancelled: 1 of 3 readings received."
                                           : "Download interrupted: 1 of 3 readings received.");
        QCOMPARE(buttons,
                 QStringList({"Keep the readings received", "Restore the earlier readings"}));
        auto *messages = window->findChild<QListWidget *>(QStringLiteral("listWidget"));
        QVERIFY(!messages->findItems(offered, Qt::MatchExactly).isEmpty());
    }
    QCOMPARE(messageShown(), said);
    QStringList values;
    for (int row = 0; row < table(*window)->rowCount(); ++row)
        values << table(*window)->index(row, 2).data().toString().trimmed();
    QCOMPARE(values, kept);
    QCOMPARE(label(*window, "lcdNum"), QStringLiteral("Num:%1").arg(kept.size()));

    // After going back, whatever the gauge still sends is not mixed in.
    emitStoreReading(400, QStringLiteral("400"));
    const bool wentBack = choice == "restore" || choice == "escape";
    QCOMPARE(storeItem()->readings().size(), kept.size() + (wentBack ? 0 : 1));
}

void TestDownload::watchdogStopsAfterSilence()
{
    QElapsedTimer clock;
    qint64 waited = -1;
    QString offered;
    download([&](DlgDownload *dialog) {
        connect(dialog, &DlgDownload::stopped, dialog, [&, dialog] {
            waited = clock.elapsed();
            QTimer::singleShot(0, dialog, [&, dialog] {
                offered = dialog->findChild<QLabel *>(QStringLiteral("label"))->text();
                QTest::keyClick(dialog, Qt::Key_Escape);
            });
        });
        QMetaObject::invokeMethod(gauge(), "emitStoreNum", Q_ARG(int, 10), Q_ARG(int, 1));
        clock.start();
    });
    QVERIFY2(waited >= 4500 && waited < 8000, qPrintable(QString::number(waited)));
    // Nothing was there before: there is nothing to go back to.
    QCOMPARE(offered, QStringLiteral("Download interrupted: 0 of 10 readings received."));
}

void TestDownload::storedReadingsForAnotherItemAreDiscarded()
{
    download([](DlgDownload *dialog) { cancel(dialog); });
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
        cancel(dialog);
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
