#include "commandline.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QPainter>
#include <QPixmap>

#ifdef Q_OS_WIN
#include <cstdio>
#include <windows.h>
#endif

#include "csvexporter.h"
#include "datamodel.h"
#include "dmmdata.h"
#include "inspectionreport.h"
#include "itemdata.h"
#include "itemstore.h"
#include "itemsummary.h"
#include "pagechart.h"
#include "pagehistogram.h"
#include "pdfreport.h"
#include "reportcolumn.h"
#include "workbookexporter.h"
#include "workbookimporter.h"
#include "workspace.h"
#include "xlsxexporter.h"

namespace {

// The histogram's and the chart's pictures on the first page of an item's PDF report, about the
// size they have in the window.
const QSize PictureSize(800, 450);

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QList<const ItemData *> constant(const QList<ItemData *> &items)
{
    return QList<const ItemData *>(items.begin(), items.end());
}

QPixmap picture(const ItemData &item, bool histogram)
{
    QPixmap pixmap(PictureSize);
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font;
    font.setPointSize(9);
    const QRectF box(pixmap.rect());
    if (histogram)
        PageHistogram(item, box, font, &pixmap).paint(painter);
    else
        PageChart(item, box, font, &pixmap).paint(painter);
    return pixmap;
}

} // namespace

bool CommandLine::wanted(int argc, char *argv[])
{
    for (int arg = 1; arg < argc; ++arg) {
        const QByteArray text(argv[arg]);
        if (text.startsWith("--") || text == "-h" || text == "-?" || text == "-v")
            return true;
    }
    return false;
}

