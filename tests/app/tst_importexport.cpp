#include <functional>
#include <limits>
#include <memory>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QImageReader>
#include <QInputDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include "chartpoint.h"
#include "dlgexport.h"
#include "dmmchart.h"
#include "dmmdata.h"
#include "exportdatadialog.h"
#include "histogram.h"
#include "inspectionreportdialog.h"
#include "itemdata.h"
#include "recentfolders.h"
#include "tvitemmodel.h"
#include "widget.h"
#include "windowfixture.h"
#include "workbookimporter.h"

using namespace WindowFixture;

namespace {

const QString Micrometre = QStringLiteral("\u03BCm");
const QString Exported = QStringLiteral("The datas is exported successfully.");
const QString ExportFailed = QStringLiteral("The datas is exported failed.");
const QString Imported = QStringLiteral("The datas is imported successfully.");
const QString ImportFailed = QStringLiteral("The datas is imported failed.");

// What a file dialog asked the user.
struct FileDialogSeen
{
    QString caption;
    QStringList filters;
    QString directory;
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
    bool waitCursor = false;
};

// Types path into a file dialog and accepts it; a null path cancels the dialog.
void answerFileDialog(QFileDialog *dialog, const QString &path, FileDialogSeen *seen = nullptr)
{
    if (seen) {
        seen->caption = dialog->windowTitle();
        seen->filters = dialog->nameFilters();
        seen->directory = dialog->directory().absolutePath();
        seen->mode = dialog->acceptMode();
        seen->waitCursor = QApplication::overrideCursor() &&
                           QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    }
    auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    if (path.isNull() || !edit) {
        dialog->reject();
        QVERIFY2(path.isNull(), "not the widget-based file dialog");
        return;
    }
    edit->setText(path);
    static_cast<QDialog *>(dialog)->accept(); // QFileDialog hides its accept() as protected
}

// Presses "..." in the export dialog and answers the file dialog it opens with path (null: cancel).
void chooseScene(dlgExport *dialog, const QString &path, FileDialogSeen *seen = nullptr)
{
    answerNextModal([=](QWidget *modal) {
        auto *chooser = qobject_cast<QFileDialog *>(modal);
        if (!chooser) {
            modal->close();
            QFAIL("no file dialog for the scene picture");
        }
        answerFileDialog(chooser, path, seen);
    });
    dialog->findChild<QAbstractButton *>(QStringLiteral("btnScenePic"))->click();
}

// Answers the next modal dialog of that class, also one opened from within another answer:
// each answer polls on a timer of its own, and a timer does not fire again inside its own slot.
template<class Dialog>
void answerNextOf(std::function<void(Dialog *)> answer)
{
    auto *timer = new QTimer();
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, [timer, answer]() {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        answer(dialog);
    });
    timer->start();
}

// Answers the modal dialogs the window opens, in the order the test expects them. A dialog of
// another kind than the next answer expects, one the script has no answer for, or one an answer
// left open is noted and rejected, so that a fault fails the test instead of blocking it in exec().
class ModalScript
{
public:
    ModalScript()
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this]() { poll(); });
    }

    // Triggers the action and answers the dialogs it opens until it returns.
    void run(QAction *action)
    {
        m_timer.start();
        action->trigger();
        m_timer.stop();
    }

    template<class Dialog>
    void then(std::function<void(Dialog *)> answer)
    {
        m_steps.append({&Dialog::staticMetaObject,
                        [answer](QWidget *modal) { answer(static_cast<Dialog *>(modal)); }});
    }

    void file(const QString &path, FileDialogSeen *seen = nullptr)
    {
        then<QFileDialog>([=](QFileDialog *dialog) { answerFileDialog(dialog, path, seen); });
    }

    void message(QString *text)
    {
        then<QMessageBox>([=](QMessageBox *box) {
            *text = box->text();
            box->button(QMessageBox::Ok)->click();
        });
    }

    // Picks an export in the export dialog, lets `more` act on the dialog, then presses OK.
    void exportAs(const QString &radio, std::function<void(dlgExport *)> more = {})
    {
        then<dlgExport>([=](dlgExport *dialog) {
            auto *button = dialog->findChild<QRadioButton *>(radio);
            QVERIFY(button);
            button->click();
            if (more)
                more(dialog);
            dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"))
                ->button(QDialogButtonBox::Ok)
                ->click();
        });
    }

    bool finished() const { return m_steps.isEmpty() && m_problems.isEmpty(); }
    QString problems() const
    {
        return m_problems.join(QLatin1String("; ")) +
               (m_steps.isEmpty() ? QString()
                                  : QStringLiteral(" (%1 answers unused)").arg(m_steps.size()));
    }

private:
    struct Step
    {
        const QMetaObject *type;
        std::function<void(QWidget *)> answer;
    };

    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        if (modal == m_answered) {
            m_problems << QStringLiteral("left open: ") + describe(modal);
            dismiss(modal);
        } else if (m_steps.isEmpty()) {
            m_problems << QStringLiteral("unexpected: ") + describe(modal);
            dismiss(modal);
        } else if (!modal->inherits(m_steps.first().type->className())) {
            m_problems << QStringLiteral("expected %1, got %2")
                              .arg(QLatin1String(m_steps.first().type->className()),
                                   describe(modal));
            dismiss(modal);
        } else {
            m_answered = modal;
            m_steps.takeFirst().answer(modal);
        }
    }

    static QString describe(QWidget *modal)
    {
        const auto *box = qobject_cast<QMessageBox *>(modal);
        return QLatin1String(modal->metaObject()->className()) +
               (box ? QStringLiteral(" \"%1\"").arg(box->text()) : QString());
    }

    static void dismiss(QWidget *modal)
    {
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
    }

    QList<Step> m_steps;
    QPointer<QWidget> m_answered;
    QStringList m_problems;
    QTimer m_timer;
};

QJsonArray header()
{
    return {"No.", "Time", "Value", "Unit", "Basis"};
}

// A date-time cell with the time format, as the export writes it.
QJsonObject timeCell(const QString &text)
{
    return {{"time", text}};
}

// A text cell holding no text: it belongs to the used range but shows nothing.
QJsonObject emptyText()
{
    return {{"text", ""}};
}

// Writes rows of cells (numbers, texts, timeCell, emptyText or null for no cell) to the first
// sheet of a new workbook, with xlwt rather than the logger's own writer.
bool makeWorkbook(const QString &fileName, const QJsonArray &rows)
{
    static const char script[] = R"(
import datetime, json, sys, xlwt
book = xlwt.Workbook(encoding="utf-8")
sheet = book.add_sheet("Readings")
timed = xlwt.easyxf(num_format_str="yyyy-mm-dd hh:mm:ss")
for r, row in enumerate(json.loads(sys.argv[2])):
    for c, cell in enumerate(row):
        if cell is None:
            continue
        if isinstance(cell, dict) and "text" in cell:
            sheet.row(r).set_cell_text(c, cell["text"])
        elif isinstance(cell, dict):
            sheet.write(r, c, datetime.datetime.strptime(cell["time"], "%Y-%m-%d %H:%M:%S"), timed)
        else:
            sheet.write(r, c, cell)
book.save(sys.argv[1])
)";
    QProcess process;
    process.start(QStringLiteral(RQ_SYSTEM_PYTHON),
                  {QStringLiteral("-c"), QString::fromLatin1(script), fileName,
                   QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Compact))});
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        qWarning().noquote() << process.readAllStandardError();
        return false;
    }
    return true;
}

