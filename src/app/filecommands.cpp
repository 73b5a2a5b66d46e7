#include "filecommands.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLayout>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTabWidget>

#include "csvexporter.h"
#include "dataimporter.h"
#include "datamodel.h"
#include "dlgexport.h"
#include "dmmchart.h"
#include "dmmdata.h"
#include "exportdatadialog.h"
#include "filechooser.h"
#include "histogram.h"
#include "inspectionreportdialog.h"
#include "itemstore.h"
#include "itemsummary.h"
#include "pdfreport.h"
#include "recentfolders.h"
#include "reportcolumn.h"
#include "teambranch.h"
#include "windowsettings.h"
#include "workspace.h"
#include "workbookexporter.h"
#include "workbookimporter.h"
#include "xlsxexporter.h"

namespace {

qint64 readingsOf(const QList<const ItemData *> &items)
{
    qint64 total = 0;
    for (const ItemData *item : items)
        total += item->readings().size();
    return total;
}

// Counts in thousandths keep the bar's range within an int whatever the sizes; a short export
// shows no bar at all.
void prepare(QProgressDialog *progress)
{
    progress->setRange(0, 1000);
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(500);
}

QString notWritten(const QString &fileName, const QString &error)
{
    const QString shown = QDir::toNativeSeparators(fileName);
    return error.isEmpty()
               ? FileCommands::tr("The export was cancelled. %1 was not written.").arg(shown)
               : FileCommands::tr("%1 cannot be written: %2").arg(shown, error);
}

} // namespace

FileCommands::FileCommands(QWidget *window, const Views &views, ItemStore *items,
                           WindowSettings *settings)
    : QObject(window)
    , m_window(window)
    , m_views(views)
    , m_items(items)
    , m_settings(settings)
    , m_folders(&settings->folders)
    , m_reportColumns(PdfReport::newColumns())
{
}

FileCommands::~FileCommands()
{
    qDeleteAll(m_reportColumns);
}

void FileCommands::exportFiles(Workspace *workspace, TeamBranch *team)
{
    const TeamBranch::Pause pause(team);
    dlgExport dialog(nullptr);
    dialog.setSceneFile(m_settings->sceneFile);
    dialog.setFolders(m_folders);
    const int result = dialog.exec();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The views show the active item: all of it, also a large one still coming in.
    if (result == QDialog::Accepted && bringIn({m_items->active()}, workspace, team)) {
        switch (dialog.exportType()) {
        case dlgExport::Table:
            exportWorkbook();
            break;
        case dlgExport::HistogramPicture:
            exportPicture(true);
            break;
        case dlgExport::ChartPicture:
            exportPicture(false);
            break;
        case dlgExport::Pdf: {
            renderPages();
            const QString scene = dialog.sceneFile();
            if (QFileInfo::exists(scene))
                m_settings->sceneFile = scene;
            exportReport(scene);
            break;
        }
        default:
            break;
        }
    }
    QApplication::restoreOverrideCursor();
}

