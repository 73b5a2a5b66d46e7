#include <memory>

#include <QAbstractButton>
#include <QBuffer>
#include <QDialogButtonBox>
#include <QImage>
#include <QInputDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolBar>
#include <QTreeView>
#include <QtTest>

#include "dmmchart.h"
#include "histogram.h"
#include "itemdata.h"
#include "itemnotesdialog.h"
#include "itemstore.h"
#include "tvitemmodel.h"
#include "widget.h"
#include "windowfixture.h"

using namespace WindowFixture;

namespace {
const QString Micrometre = QStringLiteral("\u03BCm");

// Types `text` into the input dialog and accepts it, or cancels when text is null.
void answerInput(const QString &text, QString *label = nullptr, QString *proposal = nullptr)
{
    answerNextModal([=](QWidget *modal) {
        auto *dialog = qobject_cast<QInputDialog *>(modal);
        QVERIFY(dialog);
        if (label)
            *label = dialog->labelText();
        if (proposal)
            *proposal = dialog->textValue();
        if (text.isNull()) {
            dialog->reject();
            return;
        }
        dialog->setTextValue(text);
        dialog->accept();
    });
}

void answerQuestion(QMessageBox::StandardButton button, QString *text = nullptr)
{
    answerNextModal([=](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        if (text)
            *text = box->text();
        box->button(button)->click();
    });
}

QByteArray jpegOf(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(90, 120, 150));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "jpeg");
    return bytes;
}
} // namespace

class TestItems : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void newProposesTheNextMeasureName();
    void newWithBlankOrCancelledNameDoesNothing_data();
    void newWithBlankOrCancelledNameDoesNothing();
    void newItemBecomesActiveAndCurrent();
    void renameChangesTheTreeText();
    void renameWithBlanksDoesNothing();
    void storeDataRowCannotBeDeletedOrRenamed();
    void deleteAsksFirst();
    void deletingTheActiveItemActivatesTheCurrentRow();
    void deletingAnotherItemKeepsTheActiveOne();
    void activation_data();
    void activation();
    void activatingAMilItemShowsMicrometres();
    void activatingTheActiveRowKeepsAcquiring();
    void toolBarFollowsTheCurrentRow_data();
    void toolBarFollowsTheCurrentRow();
    void notesDialog_data();
    void notesDialog();
    void photosAreLimitedAndRemoved();

private:
    QAbstractItemModel *items() const { return tree(*window)->model(); }
    QModelIndex liveRow() const { return items()->index(1, 0); }
    QModelIndex itemRow(int row) const { return items()->index(row, 0, liveRow()); }
    ItemStore *store() const { return window->findChild<ItemStore *>(); }

    std::unique_ptr<Widget> window;
};

void TestItems::init()
{
    resetGauge();
    freshWorkspace();
    window = std::make_unique<Widget>();
}

void TestItems::cleanup()
{
    window.reset();
}

void TestItems::newProposesTheNextMeasureName()
{
    QString label;
    QString proposal;
    answerInput(QStringLiteral("Measure2"), &label, &proposal);
    action(*window, "actionItemNew")->trigger();
    QCOMPARE(label, QStringLiteral("Name:"));
    QCOMPARE(proposal, QStringLiteral("Measure2"));

    answerInput(QStringLiteral("Panel A"), nullptr, &proposal);
    action(*window, "actionItemNew")->trigger();
    QCOMPARE(proposal, QStringLiteral("Measure3"));

    // Once Measure1 has another name, Measure2 is proposed again although it exists.
    TvItemModel::itemAt(itemRow(0))->setName(QStringLiteral("Door"));
    answerInput(QStringLiteral("Measure2"), nullptr, &proposal);
    action(*window, "actionItemNew")->trigger();
    QCOMPARE(proposal, QStringLiteral("Measure2"));
    QCOMPARE(items()->rowCount(liveRow()), 4);
    QCOMPARE(itemRow(3).data().toString(), QStringLiteral("Measure2"));
}