QString runTool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

int pdfPages(const QString &pdf)
{
    static const QRegularExpression pages(QStringLiteral("Pages:\\s+(\\d+)"));
    const QRegularExpressionMatch match = pages.match(runTool(QStringLiteral("pdfinfo"), {pdf}));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QString pdfPageText(const QString &pdf, int page)
{
    return runTool(QStringLiteral("pdftotext"),
                   {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                    QString::number(page), pdf, QStringLiteral("-")});
}

QByteArray contents(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestImportExport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void importNaming_data();
    void importNaming();
    void importCountsItemsByTheirCurrentNames();
    void importedItemBecomesActive();
    void importOfSomethingElseFails_data();
    void importOfSomethingElseFails();
    void importStopsAtABadRow_data();
    void importStopsAtABadRow();
    void importIgnoresBlankRowsAtTheEnd();
    void importTakesTheUnitOfTheLastReading();
    void importCancelled();

    void exportedTableImportsAsTheSameItem_data();
    void exportedTableImportsAsTheSameItem();
    void exportToAFolderThatIsNotThere_data();
    void exportToAFolderThatIsNotThere();

    void exportDialogStartsWithTheTable();
    void exportKeepsTheCurrentPage_data();
    void exportKeepsTheCurrentPage();
    void pdfRemembersAnExistingScenePicture();
    void pdfKeepsTheSceneNameOtherwise_data();
    void pdfKeepsTheSceneNameOtherwise();
    void pdfPaintsEveryPageFirst_data();
    void pdfPaintsEveryPageFirst();

    void pictureExport_data();
    void pictureExport();
    void pictureSavedTwiceIsTheSame();
    void pictureShowsTheActiveItem_data();
    void pictureShowsTheActiveItem();

    void savedNameGetsTheSuffix_data();
    void savedNameGetsTheSuffix();
    void dialogsStartWhereTheirKindWasLastUsed();

    void exportsOfAJudgedItemCarryItsSummary();
    void exportDataWritesFiles_data();
    void exportDataWritesFiles();
    void importDataAddsItems_data();
    void importDataAddsItems();
    void inspectionReportOfTheChosenItems();

private:
    QAbstractItemModel *items() const { return tree(*window)->model(); }
    QModelIndex liveRow() const { return items()->index(1, 0); }
    QModelIndex itemRow(int row) const { return items()->index(row, 0, liveRow()); }
    QModelIndex lastItemRow() const { return itemRow(items()->rowCount(liveRow()) - 1); }
    QStringList tableRows() const;
    QTabWidget *tabs() const
    {
        return window->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    }
    void showWindow()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    QString path(const QString &name) const { return dir->filePath(name); }
    QString scenePicture(const QString &name) const;
    // Runs the import of fileName and returns its message (empty when none came).
    QString importFile(const QString &fileName);
    QString exportPdf(const QString &fileName);
    QString sceneShownByTheNextExport();

    std::unique_ptr<Widget> window;
    std::unique_ptr<QTemporaryDir> dir;
};

void TestImportExport::init()
{
    resetGauge();
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    freshWorkspace();
    window = std::make_unique<Widget>();
}

void TestImportExport::cleanup()
{
    window.reset();
    dir.reset();
}

QStringList TestImportExport::tableRows() const
{
    QStringList rows;
    for (int row = 0; row < table(*window)->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < table(*window)->columnCount(); ++column)
            cells << table(*window)->index(row, column).data().toString();
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

QString TestImportExport::scenePicture(const QString &name) const
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    const QString fileName = path(name);
    return image.save(fileName) ? fileName : QString();
}

QString TestImportExport::importFile(const QString &fileName)
{
    ModalScript script;
    FileDialogSeen seen;
    QString text;
    script.file(fileName, &seen);
    script.message(&text);
    script.run(action(*window, "actionImport"));
    [&]() {
        QVERIFY2(script.finished(), qPrintable(script.problems()));
        QCOMPARE(seen.caption, QStringLiteral("Import the datas from a excel file."));
        QCOMPARE(seen.filters, QStringList{QStringLiteral("Excel File(*.xls)")});
        QCOMPARE(seen.mode, QFileDialog::AcceptOpen);
    }();
    return text;
}

QString TestImportExport::exportPdf(const QString &fileName)
{
    ModalScript script;
    QString text;
    script.exportAs(QStringLiteral("rbPdf"));
    script.file(fileName);
    script.message(&text);
    script.run(action(*window, "actionExport"));
    [&]() { QVERIFY2(script.finished(), qPrintable(script.problems())); }();
    return text;
}

QString TestImportExport::sceneShownByTheNextExport()
{
    ModalScript script;
    QString shown;
    script.then<dlgExport>([&](dlgExport *dialog) {
        shown = dialog->findChild<QLineEdit *>(QStringLiteral("edtSceneName"))->text();
        dialog->reject();
    });
    script.run(action(*window, "actionExport"));
    [&]() { QVERIFY2(script.finished(), qPrintable(script.problems())); }();
    return shown;
}

void TestImportExport::importNaming_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("expected");

    QTest::newRow("first") << QStringList() << "Import1";
    QTest::newRow("after Import1 and Import3") << QStringList{"Import1", "Import3"} << "Import3";
    QTest::newRow("any name with the prefix") << QStringList{"Imported hull"} << "Import2";
    QTest::newRow("prefix is case-sensitive") << QStringList{"import1", "IMPORT2"} << "Import1";
}

void TestImportExport::importNaming()
{
    QFETCH(QStringList, existing);
    QFETCH(QString, expected);
    if (!makeWorkbook(path("header.xls"), QJsonArray() << header()))
        QSKIP("Debian's python3 with python3-xlwt is needed to write workbooks");
    for (const QString &name : existing)
        addItem(*window, name);

    // A sheet of only the header row still makes an (empty) item.
    QCOMPARE(importFile(path("header.xls")), Imported);
    QCOMPARE(items()->rowCount(liveRow()), existing.size() + 2);
    QCOMPARE(lastItemRow().data().toString(), expected);
    QCOMPARE(TvItemModel::itemAt(lastItemRow())->name(), expected);
    QCOMPARE(TvItemModel::itemAt(lastItemRow())->readings().size(), 0);
}

void TestImportExport::importCountsItemsByTheirCurrentNames()
{
    if (!makeWorkbook(path("header.xls"), QJsonArray() << header()))
        QSKIP("Debian's python3 with python3-xlwt is needed to write workbooks");
    QCOMPARE(importFile(path("header.xls")), Imported);
    QCOMPARE(lastItemRow().data().toString(), QStringLiteral("Import1"));

    // Renamed through the window, Import1 no longer counts, and the next import is Import1 again.
    ModalScript script;
    script.then<QInputDialog>([](QInputDialog *dialog) {
        dialog->setTextValue(QStringLiteral("Deck"));
        dialog->accept();
    });
    script.run(action(*window, "actionItemRename"));
    QVERIFY2(script.finished(), qPrintable(script.problems()));
    QCOMPARE(itemRow(1).data().toString(), QStringLiteral("Deck"));

    QCOMPARE(importFile(path("header.xls")), Imported);
    QCOMPARE(items()->rowCount(liveRow()), 3);
    QCOMPARE(lastItemRow().data().toString(), QStringLiteral("Import1"));
}

