#include <memory>

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "common/popplertools.h"
#include "dmmdata.h"
#include "itemdata.h"
#include "itemstore.h"
#include "workbook/pythontool.h"
#include "workspace.h"

namespace {

const QString Micrometre = QStringLiteral("\u03BCm");
// Not plain ASCII, and within Latin-1 so that any locale's command line carries it.
const QString Accented = QStringLiteral("Pr\u00FCfst\u00FCck 2");

DmmData *reading(int seconds, double um, int overload = 0)
{
    auto *r = new DmmData;
    r->setTime(QDateTime(QDate(2026, 5, 4), QTime(10, 0, seconds)));
    r->setUmValue(um);
    r->setMilValue(um / 25.4);
    r->setUmText(overload ? QStringLiteral("    OL") : QString::number(um, 'f', 1));
    r->setMilText(overload ? QStringLiteral("    OL") : QString::number(um / 25.4, 'f', 2));
    r->setOverload(overload);
    r->setUnit(Micrometre);
    r->setBasis(QStringLiteral("Fe"));
    return r;
}

// The time of reading(seconds) as the CSV export writes it: local, with its UTC offset. An .xls
// workbook keeps the wall-clock time only, so an import gives the same.
QString csvTime(int seconds)
{
    const QDateTime local(QDate(2026, 5, 4), QTime(10, 0, seconds));
    const int minutes = local.offsetFromUtc() / 60;
    return local.toString(QStringLiteral("yyyy-MM-ddThh:mm:ss")) +
           QString::asprintf("%c%02d:%02d", minutes < 0 ? '-' : '+', qAbs(minutes) / 60,
                             qAbs(minutes) % 60);
}

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

// Opens the workspace as the window does: its items restored, every change written.
void openAsLogger(Workspace *workspace, ItemStore *items, const QString &file)
{
    workspace->open(file);
    QVERIFY(workspace->isSaving());
    workspace->follow(items);
    ItemData *active = nullptr;
    items->adopt(workspace->restore(items->storeData(), &active));
}

QByteArray hashOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
               ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
               : QByteArray();
}

} // namespace

// The logger's command line, run as its own process on a real workspace file.
class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void list();
    void statuses_data();
    void statuses();
    void exportsCsv_data();
    void exportsCsv();
    void exportsXlsx();
    void exportsXlsAndPdf();
    void writesTheReport_data();
    void writesTheReport();
    void importsIntoTheWorkspace_data();
    void importsIntoTheWorkspace();
    void openWorkspaceIsReadNeverWritten();
    void windowWithoutOptions();

private:
    Run run(const QStringList &arguments) const;
    QString path(const QString &name) const { return m_dir.filePath(name); }
    // A workspace of three items, made by the logger's own classes as the window makes it.
    void makeWorkspace(const QString &file) const;

    QTemporaryDir m_dir;
    QString m_workspace;
    QString m_damaged;
};

void TestCommandLine::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_workspace = path(QStringLiteral("workspace.sqlite"));
    makeWorkspace(m_workspace);
    m_damaged = path(QStringLiteral("damaged.sqlite"));
    QFile damaged(m_damaged);
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(4096, 'x'));
}

void TestCommandLine::makeWorkspace(const QString &file) const
{
    ItemStore items;
    Workspace workspace;
    openAsLogger(&workspace, &items, file);
    JobDetails job;
    job.setValue(JobDetails::Company, QStringLiteral("Hull Coatings Ltd"));
    items.setJobDetails(job);
    items.append(items.storeData(), {reading(1, 101.5), reading(2, 102.5)}, Micrometre, 1250);
    ItemData *measure = items.add(QStringLiteral("Measure1"), ItemData::MeasureData);
    items.append(measure, {reading(3, 120.5), reading(4, 0, 1), reading(5, 130), reading(6, 140)},
                 Micrometre, 1250);
    ItemData *accented = items.add(Accented, ItemData::MeasureData);
    items.append(accented, {reading(7, 200), reading(8, 210), reading(9, 220)}, Micrometre, 1250);
    workspace.commit();
    QVERIFY(workspace.isSaving());
}

Run TestCommandLine::run(const QStringList &arguments) const
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // No display, and nothing of the user's own: the logger's folders are in the test's.
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("RQ6814_WORKSPACE"), path(QStringLiteral("own.sqlite")));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(RQ_LOGGER), arguments);
    Run result;
    if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit)
        result.status = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

void TestCommandLine::list()
{
    const Run result = run({QStringLiteral("--workspace"), m_workspace, QStringLiteral("--list")});
    QCOMPARE(result.status, 0);
    QCOMPARE(result.out, QStringLiteral("Store Data\t2\nMeasure1\t4\n%1\t3\n").arg(Accented));
}