int CommandLine::run(int argc, char *argv[])
{
#ifdef Q_OS_WIN
    // A program of the Windows subsystem has no console of its own: unless its output is
    // redirected, it writes to the console it was started from.
    if (!GetStdHandle(STD_OUTPUT_HANDLE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        FILE *stream = nullptr;
        freopen_s(&stream, "CONOUT$", "w", stdout);
        freopen_s(&stream, "CONOUT$", "w", stderr);
    }
    SetConsoleOutputCP(CP_UTF8);
#endif
    // No window is shown, so no display is needed; the offscreen platform still has the fonts
    // and the painting that the PDF reports need.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // Item names in any script, whatever the locale: scripts read UTF-8.
    QTextStream out(stdout);
    out.setCodec("UTF-8");
    QTextStream err(stderr);
    err.setCodec("UTF-8");
    CommandLine commandLine(&out, &err);
    return commandLine.exec(QCoreApplication::arguments());
}

CommandLine::CommandLine(QTextStream *out, QTextStream *err)
    : m_out(out)
    , m_err(err)
    , m_workspace(QStringLiteral("workspace"),
                  tr("The workspace file; without it the logger's own workspace."), tr("file"))
    , m_list(QStringLiteral("list"),
             tr("Lists the items in tree order, one a line: the name, a tab, the number of "
                "readings."))
    , m_export(QStringLiteral("export"), tr("Exports the item's readings to the file of --to."),
               tr("item"))
    , m_all(QStringLiteral("all"),
            tr("Exports every item to the file of --to (Store Data when it holds readings)."))
    , m_to(QStringLiteral("to"),
           tr("The file to export to. Its suffix chooses the format: .xlsx (a sheet per item and "
              "a Summary sheet), .csv (one file, with an Item column for several items), .xls "
              "(one item of at most 65,535 readings) or .pdf (the report of one item)."),
           tr("file"))
    , m_report(QStringLiteral("report"),
               tr("Writes the inspection report of the job as a PDF with its default sections: "
                  "the cover, each item's statistics and verdict, histogram, chart, notes and "
                  "photos, no readings table."),
               tr("file"))
    , m_items(QStringLiteral("items"),
              tr("With --report: the items, separated by commas; without it every item (Store "
                 "Data when it holds readings)."),
              tr("names"))
    , m_import(QStringLiteral("import"),
               tr("Imports an .xls workbook of the exported layout as a new item \"ImportN\", or "
                  "an .xlsx workbook or a CSV file as new items named after its sheets or its "
                  "Item column. Refused while another logger has the workspace open."),
               tr("file"))
{
    m_parser.setApplicationDescription(
        tr("%1 without its window: the items of a workspace listed, exported, reported or "
           "imported. Without these options the logger starts its window.")
            .arg(InspectionReport::producer()));
    m_parser.addHelpOption();
    m_parser.addVersionOption();
    m_parser.addOptions({m_workspace, m_list, m_export, m_all, m_to, m_report, m_items, m_import});
}

int CommandLine::exec(const QStringList &arguments)
{
    if (!m_parser.parse(arguments))
        return usage(m_parser.errorText());
    if (m_parser.isSet(QStringLiteral("help")) || m_parser.isSet(QStringLiteral("help-all"))) {
        *m_out
            << m_parser.helpText() << '\n'
            << tr("Exit status:\n"
                  "  0  done\n"
                  "  1  wrong or missing options, or a format the logger does not write or "
                  "read\n"
                  "  2  the workspace does not exist or cannot be read\n"
                  "  3  the workspace is open in another logger or cannot be written (--import)\n"
                  "  4  no item of that name, or several\n"
                  "  5  the file to import cannot be read, or only in part\n"
                  "  6  the file cannot be written\n");
        return Done;
    }
    if (m_parser.isSet(QStringLiteral("version"))) {
        *m_out << InspectionReport::producer() << '\n';
        return Done;
    }
    if (const int status = checkOptions())
        return status;

    ItemStore items;
    Workspace workspace;
    QObject::connect(&workspace, &Workspace::message,
                     [this](const QString &text) { *m_err << text << '\n'; });
    if (m_parser.isSet(m_import))
        return import(&workspace, &items);
    if (const int status = open(&workspace, &items, false))
        return status;
    if (m_parser.isSet(m_list))
        return list(&workspace, items);
    if (m_parser.isSet(m_report))
        return report(&workspace, items);
    return exportItems(&workspace, items);
}

bool CommandLine::exportsAll() const
{
    // "--export --all" gives --export the value "--all".
    return m_parser.isSet(m_all) || m_parser.value(m_export) == QLatin1String("--all");
}

int CommandLine::checkOptions()
{
    if (!m_parser.positionalArguments().isEmpty())
        return usage(tr("Unexpected argument: %1").arg(m_parser.positionalArguments().first()));
    const bool exporting = m_parser.isSet(m_export) || m_parser.isSet(m_all);
    const int actions = int(m_parser.isSet(m_list)) + int(exporting) +
                        int(m_parser.isSet(m_report)) + int(m_parser.isSet(m_import));
    if (actions != 1)
        return usage(tr("Give one of --list, --export, --report and --import."));
    if (m_parser.isSet(m_export) && m_parser.isSet(m_all))
        return usage(tr("Give an item to --export, or --all, not both."));
    if (exporting != m_parser.isSet(m_to))
        return usage(exporting ? tr("--export and --all need --to and the file to write.")
                               : tr("--to goes with --export or --all."));
    if (m_parser.isSet(m_items) && !m_parser.isSet(m_report))
        return usage(tr("--items goes with --report."));
    if (exporting) {
        const QString suffix = QFileInfo(m_parser.value(m_to)).suffix().toLower();
        const bool oneItem = suffix == QLatin1String("xls") || suffix == QLatin1String("pdf");
        if (!oneItem && suffix != QLatin1String("xlsx") && suffix != QLatin1String("csv"))
            return usage(tr("%1: the file's suffix gives the format: .xlsx, .csv, .xls or .pdf.")
                             .arg(shown(m_parser.value(m_to))));
        if (oneItem && exportsAll())
            return usage(tr("An .%1 file holds one item: give it to --export. --report writes "
                            "the report of several items.")
                             .arg(suffix));
    }
    return Done;
}

int CommandLine::usage(const QString &text)
{
    *m_err << text << '\n' << tr("See --help.") << '\n';
    return UsageError;
}

int CommandLine::fail(Status status, const QString &text)
{
    *m_err << text << '\n';
    return status;
}

int CommandLine::open(Workspace *workspace, ItemStore *items, bool forWriting)
{
    const QString path =
        m_parser.isSet(m_workspace) ? m_parser.value(m_workspace) : Workspace::defaultPath();
    if (forWriting) {
        // The workspace's own messages speak of a window that goes on in memory; here the first
        // line, the cause, is enough.
        QString cause;
        const QMetaObject::Connection heard =
            QObject::connect(workspace, &Workspace::message, [&cause](const QString &text) {
                if (cause.isEmpty())
                    cause = text.section(QLatin1Char('\n'), 0, 0);
            });
        workspace->open(path, Workspace::LeaveDamaged);
        QObject::disconnect(heard);
        if (!workspace->isSaving())
            return fail(WorkspaceNotWritable, cause);
        workspace->follow(items);
    } else {
        if (!QFileInfo::exists(path))
            return fail(WorkspaceUnreadable,
                        tr("The workspace %1 does not exist.").arg(shown(path)));
        if (!workspace->read(path))
            return WorkspaceUnreadable;
    }
    items->setJobDetails(workspace->restoreJobDetails());
    ItemData *active = nullptr;
    items->adopt(workspace->restore(items->storeData(), &active));
    return Done;
}

int CommandLine::list(Workspace *workspace, const ItemStore &items)
{
    for (ItemData *item : QList<ItemData *>{items.storeData()} + items.items())
        *m_out << item->name() << '\t' << workspace->readingCount(item) << '\n';
    return Done;
}

int CommandLine::find(Workspace *workspace, const ItemStore &items, const QStringList &names,
                      QList<ItemData *> *found)
{
    const QList<ItemData *> all = QList<ItemData *>{items.storeData()} + items.items();
    for (const QString &name : names) {
        QList<ItemData *> named;
        for (ItemData *item : all) {
            if (item->name() == name)
                named.append(item);
        }
        if (named.isEmpty())
            return fail(NoSuchItem, tr("There is no item \"%1\" in the workspace %2.")
                                        .arg(name, shown(workspace->path())));
        if (named.size() > 1)
            return fail(NoSuchItem, tr("%1 items are named \"%2\"; give them names of their own "
                                       "in the logger.")
                                        .arg(named.size())
                                        .arg(name));
        found->append(named.first());
    }
    return loadReadings(workspace, *found);
}

int CommandLine::everyItem(Workspace *workspace, const ItemStore &items, QList<ItemData *> *found)
{
    if (workspace->readingCount(items.storeData()) > 0)
        found->append(items.storeData());
    found->append(items.items());
    return loadReadings(workspace, *found);
}

int CommandLine::loadReadings(Workspace *workspace, const QList<ItemData *> &items)
{
    for (ItemData *item : items) {
        if (!workspace->loadReadings(item))
            return WorkspaceUnreadable;
    }
    return Done;
}

int CommandLine::exportItems(Workspace *workspace, const ItemStore &items)
{
    QList<ItemData *> chosen;
    const int status = exportsAll() ? everyItem(workspace, items, &chosen)
                                    : find(workspace, items, {m_parser.value(m_export)}, &chosen);
    return status != Done ? status : writeExport(m_parser.value(m_to), chosen);
}

int CommandLine::writeExport(const QString &fileName, const QList<ItemData *> &items)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    QString error;
    QStringList notes;
    bool written = false;
    if (suffix == QLatin1String("csv")) {
        CsvExporter::Options options;
        options.itemColumn = items.size() > 1;
        written = CsvExporter::writeFile(fileName, constant(items), options, {}, &error);
    } else if (suffix == QLatin1String("xlsx")) {
        written = XlsxExporter::writeFile(fileName, constant(items), {}, &error, &notes);
    } else {
        ItemData *item = items.first();
        if (suffix == QLatin1String("xls") &&
            item->readings().size() > WorkbookExporter::MaxDataRows)
            return fail(NotWritten, tr("\"%1\" has %2 readings, more than the %3 of an .xls "
                                       "sheet: export it as .xlsx or .csv.")
                                        .arg(item->name())
                                        .arg(item->readings().size())
                                        .arg(WorkbookExporter::MaxDataRows));
        DataModel table;
        table.setItem(item);
        table.setReadings(item->readings());
        if (suffix == QLatin1String("xls")) {
            written = WorkbookExporter::exportTable(table, fileName, ItemSummary::rows(*item));
        } else {
            const QList<ReportColumn *> columns = PdfReport::newColumns();
            written = PdfReport::write(fileName, QString(), table, picture(*item, true),
                                       picture(*item, false), columns, ItemSummary::rows(*item));
            qDeleteAll(columns);
        }
    }
    if (!written)
        return fail(NotWritten, error.isEmpty()
                                    ? tr("%1 cannot be written.").arg(shown(fileName))
                                    : tr("%1 cannot be written: %2").arg(shown(fileName), error));
    for (const QString &note : qAsConst(notes))
        *m_out << note << '\n';
    *m_out << shown(fileName) << '\n';
    return Done;
}