void TestImportExport::importedItemBecomesActive()
{
    const QString file = path("readings.xls");
    if (!makeWorkbook(file,
                      {header(),
                       QJsonArray{1, timeCell("2024-03-04 05:06:07"), "12.5", Micrometre, "Fe"},
                       QJsonArray{2, "2024-03-04 05:06:08", "   -OL", Micrometre, "NFe"},
                       QJsonArray{3, timeCell("2024-03-04 05:07:00"), 20, Micrometre, "Fe"},
                       QJsonArray{4, "2024-03-04 05:07:01", "    OL", Micrometre, "Fe"}}))
        QSKIP("Debian's python3 with python3-xlwt is needed to write workbooks");
    startAcquiring(*window);
    emitReading(50, QStringLiteral("50"));

    QCOMPARE(importFile(file), Imported);
    const QModelIndex imported = lastItemRow();
    QCOMPARE(imported.data().toString(), QStringLiteral("Import1"));
    ItemData *item = TvItemModel::itemAt(imported);
    QCOMPARE(item->dataType(), ItemData::ImportData);
    QCOMPARE(activeRow(*window), imported);
    QCOMPARE(tree(*window)->currentIndex(), imported);
    QVERIFY(tree(*window)->isEnabled());
    // A new item ends the acquisition.
    QVERIFY(!action(*window, "actionStop")->isEnabled());
    QCOMPARE(TvItemModel::itemAt(itemRow(0))->readings().size(), 1);

    QCOMPARE(tableRows(), QStringList({"1|2024-03-04 05:06:07|12.5|\u03BCm|Fe",
                                       "2|2024-03-04 05:06:08|   -OL|\u03BCm|NFe",
                                       "3|2024-03-04 05:07:00|20|\u03BCm|Fe",
                                       "4|2024-03-04 05:07:01|    OL|\u03BCm|Fe"}));
    QCOMPARE(item->readings().at(1)->milText(), QStringLiteral("   -OL"));
    QCOMPARE(chart(*window)->pointCount(), 4);
    // The over-range readings count, but not as thicknesses.
    QCOMPARE(label(*window, "lcdNum"), QStringLiteral("Num:4"));
    QCOMPARE(label(*window, "lcdMin"), QStringLiteral("Min:12.5"));
    QCOMPARE(label(*window, "lcdMax"), QStringLiteral("Max:20.0"));
    QCOMPARE(label(*window, "lcdOverRange"), QStringLiteral("OL:2"));
    QCOMPARE(histogram(*window)->count(0), 1);
    QCOMPARE(histogram(*window)->count(1), 2);
    QCOMPARE(histogram(*window)->count(7), 1);
    chart(*window)->renderPixmap();
    QCOMPARE(chart(*window)->yMax(), 22.0);

    // An imported item never takes live readings, and Start is not offered.
    QVERIFY(!action(*window, "actionStart")->isEnabled());
    QVERIFY(invoke(*window, "on_actionStart_triggered"));
    QVERIFY(!action(*window, "actionStop")->isEnabled());
    emitReading(60, QStringLiteral("60"));
    QCOMPARE(item->readings().size(), 4);
    QCOMPARE(table(*window)->rowCount(), 4);
}

void TestImportExport::importOfSomethingElseFails_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("text") << QByteArray(
        "No.\tTime\tValue\tUnit\tBasis\n1\t2024-03-04 05:06:07\t12.5\tmil\tFe\n");
    QFile damaged(QStringLiteral(RQ_TEST_SOURCE_DIR
                                 "/../workbook/corpus/samples/shared-string-length-too-long.xls"));
    QVERIFY(damaged.open(QIODevice::ReadOnly));
    QTest::newRow("workbook whose shared string runs past its record") << damaged.readAll();
}

void TestImportExport::importOfSomethingElseFails()
{
    QFETCH(QByteArray, content);
    const QString file = path("notes.xls");
    QFile text(file);
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write(content);
    text.close();

    QCOMPARE(importFile(file), ImportFailed);
    QCOMPARE(items()->rowCount(liveRow()), 1);
    QCOMPARE(activeRow(*window), itemRow(0));
    QVERIFY(tree(*window)->isEnabled());
}

void TestImportExport::importStopsAtABadRow_data()
{
    QTest::addColumn<QJsonArray>("rows");
    QTest::addColumn<QStringList>("kept");

    const QJsonArray good =
        QJsonArray{1, timeCell("2024-03-04 05:06:07"), "12.5", Micrometre, "Fe"};
    // The used range is only four columns wide, so every row is short of the Basis cell.
    QTest::newRow("rows of four cells")
        << QJsonArray{QJsonArray{"No.", "Time", "Value", "Unit"},
                      QJsonArray{1, timeCell("2024-03-04 05:06:07"), "12.5", Micrometre},
                      QJsonArray{2, timeCell("2024-03-04 05:06:08"), "13.5", Micrometre}}
        << QStringList();
    QTest::newRow("a time that is no time")
        << QJsonArray{header(), good, QJsonArray{2, "2024-03-04 05:06:08", "2.00", "mil", "NFe"},
                      QJsonArray{3, "yesterday", "3.00", "mil", "NFe"}, good}
        << QStringList{"1|2024-03-04 05:06:07|0.49|mil|Fe", "2|2024-03-04 05:06:08|2.00|mil|NFe"};
    QTest::newRow("a missing time")
        << QJsonArray{header(), good, QJsonArray{2, QJsonValue(), "13.5", Micrometre, "Fe"}}
        << QStringList{"1|2024-03-04 05:06:07|12.5|\u03BCm|Fe"};
}

void TestImportExport::importStopsAtABadRow()
{
    QFETCH(QJsonArray, rows);
    QFETCH(QStringList, kept);
    const QString file = path("bad.xls");
    if (!makeWorkbook(file, rows))
        QSKIP("Debian's python3 with python3-xlwt is needed to write workbooks");

    // Only the failure is reported, not a success after it.
    QCOMPARE(importFile(file), ImportFailed);
    QCOMPARE(items()->rowCount(liveRow()), 2);
    QCOMPARE(lastItemRow().data().toString(), QStringLiteral("Import1"));
    QCOMPARE(activeRow(*window), lastItemRow());
    QVERIFY(tree(*window)->isEnabled());
    QCOMPARE(TvItemModel::itemAt(lastItemRow())->readings().size(), kept.size());
    QCOMPARE(tableRows(), kept);
    QCOMPARE(label(*window, "lcdNum"), QStringLiteral("Num:%1").arg(kept.size()));
}

