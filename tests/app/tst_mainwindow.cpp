#include <memory>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QTreeView>
#include <QtTest>

#include "app/widget.h"
#include "data/itemdata.h"
#include "data/tvitemmodel.h"
#include "windowfixture.h"

using namespace WindowFixture;

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsWithTitleSizeAndTree();
    void livePanelShowsItsInitialTexts();
    void actions_data();
    void actions();
    void menusAndToolBar();
    void tabsAndTable();
    void connectFollowsPortPresence_data();
    void connectFollowsPortPresence();
    void contextMenus_data();
    void contextMenus();
    void tableHasNoContextMenu();
    void closingWritesOptionsAndNextStartRestoresGeometry();
    void closingClosesTheGauge();
    void optionsDialogChangesNothing_data();
    void optionsDialogChangesNothing();
    void messagesAreCollectedAndCleared();

private:
    QString optionsPath() const
    {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/options.xml");
    }

    std::unique_ptr<Widget> window;
};

void TestMainWindow::init()
{
    QFile::remove(optionsPath());
    resetGauge();
    freshWorkspace();
    window = std::make_unique<Widget>();
}

void TestMainWindow::cleanup()
{
    window.reset();
    QFile::remove(optionsPath());
}

void TestMainWindow::startsWithTitleSizeAndTree()
{
    QCOMPARE(window->windowTitle(), QStringLiteral("RQ-6814 Logger v1.02 "));
    QCOMPARE(window->size(), QSize(1000, 600));
    QVERIFY(!window->windowIcon().isNull());

    auto *tree = window->findChild<QTreeView *>(QStringLiteral("tvItems"));
    QAbstractItemModel *model = tree->model();
    QCOMPARE(model->rowCount(), 2);
    const QModelIndex store = model->index(0, 0);
    const QModelIndex live = model->index(1, 0);
    QCOMPARE(store.data().toString(), QStringLiteral("Store Data"));
    QCOMPARE(live.data().toString(), QStringLiteral("Live Data"));
    QCOMPARE(TvItemModel::itemAt(store)->dataType(), ItemData::StoreData);
    QCOMPARE(TvItemModel::itemAt(live)->dataType(), ItemData::LiveData);
    QCOMPARE(model->rowCount(live), 1);

    const QModelIndex measure = model->index(0, 0, live);
    QCOMPARE(measure.data().toString(), QStringLiteral("Measure1"));
    QCOMPARE(TvItemModel::itemAt(measure)->dataType(), ItemData::MeasureData);
    QVERIFY(measure.data(TvItemModel::ActiveRole).toBool());
    QVERIFY(measure.data(Qt::FontRole).value<QFont>().bold());
    QCOMPARE(measure.data(Qt::ForegroundRole).value<QColor>(), QColor(QStringLiteral("#d57d00")));
    QVERIFY(!store.data(TvItemModel::ActiveRole).toBool());
    QCOMPARE(tree->currentIndex(), measure);
    QVERIFY(tree->isHeaderHidden());
}

void TestMainWindow::livePanelShowsItsInitialTexts()
{
    QCOMPARE(label(*window, "lcdValue"), QStringLiteral("00000"));
    QCOMPARE(label(*window, "lcdUnit"), QStringLiteral("\u03BCm"));
    QCOMPARE(label(*window, "lcdBasis"), QStringLiteral("Fe"));
    // The first activation at start-up shows the empty item's statistics.
    QCOMPARE(label(*window, "lcdNum"), QStringLiteral("Num:0"));
    QCOMPARE(label(*window, "lcdAvg"), QStringLiteral("Avg:0"));
    QCOMPARE(label(*window, "lcdMin"), QStringLiteral("Min:0"));
    QCOMPARE(label(*window, "lcdMax"), QStringLiteral("Max:0"));
    QVERIFY(window->findChild<QLabel *>(QStringLiteral("lcdValue"))->font().bold());
}

void TestMainWindow::actions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("hasIcon");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("connect") << "actionConnect"
                             << "Connect" << true << true;
    QTest::newRow("disconnect") << "actionDisconnect"
                                << "&Disconnect" << true << false;
    QTest::newRow("options") << "actionOption"
                             << "&Options" << true << true;
    QTest::newRow("close") << "actionClose"
                           << "C&lose" << true << true;
    QTest::newRow("start") << "actionStart"
                           << "Start" << true << false;
    QTest::newRow("stop") << "actionStop"
                          << "Stop" << true << false;
    QTest::newRow("test") << "actionTest"
                          << "Test" << false << true;
    QTest::newRow("manual") << "actionManual"
                            << "&Manual" << true << true;
    QTest::newRow("clear") << "actionClearMsg"
                           << "Clear" << true << true;
    QTest::newRow("new") << "actionItemNew"
                         << "New" << true << true;
    QTest::newRow("delete") << "actionItemDelete"
                            << "Delete" << true << true;
    QTest::newRow("rename") << "actionItemRename"
                            << "Rename" << true << true;
    QTest::newRow("active") << "actionItemSetToActive"
                            << "Set to active" << true << true;
    QTest::newRow("download") << "actionItemDownload"
                              << "Download" << true << true;
    QTest::newRow("export") << "actionExport"
                            << "Export" << true << true;
    QTest::newRow("import") << "actionImport"
                            << "Import" << true << true;
}