void TestItems::newWithBlankOrCancelledNameDoesNothing_data()
{
    QTest::addColumn<QString>("answer");
    QTest::newRow("blanks") << "   ";
    QTest::newRow("cancelled") << QString();
}

void TestItems::newWithBlankOrCancelledNameDoesNothing()
{
    QFETCH(QString, answer);
    startAcquiring(*window);
    answerInput(answer);
    action(*window, "actionItemNew")->trigger();
    QCOMPARE(items()->rowCount(liveRow()), 1);
    QVERIFY(action(*window, "actionStop")->isEnabled());
}

void TestItems::newItemBecomesActiveAndCurrent()
{
    startAcquiring(*window);
    emitReading(50, QStringLiteral("50"));
    answerInput(QStringLiteral("  Hull  "));
    action(*window, "actionItemNew")->trigger();

    QCOMPARE(itemRow(1).data().toString(), QStringLiteral("Hull"));
    QCOMPARE(activeRow(*window), itemRow(1));
    QCOMPARE(tree(*window)->currentIndex(), itemRow(1));
    QCOMPARE(TvItemModel::itemAt(itemRow(1))->dataType(), ItemData::MeasureData);
    QVERIFY(!action(*window, "actionStop")->isEnabled());
    QVERIFY(action(*window, "actionStart")->isEnabled());
    QCOMPARE(table(*window)->rowCount(), 0);
    QCOMPARE(label(*window, "lcdNum"), QStringLiteral("Num:0"));
    QVERIFY(!chart(*window)->hasData());
}

void TestItems::renameChangesTheTreeText()
{
    startAcquiring(*window);
    QString label;
    QString proposal;
    answerInput(QStringLiteral("Deck"), &label, &proposal);
    action(*window, "actionItemRename")->trigger();
    QCOMPARE(label, QStringLiteral("New name:"));
    QCOMPARE(proposal, QStringLiteral("Measure1"));
    QCOMPARE(itemRow(0).data().toString(), QStringLiteral("Deck"));
    QCOMPARE(TvItemModel::itemAt(itemRow(0))->name(), QStringLiteral("Deck"));
    // Renaming ends the acquisition like every other item change.
    QVERIFY(!action(*window, "actionStop")->isEnabled());
}

void TestItems::renameWithBlanksDoesNothing()
{
    answerInput(QStringLiteral(" \t "));
    action(*window, "actionItemRename")->trigger();
    QCOMPARE(itemRow(0).data().toString(), QStringLiteral("Measure1"));
}

void TestItems::storeDataRowCannotBeDeletedOrRenamed()
{
    tree(*window)->setCurrentIndex(items()->index(0, 0));
    QVERIFY(invoke(*window, "on_actionItemDelete_triggered"));
    QVERIFY(invoke(*window, "on_actionItemRename_triggered"));
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(items()->rowCount(), 2);
    QCOMPARE(items()->index(0, 0).data().toString(), QStringLiteral("Store Data"));

    // The group row holding the items cannot go either.
    tree(*window)->setCurrentIndex(liveRow());
    QVERIFY(invoke(*window, "on_actionItemDelete_triggered"));
    QCOMPARE(items()->rowCount(liveRow()), 1);
}

void TestItems::deleteAsksFirst()
{
    QString text;
    answerQuestion(QMessageBox::No, &text);
    action(*window, "actionItemDelete")->trigger();
    QCOMPARE(text, QStringLiteral("Are you sure delete this item?"));
    QCOMPARE(items()->rowCount(liveRow()), 1);
    QCOMPARE(activeRow(*window), itemRow(0));
}