void TestImportExport::importIgnoresBlankRowsAtTheEnd()
{
    // Rows of empty texts below the readings, as a sheet edited by hand may hold.
    const QString file = path("blanks.xls");
    const QJsonArray empty = {emptyText(), emptyText(), emptyText(), emptyText(), emptyText()};
    if (!makeWorkbook(file,
                      {header(),
                       QJsonArray{1, timeCell("2024-03-04 05:06:07"), "12.5", Micrometre, "Fe"},
                       QJsonArray{2, timeCell("2024-03-04 05:06:08"), "13.5", Micrometre, "Fe"},
                       empty, empty, empty}))
        QSKIP("Debian's python3 with python3-xlwt is needed to write workbooks");
    QList<QVariantList> sheet;
    QVERIFY(WorkbookImporter::readRows(file, &sheet));
    QCOMPARE(sheet.size(), 6); // the empty texts belong to the used range

    QCOMPARE(importFile(file), Imported);
    QCOMPARE(TvItemModel::itemAt(lastItemRow())->readings().size(), 2);
    QCOMPARE(table(*window)->rowCount(), 2);
    QCOMPARE(label(*window, "lcdNum"), QStringLiteral("Num:2"));
}

void TestImportExport::importTakesTheUnitOfTheLastReading()
{
    const QString file = path("mil.xls");
    if (!makeWorkbook(
            file, {header(), QJsonArray{1, timeCell("2024-03-04 05:06:07"), "2.00", "mil", "Fe"},
                   QJsonArray{2, timeCell("2024-03-04 05:06:08"), "100", Micrometre, "Fe"},
                   QJsonArray{3, timeCell("2024-03-04 05:06:09"), "1.50", "mil", "NFe"}}))
        QSKIP("Debian's python3 with python3-xlwt is needed to write workbooks");

    QCOMPARE(importFile(file), Imported);
    QCOMPARE(TvItemModel::itemAt(lastItemRow())->unit(), QStringLiteral("mil"));
    // Every row shows its mil text, the micrometre one converted.
    QCOMPARE(tableRows(),
             QStringList({"1|2024-03-04 05:06:07|2.00|mil|Fe", "2|2024-03-04 05:06:08|3.94|mil|Fe",
                          "3|2024-03-04 05:06:09|1.50|mil|NFe"}));
    QCOMPARE(histogram(*window)->decimals(), 2);
    QCOMPARE(chart(*window)->decimals(), 2);
    QCOMPARE(histogram(*window)->yTitle(), QStringLiteral("Thickness(mil)"));
    QCOMPARE(chart(*window)->yTitle(), QStringLiteral("Thickness(mil)"));
    QCOMPARE(label(*window, "lcdUnit"), QStringLiteral("mil"));
    QCOMPARE(label(*window, "lcdAvg"), QStringLiteral("Avg:2.48"));
    QCOMPARE(label(*window, "lcdMin"), QStringLiteral("Min:1.50"));
    QCOMPARE(label(*window, "lcdMax"), QStringLiteral("Max:3.94"));
}

void TestImportExport::importCancelled()
{
    startAcquiring(*window);
    ModalScript script;
    script.file(QString());
    script.run(action(*window, "actionImport"));
    QVERIFY2(script.finished(), qPrintable(script.problems()));
    QCOMPARE(items()->rowCount(liveRow()), 1);
    QCOMPARE(activeRow(*window), itemRow(0));
    QVERIFY(tree(*window)->isEnabled());
    QVERIFY(action(*window, "actionStop")->isEnabled());
}

void TestImportExport::exportedTableImportsAsTheSameItem_data()
{
    QTest::addColumn<bool>("mils");
    QTest::addColumn<QString>("basis"); // of the second reading

    QTest::newRow("micrometres") << false << "NFe";
    QTest::newRow("mils") << true << "Fe";
    QTest::newRow("no basis") << false << QString();
    QTest::newRow("empty basis text") << false << "";
}

void TestImportExport::exportedTableImportsAsTheSameItem()
{
    QFETCH(bool, mils);
    QFETCH(QString, basis);
    startAcquiring(*window);
    if (mils) {
        emitMilReading(2.0, QStringLiteral("2.00"));
        emitMilReading(0.55, QStringLiteral("0.55"), QStringLiteral("mil"), basis);
        emitMilReading(0, QStringLiteral("    OL"));
    } else {
        emitReading(12.5, QStringLiteral("12.5"));
        emitReading(130, QStringLiteral("130"), Micrometre, basis);
        emitReading(0, QStringLiteral("   -OL"));
    }
    const QStringList shown = tableRows();
    QCOMPARE(shown.size(), 3);

    const QString file = path("round trip.xls");
    ModalScript script;
    FileDialogSeen seen;
    QString text;
    script.exportAs(QStringLiteral("rbTable"));
    script.file(file, &seen);
    script.message(&text);
    script.run(action(*window, "actionExport"));
    QVERIFY2(script.finished(), qPrintable(script.problems()));
    QCOMPARE(seen.caption, QStringLiteral("Export the datas to a excel file."));
    QCOMPARE(seen.filters, QStringList{QStringLiteral("Excel File(*.xls)")});
    QCOMPARE(seen.mode, QFileDialog::AcceptSave);
    QVERIFY(seen.waitCursor);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(text, Exported);
    QVERIFY(QFileInfo::exists(file));
    QCOMPARE(tableRows(), shown);

    const QString message = importFile(file);
    QCOMPARE(message, Imported);
    const ItemData *measured = TvItemModel::itemAt(itemRow(0));
    const ItemData *imported = TvItemModel::itemAt(lastItemRow());
    QVERIFY(imported != measured);
    QCOMPARE(imported->unit(), measured->unit());
    QCOMPARE(imported->readings().size(), measured->readings().size());
    for (int i = 0; i < measured->readings().size(); ++i) {
        const DmmData *before = measured->readings().at(i);
        const DmmData *after = imported->readings().at(i);
        QCOMPARE(after->time(), before->time());
        QCOMPARE(mils ? after->milText() : after->umText(),
                 mils ? before->milText() : before->umText());
        QCOMPARE(after->basis(), before->basis());
        QCOMPARE(after->unit(), before->unit());
    }
    QCOMPARE(imported->readings().at(2)->umText(), imported->readings().at(2)->milText());
    QCOMPARE(tableRows(), shown);

    // The imported item is kept in the workspace: a restart shows it again, active, and like
    // every activation in micrometres.
    const QString name = imported->name();
    window.reset();
    window = std::make_unique<Widget>();
    QCOMPARE(lastItemRow().data().toString(), name);
    QCOMPARE(activeRow(*window), lastItemRow());
    QCOMPARE(table(*window)->rowCount(), shown.size());
    if (!mils)
        QCOMPARE(tableRows(), shown);
}

void TestImportExport::exportToAFolderThatIsNotThere_data()
{
    QTest::addColumn<QString>("radio");
    QTest::addColumn<QString>("name");
    QTest::newRow("table") << "rbTable"
                           << "readings.xls";
    QTest::newRow("pdf") << "rbPdf"
                         << "report.pdf";
}

void TestImportExport::exportToAFolderThatIsNotThere()
{
    QFETCH(QString, radio);
    QFETCH(QString, name);
    startAcquiring(*window);
    emitReading(12.5, QStringLiteral("12.5"));

    const QString file = path("missing/") + name;
    ModalScript script;
    QString text;
    script.exportAs(radio);
    script.file(file);
    script.message(&text);
    script.run(action(*window, "actionExport"));
    QVERIFY2(script.finished(), qPrintable(script.problems()));
    QCOMPARE(text, ExportFailed);
    QVERIFY(!QFileInfo::exists(file));
    QVERIFY(!QApplication::overrideCursor());
}