void FileCommands::exportData(const QList<const ItemData *> &selected, Workspace *workspace,
                              TeamBranch *team)
{
    const TeamBranch::Pause pause(team);
    ExportDataDialog dialog(*m_items, team, selected, m_window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QList<const ItemData *> chosen = dialog.chosen();
    if (!bringIn(chosen, workspace, team))
        return;
    if (dialog.format() == ExportDataDialog::Xlsx) {
        exportWorkbookOf(chosen);
        return;
    }
    QList<QPair<QString, QList<const ItemData *>>> files;
    if (dialog.oneFile() || chosen.size() == 1) {
        const QString fileName =
            FileChooser::saveFileName(m_window, tr("Export data"), tr("CSV file (*.csv)"),
                                      {QStringLiteral("csv")}, m_folders, RecentFolders::Workbook);
        if (fileName.isEmpty())
            return;
        files.append({fileName, chosen});
    } else {
        const QString folder = QFileDialog::getExistingDirectory(
            m_window, tr("Folder for the CSV files"), m_folders->folder(RecentFolders::Workbook));
        if (folder.isEmpty())
            return;
        QStringList taken;
        int existing = 0;
        for (const ItemData *item : chosen) {
            const QString fileName =
                QDir(folder).filePath(CsvExporter::fileNameFor(item->name(), &taken));
            existing += QFileInfo::exists(fileName) ? 1 : 0;
            files.append({fileName, {item}});
        }
        if (existing > 0 &&
            QMessageBox::question(m_window, QString(),
                                  tr("%1 of the files already exist in %2. Replace them?")
                                      .arg(existing)
                                      .arg(QDir::toNativeSeparators(folder))) != QMessageBox::Yes)
            return;
        m_folders->remember(RecentFolders::Workbook, files.first().first);
    }

    const qint64 total = readingsOf(chosen);
    QProgressDialog progress(tr("Exporting data..."), tr("Cancel"), 0, 1000, m_window);
    prepare(&progress);
    qint64 before = 0;
    for (const auto &file : qAsConst(files)) {
        const auto step = [&](qint64 written, qint64) {
            progress.setValue(total > 0 ? int((before + written) * 1000 / total) : 0);
            return !progress.wasCanceled();
        };
        QString error;
        if (!CsvExporter::writeFile(file.first, file.second, dialog.options(), step, &error)) {
            progress.cancel();
            inform(notWritten(file.first, error));
            return;
        }
        before += readingsOf(file.second);
    }
    progress.setValue(1000);
    inform(
        files.size() == 1
            ? tr("The data were exported to %1.").arg(QDir::toNativeSeparators(files.first().first))
            : tr("The data were exported to %1 files.").arg(files.size()));
}

void FileCommands::exportWorkbookOf(const QList<const ItemData *> &chosen)
{
    const QString fileName =
        FileChooser::saveFileName(m_window, tr("Export data"), tr("Excel workbook (*.xlsx)"),
                                  {QStringLiteral("xlsx")}, m_folders, RecentFolders::Workbook);
    if (fileName.isEmpty())
        return;
    const qint64 total = readingsOf(chosen);
    QProgressDialog progress(tr("Exporting data..."), tr("Cancel"), 0, 1000, m_window);
    prepare(&progress);
    const auto step = [&](qint64 written, qint64) {
        progress.setValue(total > 0 ? int(written * 1000 / total) : 0);
        return !progress.wasCanceled();
    };
    QString error;
    QStringList notes;
    const bool written = XlsxExporter::writeFile(fileName, chosen, step, &error, &notes);
    progress.setValue(1000);
    if (!written) {
        inform(notWritten(fileName, error));
        return;
    }
    notes.prepend(tr("The data were exported to %1.").arg(QDir::toNativeSeparators(fileName)));
    inform(notes.join(QLatin1Char('\n')));
}

void FileCommands::renderPages()
{
    QTabWidget *tabs = m_views.tabs;
    const int current = tabs->currentIndex();
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        QElapsedTimer wait;
        wait.start();
        while (wait.elapsed() < 10)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    }
    tabs->setCurrentIndex(current);
}