void TestItems::deletingTheActiveItemActivatesTheCurrentRow()
{
    addItem(*window, QStringLiteral("A"));
    addItem(*window, QStringLiteral("B"));
    startAcquiring(*window);
    emitReading(120, QStringLiteral("120"));
    QCOMPARE(table(*window)->rowCount(), 1);

    answerQuestion(QMessageBox::Yes);
    action(*window, "actionItemDelete")->trigger(); // B, active and current
    QCOMPARE(items()->rowCount(liveRow()), 2);
    const QModelIndex current = tree(*window)->currentIndex();
    QVERIFY(current.isValid());
    QCOMPARE(activeRow(*window), current);
    QCOMPARE(table(*window)->rowCount(), 0);
    QVERIFY(!chart(*window)->hasData());
    QCOMPARE(histogram(*window)->count(1), 0);
}

void TestItems::deletingAnotherItemKeepsTheActiveOne()
{
    addItem(*window, QStringLiteral("A"));
    startAcquiring(*window);
    emitReading(120, QStringLiteral("120"));
    emitReading(140, QStringLiteral("140"));

    tree(*window)->setCurrentIndex(itemRow(0));
    answerQuestion(QMessageBox::Yes);
    action(*window, "actionItemDelete")->trigger(); // Measure1, not the active one
    QCOMPARE(items()->rowCount(liveRow()), 1);
    QCOMPARE(activeRow(*window), itemRow(0));
    QCOMPARE(itemRow(0).data().toString(), QStringLiteral("A"));
    QCOMPARE(table(*window)->rowCount(), 2);
    QCOMPARE(chart(*window)->pointCount(), 2);
    QCOMPARE(label(*window, "lcdNum"), QStringLiteral("Num:2"));
    // Readings keep arriving into the active item.
    emitReading(160, QStringLiteral("160"));
    QCOMPARE(table(*window)->rowCount(), 3);
}

void TestItems::activation_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("becomesActive");
    QTest::addColumn<bool>("startEnabled");

    QTest::newRow("another item") << "other" << true << true;
    QTest::newRow("live data row") << "live" << false << false;
    QTest::newRow("store data keeps start disabled") << "store" << true << false;
}

void TestItems::activation()
{
    QFETCH(QString, target);
    QFETCH(bool, becomesActive);
    QFETCH(bool, startEnabled);

    addItem(*window, QStringLiteral("Other"));
    QMetaObject::invokeMethod(window.get(), "itemSetToActive", Q_ARG(QModelIndex, itemRow(0)));
    startAcquiring(*window);

    const QModelIndex index = target == QLatin1String("other")  ? itemRow(1)
                              : target == QLatin1String("live") ? liveRow()
                                                                : items()->index(0, 0);
    tree(*window)->setCurrentIndex(index);
    action(*window, "actionItemSetToActive")->trigger();

    QCOMPARE(activeRow(*window) == index, becomesActive);
    if (!becomesActive) {
        QCOMPARE(activeRow(*window), itemRow(0));
        QVERIFY(action(*window, "actionStop")->isEnabled());
        return;
    }
    QVERIFY(!action(*window, "actionStop")->isEnabled());
    QCOMPARE(action(*window, "actionStart")->isEnabled(), startEnabled);
}

void TestItems::activatingAMilItemShowsMicrometres()
{
    startAcquiring(*window);
    emitMilReading(4.92, QStringLiteral("4.92"));
    emitMilReading(10.00, QStringLiteral("10.00"));
    QCOMPARE(table(*window)->index(0, 2).data().toString(), QStringLiteral("4.92"));
    QCOMPARE(histogram(*window)->decimals(), 2);
    QCOMPARE(histogram(*window)->yTitle(), QStringLiteral("Thickness(mil)"));
    QCOMPARE(label(*window, "lcdAvg"), QStringLiteral("Avg:7.46"));

    addItem(*window, QStringLiteral("Other"));
    tree(*window)->setCurrentIndex(itemRow(0));
    QTest::keyClick(tree(*window), Qt::Key_Return); // activation from the tree

    QCOMPARE(activeRow(*window), itemRow(0));
    QCOMPARE(TvItemModel::itemAt(itemRow(0))->unit(), Micrometre);
    QCOMPARE(table(*window)->rowCount(), 2);
    QCOMPARE(table(*window)->index(0, 2).data().toString(), QStringLiteral("125"));
    QCOMPARE(table(*window)->index(1, 3).data().toString(), Micrometre);
    QCOMPARE(histogram(*window)->decimals(), 1);
    QCOMPARE(chart(*window)->decimals(), 1);
    QCOMPARE(histogram(*window)->count(1), 1); // 125 um
    QCOMPARE(histogram(*window)->count(2), 1); // 254 um
    // Titles, the unit label and the statistics follow the micrometres shown.
    const QString title = QStringLiteral("Thickness(\u03BCm)");
    QCOMPARE(histogram(*window)->yTitle(), title);
    QCOMPARE(chart(*window)->yTitle(), title);
    QCOMPARE(label(*window, "lcdUnit"), Micrometre);
    QCOMPARE(label(*window, "lcdAvg"), QStringLiteral("Avg:189.5"));
    QCOMPARE(label(*window, "lcdMin"), QStringLiteral("Min:125.0"));
    QCOMPARE(label(*window, "lcdMax"), QStringLiteral("Max:254.0"));
}