void TestImportExport::exportDialogStartsWithTheTable()
{
    ModalScript script;
    script.then<dlgExport>([](dlgExport *dialog) {
        auto *scene = dialog->findChild<QWidget *>(QStringLiteral("wgtScene"));
        QVERIFY(dialog->findChild<QRadioButton *>(QStringLiteral("rbTable"))->isChecked());
        QVERIFY(!scene->isVisible());
        dialog->findChild<QRadioButton *>(QStringLiteral("rbPdf"))->click();
        QVERIFY(scene->isVisible());
        dialog->findChild<QRadioButton *>(QStringLiteral("rbChart"))->click();
        QVERIFY(!scene->isVisible());
        dialog->reject();
    });
    script.run(action(*window, "actionExport"));
    QVERIFY2(script.finished(), qPrintable(script.problems()));
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(QDir(dir->path()).isEmpty());
}

void TestImportExport::exportKeepsTheCurrentPage_data()
{
    QTest::addColumn<QString>("radio");
    QTest::addColumn<int>("page");

    // The file dialog is cancelled: the export writes nothing, but the PDF export has already
    // gone through the pages by then.
    QTest::newRow("table") << "rbTable" << 2;
    QTest::newRow("histogram") << "rbHistogram" << 2;
    QTest::newRow("chart") << "rbChart" << 1;
    QTest::newRow("pdf from the histogram") << "rbPdf" << 1;
    QTest::newRow("pdf from the table") << "rbPdf" << 0;
    QTest::newRow("dialog cancelled") << QString() << 1;
}

void TestImportExport::exportKeepsTheCurrentPage()
{
    QFETCH(QString, radio);
    QFETCH(int, page);
    showWindow();
    tabs()->setCurrentIndex(page);

    ModalScript script;
    FileDialogSeen seen;
    int pageDuringDialog = -1;
    if (radio.isEmpty()) {
        script.then<dlgExport>([](dlgExport *dialog) { dialog->reject(); });
    } else {
        script.exportAs(radio);
        script.then<QFileDialog>([&](QFileDialog *dialog) {
            pageDuringDialog = tabs()->currentIndex();
            answerFileDialog(dialog, QString(), &seen);
        });
    }
    script.run(action(*window, "actionExport"));
    QVERIFY2(script.finished(), qPrintable(script.problems()));
    QCOMPARE(tabs()->currentIndex(), page);
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(QDir(dir->path()).isEmpty());
    if (!radio.isEmpty()) {
        QCOMPARE(pageDuringDialog, page);
        QVERIFY(seen.waitCursor);
    }
}

void TestImportExport::pdfRemembersAnExistingScenePicture()
{
    const QString scene = scenePicture("site.png");
    QVERIFY(!scene.isEmpty());
    QCOMPARE(sceneShownByTheNextExport(), QString());

    ModalScript script;
    FileDialogSeen seen;
    FileDialogSeen sceneSeen;
    QString shown;
    QString text;
    script.exportAs(QStringLiteral("rbPdf"), [&](dlgExport *dialog) {
        chooseScene(dialog, scene, &sceneSeen);
        shown = dialog->findChild<QLineEdit *>(QStringLiteral("edtSceneName"))->text();
    });
    script.file(path("report.pdf"), &seen);
    script.message(&text);
    script.run(action(*window, "actionExport"));
    QVERIFY2(script.finished(), qPrintable(script.problems()));
    QCOMPARE(sceneSeen.caption, QStringLiteral("Please select a scene picture."));
    QCOMPARE(shown, scene);
    QCOMPARE(seen.caption, QStringLiteral("Export the datas to a pdf file."));
    QCOMPARE(seen.filters, QStringList{QStringLiteral("PDF file(*.pdf)")});
    QCOMPARE(seen.mode, QFileDialog::AcceptSave);
    QCOMPARE(text, Exported);

    QCOMPARE(sceneShownByTheNextExport(), scene);
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext is needed to read the report");
    QVERIFY(pdfPageText(path("report.pdf"), 1).contains(QStringLiteral("Scene picture:")));
}

void TestImportExport::pdfKeepsTheSceneNameOtherwise_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("sceneInReport");

    QTest::newRow("choice cancelled") << "cancel" << false;
    QTest::newRow("chosen picture removed before OK") << "remove" << false;
    QTest::newRow("path typed by hand") << "type" << true;
}

void TestImportExport::pdfKeepsTheSceneNameOtherwise()
{
    QFETCH(QString, how);
    QFETCH(bool, sceneInReport);
    const QString first = scenePicture("first.png");
    const QString second = scenePicture("second.png");
    QVERIFY(!first.isEmpty() && !second.isEmpty());

    ModalScript script;
    script.exportAs(QStringLiteral("rbPdf"),
                    [&](dlgExport *dialog) { chooseScene(dialog, first); });
    QString text;
    script.file(path("first.pdf"));
    script.message(&text);
    script.run(action(*window, "actionExport"));
    QVERIFY2(script.finished(), qPrintable(script.problems()));
    QCOMPARE(sceneShownByTheNextExport(), first);

    ModalScript again;
    QString shownBefore;
    QString shownAfter;
    again.exportAs(QStringLiteral("rbPdf"), [&](dlgExport *dialog) {
        auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("edtSceneName"));
        shownBefore = edit->text();
        if (how == QLatin1String("type")) {
            edit->setText(second);
        } else {
            chooseScene(dialog, how == QLatin1String("cancel") ? QString() : second);
            if (how == QLatin1String("remove"))
                QFile::remove(second);
        }
        shownAfter = edit->text();
    });
    again.file(path("second.pdf"));
    again.message(&text);
    again.run(action(*window, "actionExport"));
    QVERIFY2(again.finished(), qPrintable(again.problems()));
    QCOMPARE(shownBefore, first);
    QCOMPARE(shownAfter, how == QLatin1String("cancel") ? QString() : second);
    QCOMPARE(text, Exported);
    QCOMPARE(sceneShownByTheNextExport(), first);

    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext is needed to read the report");
    QCOMPARE(pdfPageText(path("second.pdf"), 1).contains(QStringLiteral("Scene picture:")),
             sceneInReport);
}

void TestImportExport::pdfPaintsEveryPageFirst_data()
{
    QTest::addColumn<int>("readings");
    QTest::addColumn<int>("pages");
    QTest::newRow("no readings") << 0 << 1;
    QTest::newRow("three readings") << 3 << 2;
}

