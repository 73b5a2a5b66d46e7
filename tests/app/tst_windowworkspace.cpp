#include <memory>

#include <QAbstractButton>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QLockFile>
#include <QMessageBox>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTreeView>
#include <QUndoStack>
#include <QtTest>

#include "../store/otherconnection.h"
#include "dlgdownload.h"
#include "dmmchart.h"
#include "dmmdata.h"
#include "exportdatadialog.h"
#include "histogram.h"
#include "itemdata.h"
#include "readingexclusion.h"
#include "tvitemmodel.h"
#include "widget.h"
#include "windowfixture.h"
#include "workspace.h"
#include "workspacealert.h"
#include "workspaceschema.h"

using namespace WindowFixture;

namespace {

// What the user sees of the workspace: the tree with the active row marked, the table, the
// statistics, the histogram's counts, the chart's points, the verdict and the requirement's lines.
QStringList view(Widget &window)
{
    QStringList seen;
    const QAbstractItemModel *items = tree(window)->model();
    for (int top = 0; top < items->rowCount(); ++top) {
        const QModelIndex group = items->index(top, 0);
        seen << group.data().toString() + (group.data(TvItemModel::ActiveRole).toBool() ? "*" : "");
        for (int row = 0; row < items->rowCount(group); ++row) {
            const QModelIndex child = items->index(row, 0, group);
            seen << QStringLiteral("  ") + child.data().toString() +
                        (child.data(TvItemModel::ActiveRole).toBool() ? "*" : "");
        }
    }
    const QAbstractItemModel *rows = table(window);
    for (int row = 0; row < rows->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < rows->columnCount(); ++column)
            cells << rows->index(row, column).data().toString();
        // An excluded reading's reason.
        cells << rows->index(row, 0).data(Qt::ToolTipRole).toString();
        seen << cells.join(QLatin1Char('|'));
    }
    for (const char *name : {"lcdNum", "lcdAvg", "lcdMin", "lcdMax"})
        seen << label(window, name);
    QStringList bins;
    for (int bin = 0; bin < histogram(window)->barCount(); ++bin)
        bins << QString::number(histogram(window)->count(bin));
    seen << bins.join(QLatin1Char(' '));
    seen << QString::number(chart(window)->pointCount());
    // The line and the hollow circles of excluded readings as drawn.
    chart(window)->renderPixmap();
    const QImage drawn = chart(window)->pixmap().toImage();
    seen << QString::number(qHashBits(drawn.constBits(), size_t(drawn.sizeInBytes())));
    const auto *verdict = window.findChild<QLabel *>(QStringLiteral("lcdVerdict"));
    seen << (verdict->isVisibleTo(&window) ? verdict->text() : QString());
    QStringList lines;
    for (const auto &line : chart(window)->markLines() + histogram(window)->markLines())
        lines << QStringLiteral("%1 %2").arg(line.label).arg(line.value);
    seen << lines.join(QLatin1Char(','));
    return seen;
}

QStringList startupTree()
{
    return {QStringLiteral("Store Data"), QStringLiteral("Live Data"),
            QStringLiteral("  Measure1*")};
}

QStringList treeOf(Widget &window)
{
    QStringList seen = view(window);
    return seen.mid(0, seen.indexOf(QStringLiteral("  Measure1*")) + 1);
}

// Answers the next message box with OK and keeps its text.
void keepMessage(QString *text)
{
    answerNextModal([text](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        *text = box->text();
        box->accept();
    });
}

