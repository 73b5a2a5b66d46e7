#include <memory>

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QToolBar>
#include <QTreeView>
#include <QtTest>

#include "dmmdata.h"
#include "exportdatadialog.h"
#include "itemdata.h"
#include "itemstore.h"
#include "jobdetails.h"
#include "optionsfile.h"
#include "pgtestserver.h"
#include "teamlogger.h"
#include "teamserver.h"
#include "tvitemmodel.h"
#include "widget.h"
#include "windowfixture.h"

using namespace WindowFixture;

namespace {

QList<DmmData *> readings(int count)
{
    QList<DmmData *> list;
    for (int n = 0; n < count; ++n) {
        auto *reading = new DmmData;
        reading->setTime(QDateTime::currentDateTime());
        reading->setUmValue(100.0 + n);
        reading->setMilValue((100.0 + n) / 25.4);
        reading->setUmText(QString::number(100.0 + n, 'f', 1));
        reading->setMilText(QString::number((100.0 + n) / 25.4, 'f', 2));
        reading->setUnit(QStringLiteral("\u03BCm"));
        reading->setBasis(QStringLiteral("Fe"));
        list.append(reading);
    }
    return list;
}

// A colleague's logger, synced to the server.
using Colleague = TeamLogger;

} // namespace

// The "Team" branch of the window's item tree against a real team server.
class TestTeamTree : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void noTeamRowWithoutAServer();
    void colleaguesItemsAreShownNotChanged();
    void readerFailureIsShown();

private:
    QString optionsPath() const
    {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/options.xml");
    }
    QAbstractItemModel *rows() const { return tree(*window)->model(); }
    ItemStore *store() const { return window->findChild<ItemStore *>(); }
    QModelIndex child(const QModelIndex &parent, const QString &name) const
    {
        for (int row = 0; row < rows()->rowCount(parent); ++row)
            if (rows()->index(row, 0, parent).data().toString() == name)
                return rows()->index(row, 0, parent);
        return QModelIndex();
    }
    int serverReadings() const
    {
        return server.value(QStringLiteral("SELECT COUNT(*) FROM reading")).toInt();
    }

    PgTestServer server;
    QString skipped;
    QTemporaryDir dir;
    std::unique_ptr<Widget> window;
};

void TestTeamTree::initTestCase()
{
    skipped = server.start();
}

void TestTeamTree::cleanup()
{
    window.reset();
    QFile::remove(optionsPath());
}

void TestTeamTree::noTeamRowWithoutAServer()
{
    freshWorkspace();
    window = std::make_unique<Widget>();
    QCOMPARE(rows()->rowCount(), 2);
}