int CommandLine::report(Workspace *workspace, const ItemStore &items)
{
    QList<ItemData *> chosen;
    QStringList names;
    for (const QString &value : m_parser.values(m_items))
        names += value.split(QLatin1Char(','), Qt::SkipEmptyParts);
    const int status = m_parser.isSet(m_items) ? find(workspace, items, names, &chosen)
                                               : everyItem(workspace, items, &chosen);
    if (status != Done)
        return status;
    InspectionReport::Options options;
    options.paper = InspectionReport::defaultPaper(QLocale());
    InspectionReport inspection(items.jobDetails(), constant(chosen), options);
    const QString fileName = m_parser.value(m_report);
    const QString error = inspection.save(fileName);
    if (!error.isEmpty())
        return fail(NotWritten, error);
    *m_out << shown(fileName) << '\n';
    return Done;
}

int CommandLine::import(Workspace *workspace, ItemStore *items)
{
    const QString fileName = m_parser.value(m_import);
    QList<DataImporter::Item> imported;
    QStringList notes;
    const int read = readImport(fileName, &imported, &notes);
    if (read != Done && imported.isEmpty())
        return read;
    if (const int status = open(workspace, items, true)) {
        for (const DataImporter::Item &item : qAsConst(imported))
            qDeleteAll(item.readings);
        return status;
    }
    for (DataImporter::Item &item : imported) {
        if (item.name.isEmpty())
            item.name = items->nextName(QStringLiteral("Import"));
    }
    const QList<ItemData *> added = DataImporter::addTo(items, imported);
    workspace->commit();
    if (!workspace->isSaving())
        return WorkspaceNotWritable;
    for (const QString &note : qAsConst(notes))
        *m_out << note << '\n';
    for (const ItemData *item : added)
        *m_out << tr("%1: %2 readings").arg(item->name()).arg(item->readings().size()) << '\n';
    return read;
}

