#include "widget.h"
#include "widgetui.h"

#include <memory>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDesktopWidget>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QtDebug>

#include "activeitemviews.h"
#include "dmmchart.h"
#include "dmmdata.h"
#include "filecommands.h"
#include "gaugecontrols.h"
#include "gaugesession.h"
#include "histogram.h"
#include "itemcommands.h"
#include "itemstore.h"
#include "itemtree.h"
#include "jobdetailsdialog.h"
#include "livepanel.h"
#include "livevaluelabel.h"
#include "loadindicator.h"
#include "manualviewer.h"
#include "readingexclusion.h"
#include "statuspanel.h"
#include "storedownload.h"
#include "tablecopy.h"
#include "teambranch.h"
#include "teamlink.h"
#include "teamreader.h"
#include "tvitemmodel.h"
#include "windowsettings.h"
#include "workspace.h"
#include "workspacealert.h"

namespace {
constexpr int TestFeedIntervalMs = 500;
} // namespace

Widget::Widget(QWidget *parent)
    : QMainWindow(parent)
    , ui(new WidgetUi)
    , settings(this)
    , items(new ItemStore(this))
    , gauge(new GaugeSession(this))
{
    Q_INIT_RESOURCE(resources);
    ui->setupUi(this);
    if (!loadPlugins())
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    initObj();
    initWidget();
    initSelf();
    initConnec();
}

Widget::~Widget()
{
    // The gauge session closes the gauge when it goes, without calling back into the window.
    delete ui;
}

bool Widget::loadPlugins()
{
    QDir dir(QCoreApplication::applicationDirPath());
    dir.cd(QStringLiteral("Lib"));
    return gauge->load(dir, settings.devicePlugin);
}

void Widget::initObj()
{
    livePanel =
        new LivePanel({ui->lcdItem, ui->lcdValue, ui->lcdUnit, ui->lcdBasis, ui->lcdNum, ui->lcdAvg,
                       ui->lcdMin, ui->lcdMax, ui->lcdOverRange, ui->lcdExcluded, ui->lcdSd,
                       ui->lcdCv, ui->lcdVerdict, ui->horizontalLayout_2},
                      this);
    views = new ActiveItemViews({livePanel, ui->tv, ui->Histogram1, ui->chart}, items, this);
    files = new FileCommands(
        this, {ui->tabWidget, ui->tab_2, ui->Histogram1, ui->chart, views->tableModel()}, items,
        &settings);
}

void Widget::initWidget()
{
    ui->tvItems->installEventFilter(this);
    ui->tv->installEventFilter(this);
    new TableCopy(ui->tv);
    exclusions = new ReadingExclusion(this, ui->tv, views->tableModel(), items);
    // Edit comes between File and View.
    auto *editMenu = new QMenu(tr("&Edit"), ui->menuBar);
    editMenu->addActions({exclusions->undoAction(), exclusions->redoAction()});
    editMenu->addSeparator();
    editMenu->addActions({exclusions->excludeAction(), exclusions->includeAction()});
    ui->menuBar->insertMenu(ui->menuBar->actions().value(1), editMenu);
    ui->listWidget->installEventFilter(this);
    statusPanel = new StatusPanel(ui->statusBar, ui->actionMessages);
    new LoadIndicator(ui->statusBar, items);
    manualViewer = new ManualViewer(this);
    controls = new GaugeControls(
        this, {ui->actionConnect, ui->actionDisconnect, ui->actionStart, ui->actionStop}, gauge,
        items, statusPanel);

    itemTree = new ItemTree(ui->tvItems, items, this);
    itemCommands = new ItemCommands(this, ui->tvItems, itemTree, items, &settings.folders);
    download = new StoreDownload(this, gauge, items, {statusPanel, livePanel});
    workspace = new Workspace(this);
    new WorkspaceAlert(workspace, this);
    workspace->open(Workspace::defaultPath());
    workspace->follow(items);
    items->setJobDetails(workspace->restoreJobDetails());
    ItemData *restoredActive = nullptr;
    items->adopt(workspace->restore(items->storeData(), &restoredActive));
    if (items->items().isEmpty())
        items->add(QStringLiteral("Measure%1").arg(1), ItemData::MeasureData);
    items->activate(restoredActive ? restoredActive : items->items().first());
    teamLink = new TeamLink(statusPanel, workspace, this);
    teamBranch = new TeamBranch(itemTree, items, this);
    connect(teamBranch->reader(), &TeamReader::statusChanged, teamLink, &TeamLink::showReader);
    setTeamServer();
    slotCurrentRowChanged(ui->tvItems->currentIndex(), QModelIndex());
}