void TestCommandLine::statuses_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("told");

    const QString ws = QStringLiteral("--workspace=") + m_workspace;
    QTest::newRow("help") << QStringList{"--help"} << 0 << "Exit status:";
    QTest::newRow("version") << QStringList{"-v"} << 0 << "RQ-6814 Logger 1.02";
    QTest::newRow("no action") << QStringList{ws} << 1 << "Give one of";
    QTest::newRow("two actions") << QStringList{ws, "--list", "--report", "r.pdf"} << 1
                                 << "Give one of";
    QTest::newRow("unknown option") << QStringList{ws, "--lst"} << 1 << "lst";
    QTest::newRow("stray argument") << QStringList{ws, "--list", "extra"} << 1 << "extra";
    QTest::newRow("export without --to") << QStringList{ws, "--export", "Measure1"} << 1 << "--to";
    QTest::newRow("--to alone") << QStringList{ws, "--to", "a.csv", "--list"} << 1 << "--to";
    QTest::newRow("--items without --report")
        << QStringList{ws, "--list", "--items", "Measure1"} << 1 << "--items";
    QTest::newRow("unknown format")
        << QStringList{ws, "--export", "Measure1", "--to", path("m.txt")} << 1 << ".xlsx";
    QTest::newRow("all to one-item pdf")
        << QStringList{ws, "--all", "--to", path("all.pdf")} << 1 << "--report";
    QTest::newRow("import of an unknown format")
        << QStringList{ws, "--import", path("m.txt")} << 1 << ".xls";
    QTest::newRow("no workspace") << QStringList{"--workspace", path("none.sqlite"), "--list"} << 2
                                  << "does not exist";
    QTest::newRow("damaged workspace")
        << QStringList{"--workspace", m_damaged, "--list"} << 2 << "damaged";
    // Left as it is, not moved aside as the window does.
    QTest::newRow("import into a damaged workspace")
        << QStringList{"--workspace", m_damaged, "--import",
                       QStringLiteral(RQ_TEST_SOURCE_DIR
                                      "/../workbook/corpus/seeds/ours/export-micrometre.xls")}
        << 3 << "cannot be written";
    QTest::newRow("no such item") << QStringList{ws, "--export", "Measure9", "--to", path("m9.csv")}
                                  << 4 << "Measure9";
    QTest::newRow("no such item in the report")
        << QStringList{ws, "--report", path("r.pdf"), "--items", "Measure1,Measure9"} << 4
        << "Measure9";
    QTest::newRow("unreadable import")
        << QStringList{ws, "--import", QStringLiteral(RQ_TEST_SOURCE_DIR "/notaworkbook.xls")} << 5
        << "cannot be read";
    QTest::newRow("hostile import")
        << QStringList{ws, "--import",
                       QStringLiteral(RQ_TEST_SOURCE_DIR "/../import/corpus/xlsx/samples/"
                                                         "entity-expansion--declares_a_document_"
                                                         "type.xlsx")}
        << 5 << "declares a document type";
    QTest::newRow("output not writable")
        << QStringList{ws, "--export", "Measure1", "--to", path("no/such/folder/m.csv")} << 6
        << "cannot be written";
}

void TestCommandLine::statuses()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, told);
    const QByteArray before = hashOf(m_workspace) + hashOf(m_damaged);
    const Run result = run(arguments);
    QCOMPARE(result.status, status);
    QVERIFY2((status == 0 ? result.out : result.err).contains(told), qPrintable(result.err));
    QCOMPARE(hashOf(m_workspace) + hashOf(m_damaged), before);
    QVERIFY(QDir(m_dir.path()).entryList({"*.damaged-*"}).isEmpty());
    QVERIFY(!QFileInfo::exists(path("own.sqlite")));
}

void TestCommandLine::exportsCsv_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("header");
    QTest::addColumn<QStringList>("firstRow");
    QTest::addColumn<int>("rows");

    QTest::newRow("one item") << QStringList{"--export", "Measure1"}
                              << QStringList{"No.",   "Time",       "Value",   "Unit",
                                             "Basis", "Over range", "Excluded"}
                              << QStringList{"1", csvTime(3), "120.5", Micrometre, "Fe", "", ""}
                              << 4;
    QTest::newRow("every item") << QStringList{"--all"}
                                << QStringList{"Item", "No.",   "Time",       "Value",
                                               "Unit", "Basis", "Over range", "Excluded"}
                                << QStringList{"Store Data", "1",  csvTime(1), "101.5",
                                               Micrometre,   "Fe", "",         ""}
                                << 9;
    QTest::newRow("an item of another name, as --export --all")
        << QStringList{"--export", "--all"}
        << QStringList{"Item", "No.", "Time", "Value", "Unit", "Basis", "Over range", "Excluded"}
        << QStringList{"Store Data", "1", csvTime(1), "101.5", Micrometre, "Fe", "", ""} << 9;
    QTest::newRow("non-ASCII name")
        << QStringList{"--export", Accented}
        << QStringList{"No.", "Time", "Value", "Unit", "Basis", "Over range", "Excluded"}
        << QStringList{"1", csvTime(7), "200", Micrometre, "Fe", "", ""} << 3;
}