void TestMainWindow::actions()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(bool, hasIcon);
    QFETCH(bool, enabled);
    QAction *a = window->findChild<QAction *>(name);
    QVERIFY(a);
    QCOMPARE(a->text(), text);
    QCOMPARE(!a->icon().isNull(), hasIcon);
    if (hasIcon)
        QVERIFY(!a->icon().pixmap(16, 16).isNull());
    QCOMPARE(a->isEnabled(), enabled);
}

void TestMainWindow::menusAndToolBar()
{
    const QList<QMenu *> menus = window->menuBar()->findChildren<QMenu *>();
    QCOMPARE(menus.size(), 2);
    QCOMPARE(menus.at(0)->title(), QStringLiteral("&File"));
    QCOMPARE(menus.at(1)->title(), QStringLiteral("&Help"));

    QStringList file;
    for (QAction *a : menus.at(0)->actions())
        file << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
    QCOMPARE(file, QStringList({"actionConnect", "actionDisconnect", "actionStart", "actionStop",
                                "-", "actionImport", "actionExport", "-", "actionOption", "-",
                                "actionClose"}));
    QCOMPARE(menus.at(1)->actions(), QList<QAction *>({action(*window, "actionManual")}));

    auto *toolBar = window->findChild<QToolBar *>(QStringLiteral("mainToolBar"));
    QStringList tools;
    for (QAction *a : toolBar->actions())
        tools << (a->isSeparator()            ? QStringLiteral("-")
                  : a->objectName().isEmpty() ? QStringLiteral("spacer")
                                              : a->objectName());
    QCOMPARE(tools,
             QStringList({"actionConnect", "actionDisconnect", "-", "actionStart", "actionStop",
                          "-", "actionImport", "actionExport", "-", "spacer", "actionClose"}));

    auto *itemBar = window->findChild<QToolBar *>(QStringLiteral("itemToolBar"));
    QCOMPARE(itemBar->actions(),
             QList<QAction *>(
                 {action(*window, "actionItemSetToActive"), action(*window, "actionItemRename"),
                  action(*window, "actionItemNew"), action(*window, "actionItemDelete")}));
    QVERIFY(
        !window->findChild<QListWidget *>(QStringLiteral("listWidget"))->isVisibleTo(window.get()));
}

void TestMainWindow::tabsAndTable()
{
    auto *tabs = window->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Table"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Histogram"));
    QCOMPARE(tabs->tabText(2), QStringLiteral("Chart"));
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(tabs->widget(2)->objectName(), QStringLiteral("chart"));
    QVERIFY(tabs->widget(1)->findChild<QWidget *>(QStringLiteral("Histogram1")));

    auto *table = window->findChild<QTableView *>(QStringLiteral("tv"));
    QCOMPARE(table->model()->columnCount(), 5);
    const int widths[] = {80, 150, 100, 80, 80};
    for (int column = 0; column < 5; ++column)
        QCOMPARE(table->columnWidth(column), widths[column]);
    QCOMPARE(table->selectionBehavior(), QAbstractItemView::SelectRows);
}

void TestMainWindow::connectFollowsPortPresence_data()
{
    QTest::addColumn<bool>("present");
    QTest::newRow("port present") << true;
    QTest::newRow("port absent") << false;
}

void TestMainWindow::connectFollowsPortPresence()
{
    QFETCH(bool, present);
    window.reset();
    gauge()->setProperty("portPresent", present);
    freshWorkspace();
    window = std::make_unique<Widget>();
    QCOMPARE(action(*window, "actionConnect")->isEnabled(), present);

    gauge()->setProperty("portPresent", !present);
    QMetaObject::invokeMethod(gauge(), "emitUsbRefreshed");
    QCOMPARE(action(*window, "actionConnect")->isEnabled(), !present);
}

void TestMainWindow::contextMenus_data()
{
    QTest::addColumn<QString>("view");
    QTest::addColumn<int>("topRow");
    QTest::addColumn<int>("childRow");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("item row") << "tvItems" << 1 << 0
                              << QStringList({"actionItemSetToActive", "actionItemRename",
                                              "actionItemNew", "actionItemDelete"});
    QTest::newRow("store data") << "tvItems" << 0 << -1
                                << QStringList({"actionItemSetToActive", "actionItemDownload"});
    QTest::newRow("live data") << "tvItems" << 1 << -1 << QStringList({"actionItemNew"});
    QTest::newRow("message list") << "listWidget" << -1 << -1 << QStringList({"actionClearMsg"});
}

