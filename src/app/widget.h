#pragma once

#include <QMainWindow>
#include <QModelIndex>
#include <QString>

#include "itemdata.h"
#include "windowsettings.h"

class ActiveItemViews;
class DmmData;
class FileCommands;
class GaugeControls;
class GaugeSession;
class ItemCommands;
class ItemStore;
class ItemTree;
class LivePanel;
class ManualViewer;
class QAction;
class ReadingExclusion;
class StatusPanel;
class StoreDownload;
class TeamBranch;
class TeamLink;
class WidgetUi;
class Workspace;

// The logger's main window. It wires the rooms together and dispatches the user's commands: the
// items live in the item store, the gauge in the gauge session, the active item's views in
// ActiveItemViews and the files in FileCommands; the window's slots delegate to them.
class Widget : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY(Widget)

public:
    explicit Widget(QWidget *parent = nullptr);
    ~Widget() override;

    bool eventFilter(QObject *obj, QEvent *event) override;

signals:
    void updateDowndPos(int total, int pos);

protected:
    void timerEvent(QTimerEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private slots:
    void initObj();
    bool loadPlugins();
    void initConnec();
    void initWidget();
    void initSelf();
    void saveSettings();
    void restoreSettings();
    void newItem(QString name, ItemData::DataType type);
    void slotAction();
    void slotDmmOpened();
    void slotDmmClosed();
    void slotUSBRefreshed();
    void on_actionTest_triggered();
    void on_actionManual_triggered();
    void on_actionClearMsg_triggered();
    void on_actionItemNew_triggered();
    void on_actionItemDelete_triggered();
    void on_actionItemRename_triggered();
    void on_actionItemSetToActive_triggered();
    void on_actionItemDownload_triggered();
    void on_actionItemRequirement_triggered();
    void on_actionItemNotes_triggered();
    void on_actionJobDetails_triggered();
    void on_actionStart_triggered();
    void on_actionStop_triggered();
    void on_actionExport_triggered();
    void on_actionExportData_triggered();
    void on_actionImport_triggered();
    void on_actionImportData_triggered();
    void on_actionInspectionReport_triggered();
    void slotMessage(QString msg);
    void itemSetToActive(QModelIndex index);
    void on_tvItems_activated(QModelIndex index);
    void slotItemModeleditDataChanged(QModelIndex index);
    void slotCurrentRowChanged(QModelIndex current, QModelIndex previous);
    void slotDmmDisplay(const DmmData *data);
    void slotStoreNum(int total, int num);
    void slotDisplayStore(const DmmData *data);

private:
    void stopAcquisition();
    // Syncs to and reads from the team server of the settings, if any.
    void setTeamServer();
    // What can be done with the tree row at index: the item tool bar and the context menu.
    QList<QAction *> itemActions(const QModelIndex &index) const;

    WidgetUi *ui;
    WindowSettings settings;
    ItemStore *items;
    GaugeSession *gauge;
    ItemTree *itemTree = nullptr;
    ItemCommands *itemCommands = nullptr;
    GaugeControls *controls = nullptr;
    StoreDownload *download = nullptr;
    ActiveItemViews *views = nullptr;
    FileCommands *files = nullptr;
    // Excluding readings from the table, with undo and redo.
    ReadingExclusion *exclusions = nullptr;
    // Keeps every item and reading on disk, following the item store.
    Workspace *workspace = nullptr;
    TeamLink *teamLink = nullptr;
    // The colleagues' items in the tree, read from the team server.
    TeamBranch *teamBranch = nullptr;
    LivePanel *livePanel = nullptr;
    StatusPanel *statusPanel = nullptr;
    ManualViewer *manualViewer = nullptr;
    bool settingsRestored = false;
};