// Sets the requirement of the current item in its dialog: the rule's index and the fields to
// fill, such as {{"edtMinimum", "100"}}.
void setRequirement(Widget &window, int rule, const QList<QPair<const char *, QString>> &fields)
{
    answerNextModal([&](QWidget *dialog) {
        dialog->findChild<QComboBox *>(QStringLiteral("cbRule"))->setCurrentIndex(rule);
        for (const auto &field : fields)
            dialog->findChild<QLineEdit *>(QLatin1String(field.first))->setText(field.second);
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    action(window, "actionItemRequirement")->trigger();
}

// Exports the item at row of the export dialog's list as CSV and returns the lines written.
int exportedLines(Widget &window, int item)
{
    QTemporaryDir folder;
    const QString csv = folder.filePath(QStringLiteral("item.csv"));
    answerNext<ExportDataDialog>([&csv, item](ExportDataDialog *dialog) {
        auto *list = dialog->findChild<QListWidget *>(QStringLiteral("items"));
        for (int row = 0; row < list->count(); ++row)
            list->item(row)->setCheckState(row == item ? Qt::Checked : Qt::Unchecked);
        chooseFile(csv);
        answerNext<QMessageBox>([](QMessageBox *box) { box->accept(); });
        dialog->findChild<QPushButton *>(QStringLiteral("export"))->click();
    });
    action(window, "actionExportData")->trigger();
    QFile exported(csv);
    return exported.open(QIODevice::ReadOnly) ? exported.readAll().count('\n') : -1;
}

// Whether the active item's readings are still coming in from the workspace.
bool loading(Widget &window)
{
    return window.findChild<QWidget *>(QStringLiteral("loadProgress"))->isVisibleTo(&window);
}

// Writes the workspace at path with an item "Large" of count readings, active, and an empty item
// "Small" after it; or with the readings in Store Data, then active, and no Large. Of those, the
// readings 4090 to 4109, across the end of the first part read, and 7000 are excluded.
void writeLargeItem(const QString &path, int count, bool inStoreData = false)
{
    Workspace workspace;
    workspace.open(path);
    ItemData store(QStringLiteral("Store Data"), ItemData::StoreData);
    ItemData *active = nullptr;
    qDeleteAll(workspace.restore(&store, &active));
    ItemData measured(QStringLiteral("Large"), ItemData::MeasureData);
    ItemData &large = inStoreData ? store : measured;
    large.setUnit(QStringLiteral("\u03BCm"));
    if (!inStoreData)
        workspace.itemAdded(&large);
    const QDateTime start(QDate(2026, 3, 2), QTime(9, 0));
    for (int i = 0; i < count; ++i) {
        auto *reading = new DmmData;
        reading->setTime(start.addSecs(i));
        reading->setUmValue(100 + i % 100);
        reading->setMilValue((100 + i % 100) / 25.4);
        reading->setUmText(QString::number(100 + i % 100));
        reading->setUnit(QStringLiteral("\u03BCm"));
        reading->setBasis(QStringLiteral("Fe"));
        large.appendReading(reading, false);
    }
    QVector<int> excluded;
    for (int i = 4090; i < 4110; ++i)
        excluded << i;
    QVector<ExclusionEvent> trail;
    for (const auto &[indexes, reason] :
         {qMakePair(excluded, QStringLiteral("Probe lifted")),
          qMakePair(QVector<int>{7000}, QStringLiteral("Wrong part"))}) {
        for (int index : indexes)
            trail << ExclusionEvent{index, true, reason, QStringLiteral("A. Inspector"), start};
        large.setExcluded(indexes, reason);
    }
    large.appendToTrail(trail);
    workspace.itemChanged(&large);
    workspace.exclusionsChanged(&large);
    ItemData small(QStringLiteral("Small"), ItemData::MeasureData);
    workspace.itemAdded(&small);
    workspace.itemActivated(&large);
    workspace.commit();
}

// Enough readings to come in several parts.
constexpr int LargeCount = 10000;

} // namespace

class TestWindowWorkspace : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void restartRestoresTreeActiveItemAndViews();
    void restartRestoresStoreData();
    void restartRestoresRequirementAndVerdict();
    void emptiedWorkspaceStartsWithMeasure1();
    void notSavingIsToldAndShown_data();
    void notSavingIsToldAndShown();
    void failedCommitKeepsEveryReadingOnScreen();
    void largeActiveItemComesInAfterRestart();
    void changesWhileLoading_data();
    void changesWhileLoading();
    void downloadReplacesLargeStoreData_data();
    void downloadReplacesLargeStoreData();

private:
    void restart();
    // A window on a new workspace whose active item holds LargeCount readings.
    void startWithLargeItem();

    std::unique_ptr<Widget> window;
    QString path;
};

void TestWindowWorkspace::init()
{
    resetGauge();
    path = freshWorkspace();
    window = std::make_unique<Widget>();
}

void TestWindowWorkspace::cleanup()
{
    window.reset();
}

void TestWindowWorkspace::restart()
{
    window.reset();
    resetGauge();
    window = std::make_unique<Widget>();
}

void TestWindowWorkspace::startWithLargeItem()
{
    window.reset();
    path = freshWorkspace();
    writeLargeItem(path, LargeCount);
    window = std::make_unique<Widget>();
}

