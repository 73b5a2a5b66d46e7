#pragma once

#include <memory>

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QModelIndex>
#include <QString>

#include "data/itemdata.h"
#include "export/recentfolders.h"

class DataModel;
class DeviceBinder;
class DmmData;
class Histogram;
class IDmm;
class IMyDmm;
class LivePanel;
class ManualViewer;
class QStandardItem;
class SerialDeviceInf;
class SerialRS232VirInf;
class StatusPanel;
class TableFollower;
class TvItemModel;
class WidgetUi;
class Workspace;
struct ReportColumn;

// The logger's main window: it binds the gauge's plug-ins, routes readings into the active item and
// its views, and dispatches the item, download, import and export commands.
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
    void on_actionStart_triggered();
    void on_actionStop_triggered();
    void on_actionExport_triggered();
    void on_actionImport_triggered();
    void slotMessage(QString msg);
    void itemSetToActive(QModelIndex index);
    void on_tvItems_activated(QModelIndex index);
    void slotItemModeleditDataChanged(QModelIndex index);
    void slotCurrentRowChanged(QModelIndex current, QModelIndex previous);
    void slotDmmDisplay(const DmmData *data);
    void slotStoreNum(int total, int num);
    void slotDisplayStore(const DmmData *data);

private:
    void refreshItemViews();
    void showStatistics();
    void showVerdict();
    // Limits on the chart and histogram, marks in the table, for the active item.
    void showRequirement();
    void stopAcquisition();
    void testPortPresence();
    bool bindDevice(const QString &plugin);
    void connectDevice();
    void showOptions();
    ItemData *storeDataItem() const;
    // The chart's and histogram's titles and decimals of micrometres or mils.
    void setThicknessUnit(bool micrometres);
    // Only a measurement item takes live readings: Start is offered for nothing else.
    bool activeTakesLiveReadings() const;
    void exportExcel();
    void importExcel();
    void exportPdf(const QString &sceneFile);
    void exportPicture(int exportType);
    QString optionsFilePath() const;
    void showAcquisitionState();

    WidgetUi *ui;
    IDmm *dmm = nullptr;
    IMyDmm *myDmm = nullptr;
    SerialDeviceInf *serialDevice = nullptr;
    SerialRS232VirInf *rs232Vir = nullptr;
    ItemData *activeItem = nullptr;
    bool acquiring = false;
    DataModel *dataModel = nullptr;
    QIcon measureIcon;
    TvItemModel *itemModel = nullptr;
    Histogram *histogram = nullptr;
    QStandardItem *liveDataRow = nullptr;
    // Keeps the table on its newest row while it is on screen.
    TableFollower *tableFollower = nullptr;
    QList<ReportColumn *> reportColumns;
    // Keeps every item and reading on disk; the tree's items stay the working copy.
    Workspace *workspace = nullptr;
    QString sceneFileName;
    bool settingsRestored = false;
    LivePanel *livePanel = nullptr;
    StatusPanel *statusPanel = nullptr;
    ManualViewer *manualViewer = nullptr;
    RecentFolders recentFolders;
    // The device plug-ins of Lib, and the one chosen in Options (empty while none is chosen).
    std::unique_ptr<DeviceBinder> deviceBinder;
    QString devicePlugin;
};