void Widget::initSelf()
{
    setWindowTitle(
        QStringLiteral("%1 v%2 ").arg(QStringLiteral("RQ-6814 Logger"), QStringLiteral("1.02")));
    resize(1000, 600);
    // Wide enough for the live panel's statistics with six-digit counts; the views get the rest.
    const int panel = qMax(ui->widget_2->minimumSizeHint().width(), 250);
    ui->splitter_2->setSizes({panel, width() - panel});
    const QWidget *desktop = QApplication::desktop();
    move((desktop->width() - width()) / 2, (desktop->height() - height()) / 2);
    setWindowIcon(QIcon(QStringLiteral(":image/RQ-6814.ico")));
}

void Widget::initConnec()
{
    connect(gauge, &GaugeSession::opened, this, &Widget::slotDmmOpened);
    connect(gauge, &GaugeSession::closed, this, &Widget::slotDmmClosed);
    connect(gauge, &GaugeSession::stateChanged, controls, &GaugeControls::showState);
    connect(gauge, &GaugeSession::message, this, &Widget::slotMessage);
    connect(gauge, &GaugeSession::reading, this, &Widget::slotDmmDisplay);
    connect(gauge, &GaugeSession::storedReading, this, &Widget::slotDisplayStore);
    connect(gauge, &GaugeSession::downloadProgress, this, &Widget::slotStoreNum);
    connect(this, &Widget::updateDowndPos, download, &StoreDownload::progress);
    connect(download, &StoreDownload::message, this, &Widget::slotMessage);
    // Any change of item ends collecting: readings go only where the user started them.
    connect(items, &ItemStore::activeChanged, this, &Widget::stopAcquisition);
    connect(items, &ItemStore::renamed, this, &Widget::stopAcquisition);
    connect(itemTree->model(), &TvItemModel::editDataChanged, this,
            &Widget::slotItemModeleditDataChanged);
    connect(ui->tvItems->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &Widget::slotCurrentRowChanged);
    for (QAction *action :
         {ui->actionConnect, ui->actionDisconnect, ui->actionOption, ui->actionClose})
        connect(action, &QAction::triggered, this, &Widget::slotAction);
    controls->showState();
}

QList<QAction *> Widget::itemActions(const QModelIndex &index) const
{
    switch (itemTree->kindOf(index)) {
    case ItemTree::RowKind::Item:
        return {ui->actionItemSetToActive, ui->actionItemRename,      ui->actionItemNew,
                ui->actionItemDelete,      ui->actionItemRequirement, ui->actionItemNotes};
    case ItemTree::RowKind::StoreData:
        return {ui->actionItemSetToActive, ui->actionItemDownload, ui->actionItemRequirement,
                ui->actionItemNotes};
    case ItemTree::RowKind::LiveGroup:
        return {ui->actionItemNew};
    case ItemTree::RowKind::TeamItem:
        // A colleague's item is shown, never changed.
        return {ui->actionItemSetToActive};
    case ItemTree::RowKind::TeamGroup:
    case ItemTree::RowKind::None:
        break;
    }
    return {};
}

bool Widget::eventFilter(QObject *obj, QEvent *event)
{
    if (event->type() != QEvent::ContextMenu)
        return QMainWindow::eventFilter(obj, event);

    QList<QAction *> actions;
    if (obj == ui->tv)
        actions = ui->tv->actions();
    else if (obj == ui->listWidget)
        actions = {ui->actionClearMsg};
    else if (obj == ui->tvItems && ui->tvItems->currentIndex().isValid())
        actions = itemActions(ui->tvItems->currentIndex());
    else
        return QMainWindow::eventFilter(obj, event);

    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addActions(actions);
    menu->exec(static_cast<QContextMenuEvent *>(event)->globalPos());
    return QMainWindow::eventFilter(obj, event);
}

void Widget::saveSettings()
{
    if (!settings.save())
        QMessageBox::warning(this, QString(), tr("Can not open file."), QMessageBox::Ok);
}

void Widget::restoreSettings()
{
    settings.restore();
}

void Widget::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // Only the first show restores: a window brought back from the task bar keeps where the user
    // has put it since.
    if (!settingsRestored) {
        settingsRestored = true;
        restoreSettings();
    }
}

void Widget::closeEvent(QCloseEvent *event)
{
    gauge->close();
    saveSettings();
    QMainWindow::closeEvent(event);
}

void Widget::timerEvent(QTimerEvent *)
{
    ui->Histogram1->addValue(double(QRandomGenerator::global()->bounded(2000)));
}

