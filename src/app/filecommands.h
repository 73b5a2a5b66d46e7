#pragma once

#include <QList>
#include <QObject>
#include <QString>

class DMMChart;
class DataModel;
class ItemData;
class Histogram;
class ItemStore;
class QTabWidget;
class QWidget;
class RecentFolders;
class TeamBranch;
class WindowSettings;
class Workspace;
struct ReportColumn;

// What Export and Import do: the export dialog and each kind of file it offers (the readings
// workbook, the histogram or chart picture, the PDF report), and a workbook read back as a new
// item. Every question and every outcome goes to the user in a box over the window.
class FileCommands : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(FileCommands)

public:
    struct Views
    {
        QTabWidget *tabs;
        QWidget *histogramPage;
        Histogram *histogram;
        DMMChart *chart;
        DataModel *table;
    };

    // The settings give the file dialogs their folders and the report its last scene picture.
    FileCommands(QWidget *window, const Views &views, ItemStore *items, WindowSettings *settings);
    ~FileCommands() override;

    // The workspace and the team (nullptr for none) bring in the readings of items not yet read
    // before they are written.

    // Asks what to export, then where to, and writes it.
    void exportFiles(Workspace *workspace, TeamBranch *team);
    // Asks which items go out, and how and where to, and writes them with progress and Cancel;
    // selected are ticked first.
    void exportData(const QList<const ItemData *> &selected, Workspace *workspace,
                    TeamBranch *team);
    // Asks for a workbook and reads it into a new item of that name, made active.
    void importWorkbook(const QString &itemName);
    // Asks for an .xlsx or CSV file and adds its items under names not yet taken, the first made
    // active; a rejected file adds nothing.
    void importData();
    // The inspection report of the job: which items and sections, then a PDF or the printer.
    // The workspace reads the readings of chosen items that were never active.
    void inspectionReport(Workspace *workspace, TeamBranch *team);

private:
    // Brings in the readings of the chosen items kept on disk or on the team server; false, and
    // the user told why, when the server cannot give them.
    bool bringIn(const QList<const ItemData *> &chosen, Workspace *workspace, TeamBranch *team);
    void exportWorkbook();
    void exportWorkbookOf(const QList<const ItemData *> &chosen);
    void exportPicture(bool histogram);
    void exportReport(const QString &sceneFile);
    // Shows every tab once so that the histogram and the chart have current pictures.
    void renderPages();
    void inform(const QString &text);

    QWidget *m_window;
    Views m_views;
    ItemStore *m_items;
    WindowSettings *m_settings;
    RecentFolders *m_folders;
    QList<ReportColumn *> m_reportColumns;
};