void TestMainWindow::contextMenus()
{
    QFETCH(QString, view);
    QFETCH(int, topRow);
    QFETCH(int, childRow);
    QFETCH(QStringList, expected);

    auto *tree = window->findChild<QTreeView *>(QStringLiteral("tvItems"));
    if (topRow >= 0) {
        QModelIndex index = tree->model()->index(topRow, 0);
        if (childRow >= 0)
            index = tree->model()->index(childRow, 0, index);
        tree->setCurrentIndex(index);
    }

    QStringList shown;
    answerNextModal([&shown](QWidget *popup) {
        for (QAction *a : popup->actions())
            shown << a->objectName();
        popup->close();
    });
    auto *target = window->findChild<QWidget *>(view);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                            target->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(target, &event);
    QCOMPARE(shown, expected);
}

void TestMainWindow::tableHasNoContextMenu()
{
    bool menuShown = false;
    auto *table = window->findChild<QTableView *>(QStringLiteral("tv"));
    QTimer::singleShot(0, [&menuShown]() { menuShown = QApplication::activePopupWidget(); });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5));
    QApplication::sendEvent(table, &event);
    QTest::qWait(20);
    QVERIFY(!menuShown);
    QVERIFY(!QApplication::activePopupWidget());

    // Without a current row the tree offers nothing either.
    auto *tree = window->findChild<QTreeView *>(QStringLiteral("tvItems"));
    tree->setCurrentIndex(QModelIndex());
    QContextMenuEvent treeEvent(QContextMenuEvent::Mouse, QPoint(5, 5));
    QApplication::sendEvent(tree, &treeEvent);
    QTest::qWait(20);
    QVERIFY(!QApplication::activePopupWidget());
}

void TestMainWindow::closingWritesOptionsAndNextStartRestoresGeometry()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->setGeometry(40, 50, 700, 450);
    QTest::qWait(20);
    const QRect placed = window->geometry();
    window->close();

    QFile file(optionsPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray xml = file.readAll();
    QVERIFY(xml.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    QVERIFY(xml.contains("<options>"));
    QVERIFY(xml.contains("    <Geometry>"));
    QVERIFY(xml.contains("<State>"));
    QVERIFY(xml.contains("<SceneFileName"));
    file.close();

    freshWorkspace();
    window = std::make_unique<Widget>();
    QCOMPARE(window->size(), QSize(1000, 600));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(window->geometry().size(), placed.size());

    // Only the first show restores: moving the window and showing it again keeps it where it is.
    window->resize(800, 500);
    window->hide();
    window->show();
    QCOMPARE(window->size(), QSize(800, 500));
}

void TestMainWindow::closingClosesTheGauge()
{
    window->show();
    window->close();
    QCOMPARE(gauge()->property("closeCalls").toInt(), 1);
    window.reset();
    QCOMPARE(gauge()->property("closeCalls").toInt(), 2);
}

void TestMainWindow::optionsDialogChangesNothing_data()
{
    QTest::addColumn<QString>("answer");
    QTest::newRow("ok") << "Ok";
    QTest::newRow("cancel") << "Cancel";
    QTest::newRow("escape") << "Escape";
}

void TestMainWindow::optionsDialogChangesNothing()
{
    QFETCH(QString, answer);
    QString fieldText;
    QString title;
    int gauges = 0;
    int result = -1;
    answerNextModal([&](QWidget *dialog) {
        title = dialog->windowTitle();
        fieldText = dialog->findChild<QLineEdit *>()->text();
        gauges = dialog->findChild<QComboBox *>(QStringLiteral("cmbGauge"))->count();
        dialog->findChild<QLineEdit *>()->setText(QStringLiteral("typed"));
        connect(static_cast<QDialog *>(dialog), &QDialog::finished,
                [&result](int r) { result = r; });
        if (answer == QLatin1String("Escape")) {
            QTest::keyClick(dialog, Qt::Key_Escape);
            return;
        }
        for (QPushButton *button : dialog->findChildren<QPushButton *>())
            if (button->text() == answer)
                button->click();
    });
    action(*window, "actionOption")->trigger();
    QCOMPARE(title, QStringLiteral("Options"));
    QCOMPARE(fieldText, QStringLiteral("Defaule Name"));
    // The one gauge in Lib is offered, and choosing it again changes nothing.
    QCOMPARE(gauges, 1);
    QVERIFY(!QFile::exists(optionsPath()));
    QCOMPARE(result,
             answer == QLatin1String("Ok") ? int(QDialog::Accepted) : int(QDialog::Rejected));
    QVERIFY(window->findChildren<QDialog *>().isEmpty());
}

void TestMainWindow::messagesAreCollectedAndCleared()
{
    auto *list = window->findChild<QListWidget *>(QStringLiteral("listWidget"));
    QMetaObject::invokeMethod(gauge(), "emitMessage", Q_ARG(QString, QStringLiteral("first")));
    QMetaObject::invokeMethod(gauge(), "emitMessage", Q_ARG(QString, QStringLiteral("second")));
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(1)->text(), QStringLiteral("second"));
    action(*window, "actionClearMsg")->trigger();
    QCOMPARE(list->count(), 0);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