void TestImportExport::pdfPaintsEveryPageFirst()
{
    QFETCH(int, readings);
    QFETCH(int, pages);
    for (const char *tool : {"pdfinfo", "pdftotext"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            QSKIP("poppler-utils are needed to read the report");
    }
    startAcquiring(*window);
    for (int i = 0; i < readings; ++i)
        emitReading(100 + 10 * i, QString::number(100 + 10 * i));
    showWindow();
    // Only the table has been on screen: the histogram and the chart have no picture yet.
    QVERIFY(histogram(*window)->pixmap().isNull());
    QVERIFY(chart(*window)->pixmap().isNull());

    const QString file = path("report.pdf");
    QCOMPARE(exportPdf(file), Exported);
    QCOMPARE(tabs()->currentIndex(), 0);
    QCOMPARE(pdfPages(file), pages);
    const QString first = pdfPageText(file, 1);
    QVERIFY2(first.contains(QStringLiteral("Histogram:")), qPrintable(first));
    QVERIFY(first.contains(QStringLiteral("Chart:")));
    QVERIFY(first.contains(QStringLiteral("1/%1").arg(pages)));
    if (readings > 0) {
        const QString table = pdfPageText(file, 2);
        QVERIFY2(table.contains(QStringLiteral("2/2")), qPrintable(table));
        QVERIFY(table.contains(QStringLiteral("%1").arg(100 + 10 * (readings - 1))));
    }
}

void TestImportExport::pictureExport_data()
{
    QTest::addColumn<QString>("radio");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QByteArray>("format");

    const QString histogramCaption = QStringLiteral("Export the histogram to a picture.");
    const QString chartCaption = QStringLiteral("Export the chart to a picture.");
    QTest::newRow("histogram jpg")
        << "rbHistogram" << 1 << "histogram.jpg" << histogramCaption << QByteArray("jpeg");
    QTest::newRow("chart jpg") << "rbChart" << 2 << "chart.jpg" << chartCaption
                               << QByteArray("jpeg");
    QTest::newRow("histogram png")
        << "rbHistogram" << 1 << "histogram.png" << histogramCaption << QByteArray("png");
    QTest::newRow("chart png") << "rbChart" << 2 << "chart.png" << chartCaption
                               << QByteArray("png");
}

void TestImportExport::pictureExport()
{
    QFETCH(QString, radio);
    QFETCH(int, page);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QByteArray, format);
    startAcquiring(*window);
    for (double value : {35.0, 42.5, 58.0, 61.5, 80.0})
        emitReading(value, QString::number(value, 'f', 1));
    showWindow();
    tabs()->setCurrentIndex(page);
    QTRY_VERIFY(!(page == 1 ? histogram(*window)->pixmap() : chart(*window)->pixmap()).isNull());

    const QString file = path(name);
    ModalScript script;
    FileDialogSeen seen;
    script.exportAs(radio);
    script.file(file, &seen);
    script.run(action(*window, "actionExport"));
    QVERIFY2(script.finished(), qPrintable(script.problems()));
    QCOMPARE(seen.caption, caption);
    QCOMPARE(seen.filters, QStringList{QStringLiteral("JPG File(*.jpg)")});
    QCOMPARE(seen.directory, RecentFolders::fallbackFolder());
    QCOMPARE(seen.mode, QFileDialog::AcceptSave);
    QCOMPARE(tabs()->currentIndex(), page);

    QImageReader reader(file);
    QCOMPARE(reader.format(), format);
    const QImage saved = reader.read();
    const QPixmap picture = page == 1 ? histogram(*window)->pixmap() : chart(*window)->pixmap();
    QCOMPARE(saved.size(), picture.size());
    if (format == "png")
        QCOMPARE(saved.convertToFormat(QImage::Format_RGB32),
                 picture.toImage().convertToFormat(QImage::Format_RGB32));
}

void TestImportExport::pictureSavedTwiceIsTheSame()
{
    startAcquiring(*window);
    for (double value : {35.0, 42.5, 58.0})
        emitReading(value, QString::number(value, 'f', 1));
    showWindow();
    tabs()->setCurrentIndex(1);
    QTRY_VERIFY(!histogram(*window)->pixmap().isNull());

    for (const QString &name : {QStringLiteral("first.jpg"), QStringLiteral("second.jpg")}) {
        ModalScript script;
        script.exportAs(QStringLiteral("rbHistogram"));
        script.file(path(name));
        script.run(action(*window, "actionExport"));
        QVERIFY2(script.finished(), qPrintable(script.problems()));
    }
    const QByteArray first = contents(path("first.jpg"));
    QVERIFY(!first.isEmpty());
    QCOMPARE(contents(path("second.jpg")), first);
}

void TestImportExport::pictureShowsTheActiveItem_data()
{
    QTest::addColumn<QString>("radio");
    QTest::addColumn<bool>("shownBefore");
    QTest::newRow("histogram never shown") << "rbHistogram" << false;
    QTest::newRow("chart never shown") << "rbChart" << false;
    QTest::newRow("histogram shown with the previous item") << "rbHistogram" << true;
    QTest::newRow("chart shown with the previous item") << "rbChart" << true;
}

// The picture shows the active item, pixel for pixel what a fresh widget fed that item's
// readings draws, although its page was not shown since the item changed (or never).
void TestImportExport::pictureShowsTheActiveItem()
{
    QFETCH(QString, radio);
    QFETCH(bool, shownBefore);
    const bool isHistogram = radio == QLatin1String("rbHistogram");
    showWindow();
    startAcquiring(*window);
    for (int i = 0; i < 85; ++i)
        emitReading(300 + 7 * i, QString::number(300 + 7 * i));
    if (shownBefore) {
        tabs()->setCurrentIndex(isHistogram ? 1 : 2);
        QTRY_VERIFY(
            !(isHistogram ? histogram(*window)->pixmap() : chart(*window)->pixmap()).isNull());
        tabs()->setCurrentIndex(0);
    }

    addItem(*window, QStringLiteral("Panel"));
    startAcquiring(*window);
    for (double value : {35.0, 142.5, 58.0, 261.5, 80.0})
        emitReading(value, QString::number(value, 'f', 1));
    emitOverRange(1);
    emitReading(90, QStringLiteral("90.0"));
    emitOverRange(-1);
    QCOMPARE(tabs()->currentIndex(), 0);

    const QString file = path(QStringLiteral("picture.png"));
    ModalScript script;
    script.exportAs(radio);
    script.file(file);
    script.run(action(*window, "actionExport"));
    QVERIFY2(script.finished(), qPrintable(script.problems()));
    const QImage saved = QImage(file).convertToFormat(QImage::Format_RGB32);
    QVERIFY(!saved.isNull());
    // The hidden page gets the size of the page shown, less the histogram page's margins.
    const QSize pageSize = tabs()->currentWidget()->size();
    QCOMPARE(saved.size(), isHistogram ? pageSize - QSize(2, 2) : pageSize);

    ItemData *item = TvItemModel::itemAt(activeRow(*window));
    const QList<DmmData *> readings = item->readings();
    const QString title = QStringLiteral("Thickness(\u03BCm)");
    QImage fresh;
    if (isHistogram) {
        Histogram reference;
        reference.setRanges({{std::numeric_limits<double>::lowest(), 0},
                             {0, 200},
                             {200, 400},
                             {400, 600},
                             {600, 800},
                             {800, 1000},
                             {1000, 1250},
                             {1250, std::numeric_limits<double>::max()}});
        reference.setMargins(QMargins(100, 20, 20, 50));
        reference.setYTitle(title);
        reference.setXTitle(QStringLiteral("Rate"));
        QList<double> values;
        for (const DmmData *reading : readings)
            values.append(item->valueOf(reading));
        reference.addValues(values);
        QCOMPARE(reference.count(7), 1);
        QCOMPARE(reference.count(0), 1);
        reference.resize(saved.size());
        reference.renderPixmap();
        fresh = reference.pixmap().toImage();
    } else {
        DMMChart reference;
        reference.setLeftMargin(70);
        reference.setBottomMargin(50);
        reference.setYTitle(title);
        reference.setXTitle(QStringLiteral("Time"));
        QList<ChartPoint *> points;
        for (const DmmData *reading : readings)
            points.append(new ChartPoint(item->valueOf(reading), reading->time(), QVariant()));
        reference.addPoints(points);
        reference.resize(saved.size());
        reference.renderPixmap();
        fresh = reference.pixmap().toImage();
    }
    QCOMPARE(saved, fresh.convertToFormat(QImage::Format_RGB32));
}