void TestItems::activatingTheActiveRowKeepsAcquiring()
{
    startAcquiring(*window);
    emitReading(80, QStringLiteral("80"));
    QMetaObject::invokeMethod(window.get(), "itemSetToActive", Q_ARG(QModelIndex, itemRow(0)));
    QVERIFY(action(*window, "actionStop")->isEnabled());
    emitReading(90, QStringLiteral("90"));
    QCOMPARE(table(*window)->rowCount(), 2);
}

void TestItems::toolBarFollowsTheCurrentRow_data()
{
    QTest::addColumn<int>("topRow");
    QTest::addColumn<int>("childRow");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("item") << 1 << 0
                          << QStringList({"actionItemSetToActive", "actionItemRename",
                                          "actionItemNew", "actionItemDelete",
                                          "actionItemRequirement", "actionItemNotes"});
    QTest::newRow("store data") << 0 << -1
                                << QStringList({"actionItemSetToActive", "actionItemDownload",
                                                "actionItemRequirement", "actionItemNotes"});
    QTest::newRow("live data") << 1 << -1 << QStringList({"actionItemNew"});
}

void TestItems::toolBarFollowsTheCurrentRow()
{
    QFETCH(int, topRow);
    QFETCH(int, childRow);
    QFETCH(QStringList, expected);
    tree(*window)->setCurrentIndex(items()->index(0, 0));
    tree(*window)->setCurrentIndex(liveRow());
    QModelIndex index = items()->index(topRow, 0);
    if (childRow >= 0)
        index = items()->index(childRow, 0, index);
    tree(*window)->setCurrentIndex(index);
    QStringList shown;
    for (QAction *a : window->findChild<QToolBar *>(QStringLiteral("itemToolBar"))->actions())
        shown << a->objectName();
    QCOMPARE(shown, expected);
}

void TestItems::notesDialog_data()
{
    QTest::addColumn<bool>("storeData");
    QTest::addColumn<QString>("text");
    // A file offered as a photo, and what it holds; no file for none.
    QTest::addColumn<QString>("photo");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("accept");
    // What the message box says about a refused photo.
    QTest::addColumn<QString>("refusal");

    const QByteArray jpeg = jpegOf(2400, 1800);
    QTest::newRow("text and a photo") << false << "Weld seam\nrust at the edge"
                                      << "weld.jpg" << jpeg << true << "";
    QTest::newRow("store data") << true << "From the gauge's memory"
                                << "" << QByteArray() << true << "";
    QTest::newRow("refused photo") << false << ""
                                   << "fake.png" << QByteArray("not a picture at all") << true
                                   << "fake.png is not taken: it is not a picture in a format "
                                      "the logger reads (PNG, JPEG, BMP or GIF).";
    QTest::newRow("cancelled") << false << "Not kept"
                               << "weld.jpg" << jpeg << false << "";
}