void TestWindowWorkspace::restartRestoresTreeActiveItemAndViews()
{
    startAcquiring(*window);
    emitReading(120, QStringLiteral("120"));
    emitReading(0, QStringLiteral("    OL"));
    emitReading(310, QStringLiteral("310"));
    addItem(*window, QStringLiteral("Żuraw 2"));
    action(*window, "actionStart")->trigger();
    emitMilReading(4.5, QStringLiteral("4.50"));
    emitMilReading(5.25, QStringLiteral("5.25"));
    addItem(*window, QStringLiteral("empty"));
    const QAbstractItemModel *items = tree(*window)->model();
    const auto itemRow = [&items](int row) { return items->index(row, 0, items->index(1, 0)); };
    QMetaObject::invokeMethod(window.get(), "itemSetToActive", Q_ARG(QModelIndex, itemRow(0)));
    const QStringList before = view(*window);
    QCOMPARE(before.mid(0, 5),
             QStringList({"Store Data", "Live Data", "  Measure1*", "  Żuraw 2", "  empty"}));
    QCOMPARE(before.at(8), QStringLiteral("Num:3"));

    restart();
    items = tree(*window)->model();
    QCOMPARE(view(*window), before);
    QCOMPARE(activeRow(*window), tree(*window)->currentIndex());
    QCOMPARE(window->windowTitle(), QStringLiteral("RQ-6814 Logger v1.02 "));

    // An item not yet activated is exported with the readings it keeps on disk.
    QCOMPARE(exportedLines(*window, 2), 3);

    // The other items come back when activated, shown in micrometres like any activated item.
    QMetaObject::invokeMethod(window.get(), "itemSetToActive", Q_ARG(QModelIndex, itemRow(1)));
    QCOMPARE(table(*window)->rowCount(), 2);
    QCOMPARE(table(*window)->index(1, 2).data().toString(), QStringLiteral("133"));
    QCOMPARE(label(*window, "lcdNum"), QStringLiteral("Num:2"));

    // Readings go on where they stopped.
    QMetaObject::invokeMethod(window.get(), "itemSetToActive", Q_ARG(QModelIndex, itemRow(0)));
    startAcquiring(*window);
    emitReading(125, QStringLiteral("125"));
    restart();
    QCOMPARE(table(*window)->rowCount(), 4);
    QCOMPARE(table(*window)->index(3, 2).data().toString(), QStringLiteral("125"));
}

void TestWindowWorkspace::restartRestoresRequirementAndVerdict()
{
    startAcquiring(*window);
    emitReading(150, QStringLiteral("150"));
    emitReading(90, QStringLiteral("90"));
    setRequirement(*window, 3,
                   {{"edtNominal", "150"},
                    {"edtMinimum", "100"},
                    {"edtMaximum", "200"},
                    {"edtReadingsPerSpot", "1"},
                    {"edtSpotsPerArea", "2"}});
    const QStringList before = view(*window);
    QVERIFY(!before.at(before.size() - 2).isEmpty());
    QVERIFY(!before.last().isEmpty());

    restart();
    QCOMPARE(view(*window), before);

    // Clearing it is kept as well.
    setRequirement(*window, 0, {});
    const QStringList cleared = view(*window);
    QVERIFY(cleared.last().isEmpty());
    restart();
    QCOMPARE(view(*window), cleared);
}

void TestWindowWorkspace::restartRestoresStoreData()
{
    QMetaObject::invokeMethod(gauge(), "emitOpened");
    answerNextModal([](QWidget *modal) {
        QVERIFY(qobject_cast<DlgDownload *>(modal));
        for (int i = 0; i < 3; ++i)
            emitStoreReading(100 + i, QString::number(100 + i));
        QMetaObject::invokeMethod(gauge(), "emitStoreNum", Q_ARG(int, 3), Q_ARG(int, 3));
    });
    action(*window, "actionItemDownload")->trigger();
    const QStringList before = view(*window);
    QCOMPARE(before.first(), QStringLiteral("Store Data*"));
    restart();
    QCOMPARE(view(*window), before);
}

void TestWindowWorkspace::emptiedWorkspaceStartsWithMeasure1()
{
    addItem(*window, QStringLiteral("second"));
    tree(*window)->setCurrentIndex(
        tree(*window)->model()->index(0, 0, tree(*window)->model()->index(1, 0)));
    for (int i = 0; i < 2; ++i) {
        answerNextModal([](QWidget *modal) {
            qobject_cast<QMessageBox *>(modal)->button(QMessageBox::Yes)->click();
        });
        action(*window, "actionItemDelete")->trigger();
    }
    QCOMPARE(tree(*window)->model()->rowCount(tree(*window)->model()->index(1, 0)), 0);
    restart();
    QCOMPARE(treeOf(*window), startupTree());
}