void FileCommands::exportPicture(bool histogram)
{
    const QString fileName = FileChooser::saveFileName(
        m_window,
        histogram ? tr("Export the histogram to a picture.") : tr("Export the chart to a picture."),
        tr("JPG File(*.jpg)"),
        {QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png")}, m_folders,
        RecentFolders::Picture);
    if (fileName.isEmpty())
        return;
    // The picture must show the active item, also when its page has not been shown since the
    // item changed, or never: a hidden page is first given the size the tab widget would give it.
    QWidget *page = histogram ? m_views.histogramPage : static_cast<QWidget *>(m_views.chart);
    if (!page->isVisible()) {
        page->resize(m_views.tabs->currentWidget()->size());
        if (page->layout())
            page->layout()->setGeometry(page->rect());
    }
    bool saved = false;
    if (histogram) {
        m_views.histogram->renderPixmap();
        saved = m_views.histogram->savePixmap(fileName);
    } else {
        m_views.chart->renderPixmap();
        saved = m_views.chart->savePixmap(fileName);
    }
    if (!saved)
        inform(tr("The picture is exported failed."));
}

void FileCommands::exportWorkbook()
{
    const QString fileName = FileChooser::saveFileName(
        m_window, tr("Export the datas to a excel file."), tr("Excel File(*.xls)"),
        {QStringLiteral("xls")}, m_folders, RecentFolders::Workbook);
    if (fileName.isEmpty())
        return;
    const ItemData *active = m_items->active();
    const ItemSummary::Rows summary =
        active ? ItemSummary::rows(*active, false) : ItemSummary::Rows();
    if (WorkbookExporter::exportTable(*m_views.table, fileName, summary))
        inform(tr("The datas is exported successfully."));
    else
        inform(tr("The datas is exported failed."));
}

void FileCommands::exportReport(const QString &sceneFile)
{
    const QString fileName = FileChooser::saveFileName(
        m_window, tr("Export the datas to a pdf file."), tr("PDF file(*.pdf)"),
        {QStringLiteral("pdf")}, m_folders, RecentFolders::Pdf);
    if (fileName.isEmpty())
        return;
    const ItemData *active = m_items->active();
    const ItemSummary::Rows summary = active ? ItemSummary::rows(*active) : ItemSummary::Rows();
    if (PdfReport::write(fileName, sceneFile, *m_views.table, m_views.histogram->pixmap(),
                         m_views.chart->pixmap(), m_reportColumns, summary,
                         active ? ItemSummary::trailLines(*active) : QStringList()))
        inform(tr("The datas is exported successfully."));
    else
        inform(tr("The datas is exported failed."));
}

void FileCommands::importWorkbook(const QString &itemName)
{
    const QString fileName =
        FileChooser::openFileName(m_window, tr("Import the datas from a excel file."),
                                  tr("Excel File(*.xls)"), m_folders, RecentFolders::Import);
    if (fileName.isEmpty())
        return;

    QList<DmmData *> readings;
    const WorkbookImporter::Outcome outcome = WorkbookImporter::readReadings(fileName, &readings);
    if (outcome == WorkbookImporter::Outcome::Unreadable) {
        inform(tr("The datas is imported failed."));
        return;
    }
    // The rows read before a bad one are kept: the item shows how far the workbook was good.
    ItemData *item = m_items->add(itemName, ItemData::ImportData);
    m_items->activate(item);
    const QString unit = readings.isEmpty() ? item->unit() : readings.last()->unit();
    // A workbook does not say which gauge measured: the item keeps the range it has.
    m_items->append(item, readings, unit, item->rangeUm());
    inform(outcome == WorkbookImporter::Outcome::Partial
               ? tr("The datas is imported failed.")
               : tr("The datas is imported successfully."));
}

void FileCommands::importData()
{
    const QString fileName = FileChooser::openFileName(
        m_window, tr("Import data"), DataImporter::fileFilter(), m_folders, RecentFolders::Import);
    if (fileName.isEmpty())
        return;
    QProgressDialog progress(tr("Importing data..."), tr("Cancel"), 0, 1000, m_window);
    prepare(&progress);
    const auto step = [&progress](qint64 read, qint64 total) {
        progress.setValue(total > 0 ? int(read * 1000 / total) : 0);
        return !progress.wasCanceled();
    };
    DataImporter importer;
    const bool read = importer.read(fileName, step);
    progress.setValue(1000);
    const QString shown = QDir::toNativeSeparators(fileName);
    if (!read) {
        inform(importer.errorString().isEmpty()
                   ? tr("The import was cancelled. No item was added.")
                   : tr("%1 cannot be imported: %2").arg(shown, importer.errorString()));
        return;
    }
    const QList<ItemData *> added = DataImporter::addTo(m_items, importer.takeItems());
    QStringList names;
    for (const ItemData *item : added)
        names << item->name();
    m_items->activate(added.first());
    QStringList outcome{names.size() == 1
                            ? tr("The item %1 was imported from %2.").arg(names.first(), shown)
                            : tr("%1 items were imported from %2: %3.")
                                  .arg(names.size())
                                  .arg(shown, names.join(QStringLiteral(", ")))};
    inform((outcome + importer.notes()).join(QLatin1Char('\n')));
}

bool FileCommands::bringIn(const QList<const ItemData *> &chosen, Workspace *workspace,
                           TeamBranch *team)
{
    // Items of an earlier session keep their readings on disk until they are first needed.
    for (ItemData *item : m_items->items() + QList<ItemData *>{m_items->storeData()}) {
        if (chosen.contains(item))
            workspace->loadReadings(item);
    }
    if (!team)
        return true;
    for (ItemData *item : team->items()) {
        QString error;
        if (chosen.contains(item) && !team->loadReadings(item, &error)) {
            inform(tr("The readings of %1 cannot be read from the team server: %2\nNothing was "
                      "exported.")
                       .arg(team->label(item), error));
            return false;
        }
    }
    return true;
}

void FileCommands::inspectionReport(Workspace *workspace, TeamBranch *team)
{
    const TeamBranch::Pause pause(team);
    InspectionReportDialog dialog(m_items, workspace, team, m_folders, m_window);
    dialog.exec();
}

void FileCommands::inform(const QString &text)
{
    QMessageBox::information(m_window, QString(), text, QMessageBox::Ok);
}