void TestCommandLine::exportsCsv()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, header);
    QFETCH(QStringList, firstRow);
    QFETCH(int, rows);
    const QString file = path(QStringLiteral("%1.csv").arg(QTest::currentDataTag()));
    const Run result =
        run(QStringList{"--workspace", m_workspace} + arguments + QStringList{"--to", file});
    QCOMPARE(result.status, 0);
    QCOMPARE(result.out, QDir::toNativeSeparators(file) + QLatin1Char('\n'));

    QByteArray json;
    QVERIFY(runPythonScript(QStringLiteral("../report/csvread.py"), {file, ","}, &json));
    const QJsonArray lines = QJsonDocument::fromJson(json).array();
    QCOMPARE(lines.size(), rows + 1);
    QCOMPARE(lines.at(0).toVariant().toStringList(), header);
    QCOMPARE(lines.at(1).toVariant().toStringList(), firstRow);
}

void TestCommandLine::exportsXlsx()
{
    const QString file = path(QStringLiteral("all.xlsx"));
    const Run result = run({"--workspace", m_workspace, "--all", "--to", file});
    QCOMPARE(result.status, 0);
    QByteArray json;
    QVERIFY(runPythonScript(QStringLiteral("../report/xlsxread.py"), {file}, &json));
    const QJsonObject sheets = QJsonDocument::fromJson(json).object();
    QCOMPARE(sheets.keys(), (QStringList{"Measure1", Accented, "Store Data", "Summary"}));
    const QJsonArray measure = sheets.value("Measure1").toArray();
    QCOMPARE(measure.size(), 5);
    // The time a date-time cell, the value a number, an over-range reading "OL" without a value.
    QCOMPARE(measure.at(1).toArray().at(1).toArray().at(0).toString(), QStringLiteral("date"));
    QCOMPARE(measure.at(1).toArray().at(2).toArray().at(1).toString(), QStringLiteral("120.5"));
    QCOMPARE(measure.at(2).toArray().at(2).toArray().at(0).toString(), QStringLiteral("none"));
    QCOMPARE(measure.at(2).toArray().at(5).toArray().at(1).toString(), QStringLiteral("OL"));
}

void TestCommandLine::exportsXlsAndPdf()
{
    if (!PopplerTools::available() || !pythonHasXlsModules())
        QSKIP("poppler's tools or xlrd are not installed");
    const QString xls = path(QStringLiteral("measure.xls"));
    QCOMPARE(run({"--workspace", m_workspace, "--export", "Measure1", "--to", xls}).status, 0);
    QByteArray json;
    QVERIFY(runPythonScript(QStringLiteral("../workbook/xlsdump.py"), {xls}, &json));
    const QJsonObject sheet = QJsonDocument::fromJson(json).object();
    QCOMPARE(sheet.value("nrows").toInt(), 5);
    QCOMPARE(sheet.value("rows").toArray().at(1).toArray().at(2).toObject().value("value"),
             QJsonValue("120.5"));

    const QString pdf = path(QStringLiteral("measure.pdf"));
    QCOMPARE(run({"--workspace", m_workspace, "--export", "Measure1", "--to", pdf}).status, 0);
    // The picture page with the histogram and the chart, then one table page.
    QCOMPARE(PopplerTools::pageCount(pdf), 2);
    const QString first = PopplerTools::pageText(pdf, 1, 1);
    QVERIFY(first.contains("Histogram:") && first.contains("Chart:"));
    const QStringList table = PopplerTools::tokens(PopplerTools::pageText(pdf, 2, 2));
    for (const char *text : {"120.5", "OL", "140.0", "2/2"})
        QVERIFY2(table.contains(QLatin1String(text)), text);
}

void TestCommandLine::writesTheReport_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("notShown");

    QTest::newRow("every item") << QStringList() << QStringList{"Store Data", "Measure1", Accented}
                                << QStringList();
    QTest::newRow("chosen items") << QStringList{"--items",
                                                 QStringLiteral("%1,Store Data").arg(Accented)}
                                  << QStringList{"Store Data", Accented} << QStringList{"Measure1"};
}