void TestWindowWorkspace::notSavingIsToldAndShown_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("told");
    QTest::addColumn<bool>("saving");
    QTest::newRow("in use") << "in use"
                            << "is in use by another logger" << false;
    QTest::newRow("newer") << "newer"
                           << "newer version" << false;
    QTest::newRow("folder cannot be made") << "folder"
                                           << "cannot be created" << false;
    QTest::newRow("damaged") << "damaged"
                             << "It has been kept as" << true;
}

void TestWindowWorkspace::notSavingIsToldAndShown()
{
    QFETCH(QString, fault);
    QFETCH(QString, told);
    QFETCH(bool, saving);

    window.reset();
    QTemporaryDir dir;
    QString at = dir.filePath(QStringLiteral("workspace.sqlite"));
    QLockFile otherLogger(at + QStringLiteral(".lock"));
    if (fault == QLatin1String("in use")) {
        QVERIFY(otherLogger.tryLock(0));
    } else if (fault == QLatin1String("newer")) {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "newer");
            db.setDatabaseName(at);
            QVERIFY(db.open());
            QSqlQuery(db).exec(
                QStringLiteral("PRAGMA user_version = %1").arg(WorkspaceSchema::Version + 1));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("newer"));
    } else if (fault == QLatin1String("folder")) {
        QFile blocker(dir.filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        at = dir.filePath(QStringLiteral("blocker/workspace.sqlite"));
    } else {
        QFile damaged(at);
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("no database at all");
    }
    qputenv("RQ6814_WORKSPACE", at.toLocal8Bit());

    QString message;
    keepMessage(&message);
    window = std::make_unique<Widget>();
    window->show();
    QTRY_VERIFY(!message.isEmpty());
    QVERIFY2(message.contains(told), qPrintable(message));
    QVERIFY2(message.contains(QDir::toNativeSeparators(at)), qPrintable(message));
    QCOMPARE(treeOf(*window), startupTree());
    QTRY_COMPARE(window->windowTitle().endsWith(WorkspaceAlert::notSavingMark()), !saving);

    // Readings are taken all the same.
    startAcquiring(*window);
    emitReading(120, QStringLiteral("120"));
    QCOMPARE(label(*window, "lcdNum"), QStringLiteral("Num:1"));
    window.reset();
}

void TestWindowWorkspace::failedCommitKeepsEveryReadingOnScreen()
{
    window->show();
    startAcquiring(*window);
    // Another program holds the file's write lock for longer than a write waits for it.
    const OtherConnection other(path);
    QVERIFY(other.holdWriteLock());
    QString message;
    keepMessage(&message);
    for (int i = 0; i < 1500; ++i)
        emitReading(100 + i % 200, QString::number(100 + i % 200));
    QTRY_VERIFY_WITH_TIMEOUT(!message.isEmpty(), 10000);
    QVERIFY2(message.contains(QStringLiteral("cannot be saved")), qPrintable(message));
    QTRY_VERIFY(window->windowTitle().endsWith(WorkspaceAlert::notSavingMark()));
    for (int i = 0; i < 500; ++i)
        emitReading(100, QStringLiteral("100"));
    QCOMPARE(table(*window)->rowCount(), 2000);
    QCOMPARE(label(*window, "lcdNum"), QStringLiteral("Num:2000"));
    QCOMPARE(chart(*window)->pointCount(), 2000);
    // Told once only.
    QTest::qWait(300);
    QVERIFY(!QApplication::activeModalWidget());
}