void TestImportExport::savedNameGetsTheSuffix_data()
{
    QTest::addColumn<QString>("radio");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");

    QTest::newRow("workbook") << "rbTable"
                              << "store"
                              << "store.xls";
    QTest::newRow("report") << "rbPdf"
                            << "report"
                            << "report.pdf";
    QTest::newRow("chart") << "rbChart"
                           << "chart"
                           << "chart.jpg";
    QTest::newRow("chart as png") << "rbChart"
                                  << "chart.png"
                                  << "chart.png";
}

void TestImportExport::savedNameGetsTheSuffix()
{
    QFETCH(QString, radio);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    startAcquiring(*window);
    emitReading(50, QStringLiteral("50"));
    showWindow();
    tabs()->setCurrentIndex(2);
    QTRY_VERIFY(!chart(*window)->pixmap().isNull());

    ModalScript script;
    QString text;
    script.exportAs(radio);
    script.file(path(typed));
    if (radio != QLatin1String("rbChart"))
        script.message(&text);
    script.run(action(*window, "actionExport"));
    QVERIFY2(script.finished(), qPrintable(script.problems()));
    QVERIFY(QFileInfo::exists(path(written)));
    QVERIFY(!QFileInfo::exists(path(typed)) || typed == written);
    if (radio == QLatin1String("rbTable"))
        QCOMPARE(importFile(path(written)), Imported);
}

void TestImportExport::dialogsStartWhereTheirKindWasLastUsed()
{
    const QString options = QCoreApplication::applicationDirPath() + QStringLiteral("/options.xml");
    QFile::remove(options);
    startAcquiring(*window);
    emitReading(50, QStringLiteral("50"));
    QVERIFY(QDir(dir->path()).mkpath(QStringLiteral("sites")));
    const QString sites = path("sites");

    const auto exportTable = [&](const QString &fileName, FileDialogSeen *seen) {
        ModalScript script;
        QString text;
        script.exportAs(QStringLiteral("rbTable"));
        script.file(fileName, seen);
        if (!fileName.isNull())
            script.message(&text);
        script.run(action(*window, "actionExport"));
        QVERIFY2(script.finished(), qPrintable(script.problems()));
    };
    FileDialogSeen first;
    exportTable(sites + QStringLiteral("/bridge.xls"), &first);
    QCOMPARE(first.directory, RecentFolders::fallbackFolder());

    // Another kind of file keeps its own folder.
    ModalScript import;
    FileDialogSeen importSeen;
    import.file(QString(), &importSeen);
    import.run(action(*window, "actionImport"));
    QCOMPARE(importSeen.directory, RecentFolders::fallbackFolder());

    FileDialogSeen second;
    exportTable(QString(), &second);
    QCOMPARE(second.directory, sites);

    // Kept across a restart.
    window->show();
    window->close();
    freshWorkspace();
    window = std::make_unique<Widget>();
    showWindow();
    FileDialogSeen afterRestart;
    exportTable(QString(), &afterRestart);
    window->hide();
    QFile::remove(options);
    QCOMPARE(afterRestart.directory, sites);
}

void TestImportExport::exportsOfAJudgedItemCarryItsSummary()
{
    for (const char *tool : {"pdfinfo", "pdftotext"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            QSKIP("poppler-utils are needed to read the report");
    }
    CoatingRequirement requirement(QStringLiteral("limits"), QStringLiteral("\u03BCm"));
    requirement.setValue(QStringLiteral("minimum"), 100);
    requirement.setValue(QStringLiteral("maximum"), 200);
    TvItemModel::itemAt(itemRow(0))->setRequirement(requirement);
    startAcquiring(*window);
    for (const int value : {150, 90, 160})
        emitReading(value, QString::number(value));
    showWindow();

    const QString pdf = path("judged.pdf");
    QCOMPARE(exportPdf(pdf), Exported);
    QCOMPARE(pdfPages(pdf), 3);
    const QString summary = pdfPageText(pdf, 2);
    for (const QString &expected :
         {QStringLiteral("Summary"), QStringLiteral("Measure1"), QStringLiteral("FAIL"),
          QString("1 reading below the minimum 100.0 " + Micrometre), QStringLiteral("No. 2"),
          QStringLiteral("2/3")})
        QVERIFY2(summary.contains(expected), qPrintable(expected + " in " + summary));
    QVERIFY(pdfPageText(pdf, 3).contains(QStringLiteral("3/3")));

    const QString xls = path("judged.xls");
    ModalScript script;
    QString text;
    script.exportAs(QStringLiteral("rbTable"));
    script.file(xls);
    script.message(&text);
    script.run(action(*window, "actionExport"));
    QVERIFY2(script.finished(), qPrintable(script.problems()));
    QCOMPARE(text, Exported);
    static const char dump[] = R"(
import sys, xlrd
book = xlrd.open_workbook(sys.argv[1])
print(book.nsheets, book.sheet_by_index(0).nrows, book.sheet_by_index(1).name)
for r in range(book.sheet_by_index(1).nrows):
    print("|".join(book.sheet_by_index(1).row_values(r)))
)";
    const QString sheets = runTool(QStringLiteral(RQ_SYSTEM_PYTHON),
                                   {QStringLiteral("-c"), QString::fromLatin1(dump), xls});
    QVERIFY2(sheets.startsWith(QStringLiteral("2 4 Summary\n")), qPrintable(sheets));
    QVERIFY2(sheets.contains(QStringLiteral("Verdict|FAIL\n")), qPrintable(sheets));
    QVERIFY(sheets.contains(QStringLiteral("Caused by|No. 2\n")));
    QCOMPARE(importFile(xls), Imported);
    QCOMPARE(TvItemModel::itemAt(lastItemRow())->readings().size(), 3);
}

void TestImportExport::exportDataWritesFiles_data()
{
    QTest::addColumn<bool>("withStore");
    QTest::addColumn<bool>("oneFile");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QList<int>>("lines");
    QTest::newRow("the active item") << false << false << QStringList{"out.csv"} << QList<int>{3};
    // Store Data is empty: in a file of its own it is the header alone.
    QTest::newRow("two items in one file")
        << true << true << QStringList{"out.csv"} << QList<int>{3};
    QTest::newRow("a file each") << true << false << QStringList{"Store Data.csv", "Measure1.csv"}
                                 << QList<int>{1, 3};
    // No lines to count: a workbook is a zip archive.
    QTest::newRow("a workbook") << true << false << QStringList{"out.xlsx"} << QList<int>{};
    QTest::newRow("the items selected in the tree")
        << true << false << QStringList{"Store Data.csv", "Measure1.csv"} << QList<int>{1, 3};
}