void TestCommandLine::writesTheReport()
{
    if (!PopplerTools::available())
        QSKIP("poppler's tools are not installed");
    QFETCH(QStringList, items);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, notShown);
    const QString pdf = path(QStringLiteral("%1.pdf").arg(QTest::currentDataTag()));
    const Run result = run(QStringList{"--workspace", m_workspace, "--report", pdf} + items);
    QCOMPARE(result.status, 0);
    const int pages = PopplerTools::pageCount(pdf);
    QVERIFY(pages > 1);
    const QString text = PopplerTools::pageText(pdf, 1, pages);
    QVERIFY(text.contains("Hull Coatings Ltd"));
    for (const QString &name : shown)
        QVERIFY2(text.contains(name), qPrintable(name));
    for (const QString &name : notShown)
        QVERIFY2(!text.contains(name), qPrintable(name));
}

void TestCommandLine::importsIntoTheWorkspace_data()
{
    QTest::addColumn<QString>("suffix");
    // The items that two imports of Measure1's export add.
    QTest::addColumn<QStringList>("names");
    QTest::newRow(".xls") << "xls" << QStringList{"Import1", "Import2"};
    QTest::newRow(".xlsx") << "xlsx" << QStringList{"Measure1 (2)", "Measure1 (3)"};
    // One item's CSV file has no Item column: the item is named after the file.
    QTest::newRow("CSV") << "csv" << QStringList{"for-import", "for-import (2)"};
}

void TestCommandLine::importsIntoTheWorkspace()
{
    QFETCH(QString, suffix);
    QFETCH(QStringList, names);
    const QString file = path(QStringLiteral("import-%1.sqlite").arg(suffix));
    makeWorkspace(file);
    const QString exported = path(QStringLiteral("for-import.") + suffix);
    QCOMPARE(run({"--workspace", file, "--export", "Measure1", "--to", exported}).status, 0);

    for (const QString &name : names) {
        const Run result = run({"--workspace", file, "--import", exported});
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out, name + QStringLiteral(": 4 readings\n"));
    }
    QVERIFY(run({"--workspace", file, "--list"})
                .out.endsWith(names.join(QStringLiteral("\t4\n")) + QStringLiteral("\t4\n")));
    // The readings come back as they went out.
    const QString csv = path(QStringLiteral("imported-%1.csv").arg(suffix));
    QCOMPARE(run({"--workspace", file, "--export", names.last(), "--to", csv}).status, 0);
    QByteArray json;
    QVERIFY(runPythonScript(QStringLiteral("../report/csvread.py"), {csv, ","}, &json));
    const QJsonArray lines = QJsonDocument::fromJson(json).array();
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines.at(2).toVariant().toStringList(),
             (QStringList{"2", csvTime(4), "", Micrometre, "Fe", "OL", ""}));
}

void TestCommandLine::openWorkspaceIsReadNeverWritten()
{
    const QString file = path(QStringLiteral("open.sqlite"));
    makeWorkspace(file);
    const QString xls = path(QStringLiteral("open.xls"));
    QCOMPARE(run({"--workspace", file, "--export", "Measure1", "--to", xls}).status, 0);

    // Another logger has the workspace open and goes on writing to it.
    ItemStore items;
    Workspace other;
    openAsLogger(&other, &items, file);
    items.activate(items.items().first());
    items.append(items.items().first(), reading(10, 150), Micrometre, 1250);
    other.commit();
    const QByteArray before = hashOf(file);

    const Run listed = run({"--workspace", file, "--list"});
    QCOMPARE(listed.status, 0);
    QVERIFY2(listed.out.contains("Measure1\t5\n"), qPrintable(listed.out + listed.err));
    QCOMPARE(run({"--workspace", file, "--export", "Measure1", "--to", path("open.csv")}).status,
             0);
    const Run refused = run({"--workspace", file, "--import", xls});
    QCOMPARE(refused.status, 3);
    QVERIFY2(refused.err.contains("in use by another logger"), qPrintable(refused.err));
    QCOMPARE(hashOf(file), before);

    // The other logger is not disturbed: it goes on saving.
    items.append(items.items().first(), reading(11, 160), Micrometre, 1250);
    other.commit();
    QVERIFY(other.isSaving());
}

void TestCommandLine::windowWithoutOptions()
{
    // Qt's own options still reach the window, which starts on the given platform and fails
    // there rather than taking them for the command line.
    const Run result = run({"-platform", "no-such-platform"});
    QVERIFY(result.status != 0);
    QVERIFY2(result.err.contains("no-such-platform"), qPrintable(result.err));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