void TestWindowWorkspace::largeActiveItemComesInAfterRestart()
{
    startWithLargeItem();
    // The window is there before the readings.
    QVERIFY(loading(*window));
    QVERIFY(table(*window)->rowCount() < LargeCount);
    QTRY_VERIFY(!loading(*window));
    QCOMPARE(label(*window, "lcdNum"), QStringLiteral("Num:10000"));
    QCOMPARE(chart(*window)->pointCount(), LargeCount);
    const QString last = table(*window)->index(LargeCount - 1, 1).data().toString();
    QCOMPARE(last, QStringLiteral("2026-03-02 11:46:39"));
    QCOMPARE(table(*window)->index(4096, 0).data(Qt::ToolTipRole).toString(),
             QStringLiteral("Excluded: Probe lifted"));
    // The views made part by part are those made from the whole item at once.
    const QStringList streamed = view(*window);
    // Both ways, the excluded readings that came in parts are circled.
    QVERIFY(!chart(*window)->excludedPoints().isEmpty());
    const QAbstractItemModel *items = tree(*window)->model();
    for (int row : {1, 0})
        QMetaObject::invokeMethod(window.get(), "itemSetToActive",
                                  Q_ARG(QModelIndex, items->index(row, 0, items->index(1, 0))));
    QCOMPARE(view(*window), streamed);

    // Readings taken while the item comes in follow its stored ones, in order.
    restart();
    QVERIFY(loading(*window));
    startAcquiring(*window);
    for (int i = 1; i <= 3; ++i)
        emitReading(300 + i, QString::number(300 + i));
    QCOMPARE(label(*window, "lcdValue"), QStringLiteral("303"));
    QVERIFY(loading(*window));
    QTRY_VERIFY(!loading(*window));
    QCOMPARE(table(*window)->rowCount(), LargeCount + 3);
    QCOMPARE(table(*window)->index(LargeCount - 1, 1).data().toString(), last);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(table(*window)->index(LargeCount + i, 2).data().toString(),
                 QString::number(301 + i));
    }
    QCOMPARE(label(*window, "lcdNum"), QStringLiteral("Num:10003"));
    const QStringList before = view(*window);

    // Once in, the item shows as it did.
    restart();
    QTRY_VERIFY(!loading(*window));
    QCOMPARE(view(*window), before);
}

void TestWindowWorkspace::changesWhileLoading_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("treeAfterRestart");
    QTest::addColumn<QString>("countAfterRestart");
    QTest::newRow("another item activated, and back")
        << "activate" << QStringList{"Store Data", "Live Data", "  Large*", "  Small"}
        << "Num:10000";
    QTest::newRow("the item deleted")
        << "delete" << QStringList{"Store Data", "Live Data", "  Small*"} << "Num:0";
    QTest::newRow("a reading taken, then the item exported")
        << "export" << QStringList{"Store Data", "Live Data", "  Large*", "  Small"} << "Num:10001";
    QTest::newRow("readings excluded, the step undone and done again")
        << "exclude" << QStringList{"Store Data", "Live Data", "  Large*", "  Small"}
        << "Num:10000";
    QTest::newRow("the window closed")
        << "close" << QStringList{"Store Data", "Live Data", "  Large*", "  Small"} << "Num:10000";
}

void TestWindowWorkspace::changesWhileLoading()
{
    QFETCH(QString, change);
    QFETCH(QStringList, treeAfterRestart);
    QFETCH(QString, countAfterRestart);
    startWithLargeItem();
    QVERIFY(loading(*window));
    const QAbstractItemModel *items = tree(*window)->model();
    const QModelIndex large = items->index(0, 0, items->index(1, 0));
    const QModelIndex small = items->index(1, 0, items->index(1, 0));
    if (change == QLatin1String("activate")) {
        QMetaObject::invokeMethod(window.get(), "itemSetToActive", Q_ARG(QModelIndex, small));
        QCOMPARE(table(*window)->rowCount(), 0);
        QVERIFY(!loading(*window));
        QCOMPARE(label(*window, "lcdNum"), QStringLiteral("Num:0"));
        QMetaObject::invokeMethod(window.get(), "itemSetToActive", Q_ARG(QModelIndex, large));
        QTRY_COMPARE(table(*window)->rowCount(), LargeCount);
        QTRY_VERIFY(!loading(*window));
        QCOMPARE(label(*window, "lcdNum"), countAfterRestart);
    } else if (change == QLatin1String("delete")) {
        tree(*window)->setCurrentIndex(large);
        answerNextModal([](QWidget *modal) {
            qobject_cast<QMessageBox *>(modal)->button(QMessageBox::Yes)->click();
        });
        action(*window, "actionItemDelete")->trigger();
        QCOMPARE(view(*window).mid(0, 3), treeAfterRestart);
        QTest::qWait(200);
        QCOMPARE(table(*window)->rowCount(), 0);
    } else if (change == QLatin1String("export")) {
        startAcquiring(*window);
        emitReading(301, QStringLiteral("301"));
        // The export waits for the rest of the readings; the one taken meanwhile follows them.
        QCOMPARE(exportedLines(*window, 1), LargeCount + 2);
        QVERIFY(!loading(*window));
        QCOMPARE(table(*window)->rowCount(), LargeCount + 1);
        QCOMPARE(table(*window)->index(LargeCount, 2).data().toString(), QStringLiteral("301"));
    } else if (change == QLatin1String("exclude")) {
        // The first parts in, the last one not yet asked for.
        while (table(*window)->rowCount() == 0)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        auto *exclusion = window->findChild<ReadingExclusion *>();
        exclusion->setExcluded({0, 1}, QStringLiteral("Coating damaged"));
        exclusion->undoStack()->undo();
        exclusion->undoStack()->redo();
        QVERIFY(loading(*window));
        QTRY_VERIFY(!loading(*window));
        QCOMPARE(label(*window, "lcdNum"), countAfterRestart);
    } else {
        window->close();
    }
    restart();
    QTRY_VERIFY(!loading(*window));
    QStringList seen = view(*window);
    QCOMPARE(seen.mid(0, treeAfterRestart.size()), treeAfterRestart);
    QCOMPARE(label(*window, "lcdNum"), countAfterRestart);
    if (change != QLatin1String("exclude"))
        return;
    QCOMPARE(table(*window)->index(1, 0).data(Qt::ToolTipRole).toString(),
             QStringLiteral("Excluded: Coating damaged"));
    QCOMPARE(table(*window)->index(2, 0).data(Qt::ToolTipRole).toString(), QString());
    // The stored trail goes on from where it was: 21 events, then 2 of each step.
    const OtherConnection other(path);
    QCOMPARE(other.value(QStringLiteral("SELECT COUNT(*) FROM reading_exclusion")).toInt(), 27);
    QCOMPARE(other.value(QStringLiteral("SELECT MAX(event) FROM reading_exclusion")).toInt(), 26);
}