void TestImportExport::exportDataWritesFiles()
{
    QFETCH(bool, withStore);
    QFETCH(bool, oneFile);
    QFETCH(QStringList, files);
    QFETCH(QList<int>, lines);
    startAcquiring(*window);
    emitReading(120, QStringLiteral("120"));
    emitOverRange(1);
    action(*window, "actionStop")->trigger();
    const bool inTree = QString(QTest::currentDataTag()).contains(QLatin1String("tree"));
    if (inTree) {
        for (const QModelIndex &row : {itemRow(0), items()->index(0, 0)})
            tree(*window)->selectionModel()->select(row, QItemSelectionModel::Select |
                                                             QItemSelectionModel::Rows);
    }

    ModalScript script;
    script.then<ExportDataDialog>([=](ExportDataDialog *dialog) {
        auto *list = dialog->findChild<QListWidget *>(QStringLiteral("items"));
        QCOMPARE(list->item(1)->checkState(), Qt::Checked);
        QCOMPARE(list->item(0)->checkState(), inTree ? Qt::Checked : Qt::Unchecked);
        if (withStore)
            list->item(0)->setCheckState(Qt::Checked);
        dialog->findChild<QCheckBox *>(QStringLiteral("oneFile"))->setChecked(oneFile);
        if (files.first().endsWith(QLatin1String(".xlsx")))
            dialog->findChild<QComboBox *>(QStringLiteral("format"))->setCurrentIndex(1);
        dialog->findChild<QPushButton *>(QStringLiteral("export"))->click();
    });
    script.file(files.size() == 1 ? path(files.first()) : dir->path());
    QString said;
    script.message(&said);
    script.run(action(*window, "actionExportData"));
    QVERIFY2(script.finished(), qPrintable(script.problems()));
    QVERIFY2(said.startsWith(QStringLiteral("The data were exported to")), qPrintable(said));
    for (int i = 0; i < files.size(); ++i) {
        QFile file(path(files.at(i)));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(files.at(i)));
        const QByteArray bytes = file.readAll();
        if (lines.isEmpty())
            QVERIFY(bytes.startsWith("PK"));
        else
            QCOMPARE(bytes.count('\n'), lines.at(i));
    }
}

void TestImportExport::importDataAddsItems_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<int>("activeReadings");
    QTest::addColumn<QString>("message");
    const QString seed =
        QStringLiteral(RQ_TEST_SOURCE_DIR "/../import/corpus/xlsx/seeds/ours/ours-two-items.xlsx");
    QFile workbook(seed);
    QVERIFY(workbook.open(QIODevice::ReadOnly));
    QTest::newRow("a workbook of two items")
        << "two.xlsx" << workbook.readAll() << QStringList{"Deck \u7532\u677F", "Hull"} << 30
        << "2 items were imported from %1: Deck \u7532\u677F, Hull.";
    // Measure1 is in the tree already.
    QTest::newRow("a CSV file with an item of a name that is taken")
        << "items.csv"
        << QByteArray("Item;Time;Value;Unit\r\nMeasure1;2026-12-08T09:15:00Z;12,5;mil\r\n")
        << QStringList{"Measure1 (2)"} << 1 << "The item Measure1 (2) was imported from %1.";
    QTest::newRow("a rejected CSV file")
        << "bad.csv" << QByteArray("Time,Value,Unit\r\n2026-12-08 09:15:00,\"12,mil\r\n")
        << QStringList() << 0
        << "%1 cannot be imported: line 2: a quoted field has no closing quote";
}

void TestImportExport::importDataAddsItems()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);
    QFETCH(QStringList, added);
    QFETCH(int, activeReadings);
    QFETCH(QString, message);
    QFile file(path(fileName));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    const int before = items()->rowCount(liveRow());
    const QModelIndex wasActive = activeRow(*window);
    QCOMPARE(action(*window, "actionImportData")->text(), QStringLiteral("Import data..."));

    ModalScript script;
    FileDialogSeen seen;
    script.file(file.fileName(), &seen);
    QString said;
    script.message(&said);
    script.run(action(*window, "actionImportData"));
    QVERIFY2(script.finished(), qPrintable(script.problems()));
    QCOMPARE(said, message.arg(QDir::toNativeSeparators(file.fileName())));
    QCOMPARE(seen.filters.first(), QStringLiteral("Readings (*.xlsx *.csv)"));
    QStringList names;
    for (int row = before; row < items()->rowCount(liveRow()); ++row)
        names << itemRow(row).data().toString();
    QCOMPARE(names, added);
    if (added.isEmpty()) {
        QCOMPARE(activeRow(*window), wasActive);
        return;
    }
    ItemData *active = TvItemModel::itemAt(activeRow(*window));
    QCOMPARE(active->name(), added.first());
    QCOMPARE(active->dataType(), ItemData::ImportData);
    QCOMPARE(active->readings().size(), activeReadings);
    QCOMPARE(table(*window)->rowCount(), activeReadings);
}

void TestImportExport::inspectionReportOfTheChosenItems()
{
    for (const char *tool : {"pdfinfo", "pdftotext"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            QSKIP("poppler-utils are needed to read the report");
    }
    startAcquiring(*window);
    for (const int value : {150, 90, 160})
        emitReading(value, QString::number(value));
    action(*window, "actionStop")->trigger();
    addItem(*window, QStringLiteral("Second"));
    showWindow();
    QCOMPARE(action(*window, "actionInspectionReport")->text(),
             QStringLiteral("Inspection report..."));

    const QString pdf = path("job.pdf");
    QStringList listed;
    QString text;
    ModalScript script;
    script.then<InspectionReportDialog>([&](InspectionReportDialog *dialog) {
        auto *list = dialog->findChild<QListWidget *>(QStringLiteral("listItems"));
        for (int row = 0; row < list->count(); ++row)
            listed << list->item(row)->text() +
                          (list->item(row)->checkState() == Qt::Checked ? "*" : "");
        list->item(0)->setCheckState(Qt::Checked);
        answerNextOf<QFileDialog>([&](QFileDialog *chooser) { answerFileDialog(chooser, pdf); });
        answerNextOf<QMessageBox>([&](QMessageBox *box) {
            text = box->text();
            box->button(QMessageBox::Ok)->click();
        });
        dialog->findChild<QPushButton *>(QStringLiteral("btnSavePdf"))->click();
        dialog->reject();
    });
    script.run(action(*window, "actionInspectionReport"));
    QVERIFY2(script.finished(), qPrintable(script.problems()));

    // Every item, the active one (the new one) checked; the gauge's memory last.
    QCOMPARE(listed, (QStringList{"Measure1", "Second*", "Store Data"}));
    QCOMPARE(text, QStringLiteral("The inspection report was saved to %1.")
                       .arg(QDir::toNativeSeparators(pdf)));
    QVERIFY(pdfPages(pdf) >= 4); // the cover, two items, the signatures
    const QString cover = pdfPageText(pdf, 1);
    QVERIFY2(cover.contains(QRegularExpression("Measure1\\s+3\\s+0\\s")), qPrintable(cover));
    QVERIFY(cover.contains(QRegularExpression("Second\\s+0\\s+0\\s")));
}

QTEST_MAIN(TestImportExport)
#include "tst_importexport.moc"