void TestTeamTree::colleaguesItemsAreShownNotChanged()
{
    if (!skipped.isEmpty())
        QSKIP(qPrintable(skipped));
    TeamServer admin(QStringLiteral("admin"));
    QString error;
    QCOMPARE(admin.open(server.keywords(QStringLiteral("rq_admin")), &error),
             TeamServer::Outcome::Ready);
    QVERIFY(server.exec({QStringLiteral("INSERT INTO team_member VALUES ('alice', 'north'),"
                                        " ('bob', 'north')")}));
    Colleague bob(dir.filePath(QStringLiteral("bob.sqlite")),
                  server.keywords(QStringLiteral("bob")));
    JobDetails job;
    job.setValue(JobDetails::Project, QStringLiteral("Bridge"));
    bob.items.setJobDetails(job);
    ItemData *deck = bob.items.add(QStringLiteral("Deck B"), ItemData::MeasureData);
    bob.items.append(deck, readings(50), QStringLiteral("\u03BCm"), 1250);
    bob.workspace.commit();
    QTRY_COMPARE_WITH_TIMEOUT(serverReadings(), 50, 30000);

    QVERIFY(OptionsFile::write(optionsPath(), {}, {}, QString(), QString(), {},
                               server.keywords(QStringLiteral("alice"))));
    freshWorkspace();
    window = std::make_unique<Widget>();
    const QModelIndex team = rows()->index(2, 0);
    QCOMPARE(team.data().toString(), QStringLiteral("Team"));
    QTRY_VERIFY_WITH_TIMEOUT(child(child(child(team, "bob"), "Bridge"), "Deck B").isValid(), 30000);
    // The window's own items, synced as alice's, are not among the team's.
    QCOMPARE(rows()->rowCount(team), 1);
    const QModelIndex row = child(child(child(team, "bob"), "Bridge"), "Deck B");

    // Exported before it was ever shown, it brings its readings from the server first.
    const QString csv = dir.filePath(QStringLiteral("deck.csv"));
    answerNext<ExportDataDialog>([&csv](ExportDataDialog *dialog) {
        auto *list = dialog->findChild<QListWidget *>(QStringLiteral("items"));
        for (int n = 0; n < list->count(); ++n)
            list->item(n)->setCheckState(
                list->item(n)->text() == "Deck B (bob, Bridge)" ? Qt::Checked : Qt::Unchecked);
        chooseFile(csv);
        answerNext<QMessageBox>([](QMessageBox *box) { box->accept(); });
        dialog->findChild<QPushButton *>(QStringLiteral("export"))->click();
    });
    action(*window, "actionExportData")->trigger();
    QFile exported(csv);
    QVERIFY(exported.open(QIODevice::ReadOnly));
    QCOMPARE(exported.readAll().count('\n'), 1 + 50);

    // Shown, and nothing else offered.
    tree(*window)->setCurrentIndex(row);
    QCOMPARE(window->findChild<QToolBar *>(QStringLiteral("itemToolBar"))->actions(),
             QList<QAction *>{action(*window, "actionItemSetToActive")});
    QMetaObject::invokeMethod(window.get(), "on_tvItems_activated", Q_ARG(QModelIndex, row));
    QCOMPARE(activeRow(*window), row);
    QTRY_COMPARE_WITH_TIMEOUT(table(*window)->rowCount(), 50, 30000);
    QCOMPARE(table(*window)->index(49, 2).data().toString(), QStringLiteral("149.0"));

    // No readings go into it, and neither the actions nor the store change it.
    startAcquiring(*window);
    QVERIFY(!action(*window, "actionStart")->isEnabled());
    emitReading(12.0, QStringLiteral("12.0"));
    QVERIFY(!action(*window, "actionExcludeReadings")->isEnabled());
    ItemData *shown = TvItemModel::itemAt(row);
    store()->rename(shown, QStringLiteral("Mine now"));
    store()->setExcluded(shown, {0}, QStringLiteral("bad"));
    store()->clear(shown);
    store()->append(shown, readings(1).first(), QStringLiteral("\u03BCm"), 1250);
    QCOMPARE(shown->name(), QStringLiteral("Deck B"));
    QCOMPARE(shown->readings().size(), 50);
    QCOMPARE(shown->excludedCount(), 0);

    // The colleague's new readings appear while it is shown, the rename too.
    bob.items.append(deck, readings(3), QStringLiteral("\u03BCm"), 1250);
    bob.items.rename(deck, QStringLiteral("Deck B north"));
    bob.workspace.commit();
    QTRY_COMPARE_WITH_TIMEOUT(table(*window)->rowCount(), 53, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(row.data().toString(), QStringLiteral("Deck B north"), 30000);

    // So do the readings the colleague excludes.
    bob.items.setExcluded(deck, {0, 52}, QStringLiteral("Wrong part"));
    bob.workspace.commit();
    QTRY_COMPARE_WITH_TIMEOUT(shown->excludedCount(), 2, 30000);
    QCOMPARE(shown->exclusionReason(52), QStringLiteral("Wrong part"));
    // With their trail, for the reports: who excluded which reading, when and why.
    QCOMPARE(shown->exclusionTrail().size(), 2);
    const ExclusionEvent event = shown->exclusionTrail().last();
    QCOMPARE(event.reading, 52);
    QCOMPARE(event.reason, QStringLiteral("Wrong part"));
    QCOMPARE(event.who, bob.items.who());
    QCOMPARE(event.when, deck->exclusionTrail().last().when);

    // A reading changed in place on the server, or only its reason, leaves the count as it was;
    // the server's counters of changes tell.
    const QString notify = QStringLiteral("NOTIFY rq_team_changed");
    QVERIFY(server.exec({QStringLiteral("UPDATE reading SET um_value = 999, um_text = '999.0'"
                                        " WHERE seq = 1"),
                         notify}));
    QTRY_COMPARE_WITH_TIMEOUT(table(*window)->index(1, 2).data().toString(),
                              QStringLiteral("999.0"), 30000);
    QCOMPARE(shown->exclusionReason(52), QStringLiteral("Wrong part"));
    QVERIFY(server.exec(
        {QStringLiteral("UPDATE reading SET exclusion = 'Edited' WHERE seq = 52"), notify}));
    QTRY_COMPARE_WITH_TIMEOUT(shown->exclusionReason(52), QStringLiteral("Edited"), 30000);
    QCOMPARE(shown->readings().size(), 53);

    // Removed by the colleague, it leaves the tree and nothing is active.
    bob.items.remove(deck);
    bob.workspace.commit();
    QTRY_COMPARE_WITH_TIMEOUT(rows()->rowCount(team), 0, 30000);
    QVERIFY(!store()->active());
    QCOMPARE(table(*window)->rowCount(), 0);
}

void TestTeamTree::readerFailureIsShown()
{
    if (!skipped.isEmpty())
        QSKIP(qPrintable(skipped));
    QVERIFY(OptionsFile::write(optionsPath(), {}, {}, QString(), QString(), {},
                               server.keywords(QStringLiteral("mallory"))));
    freshWorkspace();
    window = std::make_unique<Widget>();
    QTRY_VERIFY_WITH_TIMEOUT(!label(*window, "lblTeamBranch").isEmpty(), 30000);
    // The field shows the beginning of the text, and all of it in its tool tip.
    const auto *field = window->findChild<QLabel *>(QStringLiteral("lblTeamBranch"));
    QVERIFY(field->toolTip().startsWith(field->text().chopped(1)));
    const QString text = field->toolTip();
    QVERIFY2(text.startsWith(QStringLiteral("Team branch: refused: ")) &&
                 text.contains(QStringLiteral("role \"mallory\" does not exist")),
             qPrintable(text));
    QVERIFY(field->isVisibleTo(window.get()));
    // The sync's field is cut the same way, the server's words kept in its tool tip.
    QTRY_VERIFY_WITH_TIMEOUT(label(*window, "lblTeamServer").startsWith("Team server: refused"),
                             30000);
    const auto *sync = window->findChild<QLabel *>(QStringLiteral("lblTeamServer"));
    QVERIFY2(sync->text().size() < 70, qPrintable(sync->text()));
    QVERIFY2(sync->toolTip().contains(QStringLiteral("role \"mallory\" does not exist")),
             qPrintable(sync->toolTip()));
}

QTEST_MAIN(TestTeamTree)
#include "tst_teamtree.moc"