void TestWindowWorkspace::downloadReplacesLargeStoreData_data()
{
    QTest::addColumn<bool>("comingIn");
    QTest::addColumn<bool>("restore");
    QTest::newRow("not read yet, received kept") << false << false;
    QTest::newRow("not read yet, earlier restored") << false << true;
    QTest::newRow("coming in, received kept") << true << false;
    QTest::newRow("coming in, earlier restored") << true << true;
}

void TestWindowWorkspace::downloadReplacesLargeStoreData()
{
    QFETCH(bool, comingIn);
    QFETCH(bool, restore);
    window.reset();
    path = freshWorkspace();
    writeLargeItem(path, LargeCount, true);
    if (!comingIn)
        OtherConnection(path).value(QStringLiteral("UPDATE item SET active = (name = 'Small')"));
    window = std::make_unique<Widget>();
    QCOMPARE(loading(*window), comingIn);
    QMetaObject::invokeMethod(gauge(), "emitOpened");
    int choices = 0;
    answerNext<DlgDownload>([&](DlgDownload *dialog) {
        // The earlier readings were not read in to be set aside.
        QCOMPARE(table(*window)->rowCount(), 0);
        QVERIFY(!loading(*window));
        emitStoreReading(300, QStringLiteral("300"));
        QMetaObject::invokeMethod(gauge(), "emitStoreNum", Q_ARG(int, 3), Q_ARG(int, 1));
        QTest::keyClick(dialog, Qt::Key_Escape);
        const QList<QAbstractButton *> buttons = dialog->findChild<QDialogButtonBox *>()->buttons();
        choices = buttons.size();
        buttons.at(restore ? 1 : 0)->click();
    });
    action(*window, "actionItemDownload")->trigger();
    QCOMPARE(choices, 2);
    const auto *message = window->findChild<QLabel *>(QStringLiteral("lblMessage"));
    if (restore) {
        QCOMPARE(message->text(),
                 QStringLiteral("Store Data holds its 10000 earlier readings again."));
        QVERIFY(loading(*window));
        QTRY_VERIFY(!loading(*window));
        QCOMPARE(label(*window, "lcdNum"), QStringLiteral("Num:10000"));
        QCOMPARE(table(*window)->index(4096, 0).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("Excluded: Probe lifted"));
    } else {
        QCOMPARE(label(*window, "lcdNum"), QStringLiteral("Num:1"));
    }
    const QStringList before = view(*window);
    // No item keeps the earlier readings beside Store Data.
    QCOMPARE(before.mid(0, 4).filter(QStringLiteral("  ")), QStringList{"  Small"});
    restart();
    QTRY_VERIFY(!loading(*window));
    QCOMPARE(view(*window), before);
}

QTEST_MAIN(TestWindowWorkspace)
#include "tst_windowworkspace.moc"