int CommandLine::readImport(const QString &fileName, QList<DataImporter::Item> *imported,
                            QStringList *notes)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("xlsx") || suffix == QLatin1String("csv")) {
        DataImporter importer;
        if (!importer.read(fileName))
            return fail(
                ImportFailed,
                tr("%1 cannot be imported: %2").arg(shown(fileName), importer.errorString()));
        *notes = importer.notes();
        *imported = importer.takeItems();
        return Done;
    }
    if (suffix != QLatin1String("xls"))
        return usage(tr("%1: the logger imports .xls, .xlsx and .csv files.").arg(shown(fileName)));
    QList<DmmData *> readings;
    const WorkbookImporter::Outcome outcome = WorkbookImporter::readReadings(fileName, &readings);
    if (outcome == WorkbookImporter::Outcome::Complete || !readings.isEmpty()) {
        // An empty workbook gives an item in micrometres, as every item is when it is activated.
        const QString unit =
            readings.isEmpty() ? QStringLiteral("\u03BCm") : readings.last()->unit();
        imported->append({QString(), unit, readings});
    }
    switch (outcome) {
    case WorkbookImporter::Outcome::Complete:
        return Done;
    case WorkbookImporter::Outcome::Partial:
        // Rows are counted from the header, row 1.
        return fail(ImportFailed,
                    (readings.isEmpty()
                         ? tr("%1: row %2 is no reading; nothing is imported.")
                         : tr("%1: row %2 is no reading; the readings above it are imported."))
                        .arg(shown(fileName))
                        .arg(readings.size() + 2));
    case WorkbookImporter::Outcome::Unreadable:
        break;
    }
    return fail(ImportFailed, tr("%1 cannot be read as a workbook.").arg(shown(fileName)));
}