void TestItems::notesDialog()
{
    QFETCH(bool, storeData);
    QFETCH(QString, text);
    QFETCH(QString, photo);
    QFETCH(QByteArray, content);
    QFETCH(bool, accept);
    QFETCH(QString, refusal);

    QTemporaryDir dir;
    const QString path = dir.filePath(photo);
    if (!photo.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    const QModelIndex row = storeData ? items()->index(0, 0) : itemRow(0);
    tree(*window)->setCurrentIndex(row);
    ItemData *item = TvItemModel::itemAt(row);
    QSignalSpy changed(store(), &ItemStore::notesChanged);

    QString title;
    QString message;
    int shown = -1;
    answerNext<ItemNotesDialog>([&](ItemNotesDialog *dialog) {
        title = dialog->windowTitle();
        auto *edit = dialog->findChild<QPlainTextEdit *>(QStringLiteral("notesText"));
        const QStringList lines = text.split(QLatin1Char('\n'));
        for (int n = 0; n < lines.size(); ++n) {
            if (n > 0)
                QTest::keyClick(edit, Qt::Key_Return);
            QTest::keyClicks(edit, lines.at(n));
        }
        if (!photo.isEmpty()) {
            chooseFile(path);
            if (!refusal.isEmpty()) {
                answerNext<QMessageBox>([&](QMessageBox *box) {
                    message = box->text();
                    box->button(QMessageBox::Ok)->click();
                });
            }
            dialog->findChild<QPushButton *>(QStringLiteral("addPhoto"))->click();
        }
        shown = dialog->findChild<QListWidget *>(QStringLiteral("photoList"))->count();
        dialog->findChild<QDialogButtonBox *>()
            ->button(accept ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)
            ->click();
    });
    action(*window, "actionItemNotes")->trigger();

    QCOMPARE(title, QStringLiteral("Notes on %1").arg(item->name()));
    QCOMPARE(message, refusal);
    const bool photoTaken = !photo.isEmpty() && refusal.isEmpty();
    QCOMPARE(shown, photoTaken ? 1 : 0);
    const bool stored = accept && (!text.isEmpty() || photoTaken);
    QCOMPARE(changed.count(), stored ? 1 : 0);
    if (!stored) {
        QVERIFY(item->notes().isEmpty());
        return;
    }
    QCOMPARE(item->notes().text, text);
    QCOMPARE(item->notes().photos.size(), photoTaken ? 1 : 0);
    if (photoTaken) {
        QCOMPARE(item->notes().photos.first().name, photo);
        // Brought to a page's size on the way in.
        QCOMPARE(QImage::fromData(item->notes().photos.first().bytes).size(), QSize(2000, 1500));
    }
}

void TestItems::photosAreLimitedAndRemoved()
{
    ItemData *item = TvItemModel::itemAt(itemRow(0));
    ItemNotes notes{QStringLiteral("Four photos"), {}};
    for (int n = 0; n < ItemNotes::MaxPhotos; ++n)
        notes.photos.append({QStringLiteral("%1.jpg").arg(n), jpegOf(40 + n, 30)});
    store()->setNotes(item, notes);
    tree(*window)->setCurrentIndex(itemRow(0));

    bool addWhenFull = true;
    bool addAfterRemove = false;
    answerNext<ItemNotesDialog>([&](ItemNotesDialog *dialog) {
        auto *add = dialog->findChild<QPushButton *>(QStringLiteral("addPhoto"));
        addWhenFull = add->isEnabled();
        dialog->findChild<QListWidget *>(QStringLiteral("photoList"))->setCurrentRow(1);
        dialog->findChild<QPushButton *>(QStringLiteral("removePhoto"))->click();
        addAfterRemove = add->isEnabled();
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    action(*window, "actionItemNotes")->trigger();

    QVERIFY(!addWhenFull);
    QVERIFY(addAfterRemove);
    notes.photos.removeAt(1);
    QVERIFY(item->notes() == notes);
}

QTEST_MAIN(TestItems)
#include "tst_items.moc"