void Widget::slotAction()
{
    auto *action = qobject_cast<QAction *>(sender());
    if (action == ui->actionConnect) {
        if (!gauge->open())
            QMessageBox::critical(this, QString(), tr("Failed to open device."), QMessageBox::Ok);
    } else if (action == ui->actionDisconnect) {
        gauge->close();
    } else if (action == ui->actionOption) {
        if (controls->showOptions(&settings)) {
            saveSettings();
            setTeamServer();
        }
    } else if (action == ui->actionClose) {
        close();
    }
}

void Widget::setTeamServer()
{
    teamLink->setAddress(settings.teamServer);
    teamBranch->setAddress(settings.teamServer,
                           workspace->isSaving() ? workspace->path() : QString());
}

void Widget::slotDmmOpened()
{
    controls->showState();
}

void Widget::slotDmmClosed()
{
    stopAcquisition();
}

void Widget::slotUSBRefreshed()
{
    gauge->testPortPresence();
}

void Widget::on_actionStart_triggered()
{
    if (controls->activeTakesLiveReadings())
        gauge->start();
}

void Widget::on_actionStop_triggered()
{
    stopAcquisition();
}

void Widget::stopAcquisition()
{
    gauge->stop();
    controls->showState();
}

void Widget::on_actionTest_triggered()
{
    startTimer(TestFeedIntervalMs, Qt::CoarseTimer);
}

void Widget::on_actionManual_triggered()
{
    manualViewer->open();
}

void Widget::on_actionClearMsg_triggered()
{
    ui->listWidget->clear();
}

void Widget::slotMessage(QString msg)
{
    ui->listWidget->addItem(msg);
    ui->listWidget->scrollToBottom();
    statusPanel->showMessage(msg);
}

void Widget::slotDmmDisplay(const DmmData *data)
{
    // The window owns every reading it receives; one that is not stored goes here.
    std::unique_ptr<DmmData> reading(const_cast<DmmData *>(data));
    if (!gauge->isAcquiring() || !controls->activeTakesLiveReadings())
        return;
    const QString unit = reading->unit();
    items->append(items->active(), reading.release(), unit, gauge->rangeUm());
}

void Widget::on_actionItemRequirement_triggered()
{
    itemCommands->editRequirement();
}

void Widget::on_actionItemNotes_triggered()
{
    itemCommands->editNotes();
}

void Widget::on_actionJobDetails_triggered()
{
    JobDetailsDialog dialog(items->jobDetails(), &settings.folders, this);
    if (dialog.exec() == QDialog::Accepted)
        items->setJobDetails(dialog.details());
}

void Widget::newItem(QString name, ItemData::DataType type)
{
    itemCommands->add(name, type);
}

void Widget::on_actionItemNew_triggered()
{
    itemCommands->askNew();
}

void Widget::on_actionItemDelete_triggered()
{
    itemCommands->askDelete();
}

void Widget::on_actionItemRename_triggered()
{
    itemCommands->askRename();
}

void Widget::on_actionItemSetToActive_triggered()
{
    itemSetToActive(ui->tvItems->currentIndex());
}

void Widget::on_tvItems_activated(QModelIndex index)
{
    itemSetToActive(index);
}

void Widget::itemSetToActive(QModelIndex index)
{
    itemCommands->activate(index);
}

void Widget::slotCurrentRowChanged(QModelIndex current, QModelIndex)
{
    if (!current.isValid())
        return;
    ui->itemToolBar->clear();
    ui->itemToolBar->addActions(itemActions(current));
}

void Widget::slotItemModeleditDataChanged(QModelIndex index)
{
    if (index.row() != 0)
        qDebug() << "slotItemModeleditDataChanged  " << index.data(Qt::DisplayRole);
}

void Widget::on_actionItemDownload_triggered()
{
    download->run();
}

void Widget::slotStoreNum(int total, int num)
{
    emit updateDowndPos(total, num);
}

void Widget::slotDisplayStore(const DmmData *data)
{
    std::unique_ptr<DmmData> reading(const_cast<DmmData *>(data));
    ItemData *active = items->active();
    if (!active || active->dataType() != ItemData::StoreData || !download->takesReadings())
        return;
    // Stored readings are shown in micrometres, as the gauge keeps them.
    items->append(active, reading.release(), QStringLiteral("\u03BCm"), gauge->rangeUm());
}

void Widget::on_actionExport_triggered()
{
    files->exportFiles(workspace, teamBranch);
}

void Widget::on_actionExportData_triggered()
{
    files->exportData(itemTree->selectedItems(), workspace, teamBranch);
}

void Widget::on_actionImport_triggered()
{
    files->importWorkbook(items->nextName(QStringLiteral("Import")));
}

void Widget::on_actionImportData_triggered()
{
    files->importData();
}

void Widget::on_actionInspectionReport_triggered()
{
    files->inspectionReport(workspace, teamBranch);
}
