#include "widget.h"
#include "widgetui.h"

#include <algorithm>
#include <limits>
#include <memory>

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDesktopWidget>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSplitter>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QtDebug>

#include "app/devicebinder.h"
#include "app/dlgdownload.h"
#include "app/livepanel.h"
#include "app/livevaluelabel.h"
#include "app/manualviewer.h"
#include "app/requirementdialog.h"
#include "app/statuspanel.h"
#include "app/tablefollower.h"
#include "charts/chartpoint.h"
#include "charts/dmmchart.h"
#include "charts/histogram.h"
#include "data/datamodel.h"
#include "data/tvitemmodel.h"
#include "dmmdata.h"
#include "export/dlgexport.h"
#include "export/filechooser.h"
#include "export/itemsummary.h"
#include "export/pdfreport.h"
#include "export/reportcolumn.h"
#include "export/workbookexporter.h"
#include "export/workbookimporter.h"
#include "idmm.h"
#include "imydmm.h"
#include "options/optiondialog.h"
#include "options/optionsfile.h"
#include "serialdeviceinf.h"
#include "serialrs232virinf.h"
#include "store/workspace.h"
#include "store/workspacealert.h"

namespace {

// The gauge's USB virtual COM port.
constexpr int GaugeVendorId = 0x0483;
constexpr int GaugeProductId = 0x5740;
constexpr int TestFeedIntervalMs = 500;

QString micrometreUnit()
{
    return QStringLiteral("\u03BCm");
}

// Green for a coat that passes, red for one that fails, amber while the verdict is open.
QString verdictStyle(CoatingVerdict::State state)
{
    switch (state) {
    case CoatingVerdict::Pass:
        return QStringLiteral("color: rgb(0, 130, 0); font-weight: bold");
    case CoatingVerdict::Fail:
        return QStringLiteral("color: rgb(200, 0, 0); font-weight: bold");
    case CoatingVerdict::Pending:
        return QStringLiteral("color: rgb(180, 110, 0); font-weight: bold");
    case CoatingVerdict::NotJudged:
        break;
    }
    return QString();
}

// The histogram's thickness bands when no requirement gives it limits to lay them around.
QList<QPair<double, double>> standardBins()
{
    const double lowest = std::numeric_limits<double>::lowest();
    const double largest = std::numeric_limits<double>::max();
    return {{lowest, 0}, {0, 200},    {200, 400},   {400, 600},
            {600, 800},  {800, 1000}, {1000, 1250}, {1250, largest}};
}

void inform(QWidget *parent, const QString &text)
{
    QMessageBox::information(parent, QString(), text, QMessageBox::Ok);
}

} // namespace

Widget::Widget(QWidget *parent)
    : QMainWindow(parent)
    , ui(new WidgetUi)
    , deviceBinder(std::make_unique<DeviceBinder>())
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
    if (dmm)
        dmm->close();
    // Items have no Qt parent: the tree rows only point at them.
    dataModel->setItem(nullptr);
    dataModel->clearRows();
    for (int row = 0; row < itemModel->rowCount(); ++row) {
        const QModelIndex top = itemModel->index(row, 0);
        for (int child = 0; child < itemModel->rowCount(top); ++child)
            delete TvItemModel::itemAt(itemModel->index(child, 0, top));
        delete TvItemModel::itemAt(top);
    }
    delete dataModel;
    qDeleteAll(reportColumns);
    delete ui;
}

bool Widget::loadPlugins()
{
    QDir dir(QCoreApplication::applicationDirPath());
    dir.cd(QStringLiteral("Lib"));
    deviceBinder->load(dir);
    devicePlugin = OptionsFile::read(optionsFilePath()).devicePlugin.value_or(QString());
    return bindDevice(devicePlugin);
}

bool Widget::bindDevice(const QString &plugin)
{
    const DeviceBinder::Binding binding = deviceBinder->bind(plugin);
    serialDevice = binding.serialDevice;
    rs232Vir = binding.rs232Vir;
    dmm = binding.dmm;
    myDmm = binding.myDmm;
    return binding.complete();
}

void Widget::initObj()
{
    dataModel = new DataModel(nullptr);
    histogram = ui->Histogram1;
    histogram->setMargins(QMargins(30, 20, 20, 30));
    histogram->setRanges(standardBins());
    const QList<QPair<QString, int>> columns = {{QStringLiteral("No."), 2},
                                                {QStringLiteral("Time"), 3},
                                                {QStringLiteral("Value"), 3},
                                                {QStringLiteral("Unit"), 2},
                                                {QStringLiteral("Basis"), 2}};
    for (const auto &column : columns)
        reportColumns.append(new ReportColumn{column.first, QRect(), column.second});
}

void Widget::initWidget()
{
    ui->tv->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    ui->tv->horizontalHeader()->setSectionsClickable(false);
    ui->tv->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->tv->setModel(dataModel);
    const int widths[] = {80, 150, 100, 80, 80};
    for (int column = 0; column < 5; ++column)
        ui->tv->setColumnWidth(column, widths[column]);
    tableFollower = new TableFollower(ui->tv, this);

    ui->tvItems->installEventFilter(this);
    ui->tv->installEventFilter(this);
    ui->listWidget->installEventFilter(this);

    livePanel = new LivePanel(
        {ui->lcdItem, ui->lcdValue, ui->lcdUnit, ui->lcdBasis, ui->horizontalLayout_2}, this);
    statusPanel = new StatusPanel(ui->statusBar, ui->actionMessages);
    manualViewer = new ManualViewer(this);

    testPortPresence();

    QMenu *fileMenu = ui->menuBar->addMenu(tr("&File"));
    fileMenu->addAction(ui->actionItemNew);
    fileMenu->addSeparator();
    fileMenu->addAction(ui->actionConnect);
    fileMenu->addAction(ui->actionDisconnect);
    fileMenu->addAction(ui->actionStart);
    fileMenu->addAction(ui->actionStop);
    fileMenu->addSeparator();
    fileMenu->addAction(ui->actionImport);
    fileMenu->addAction(ui->actionExport);
    fileMenu->addSeparator();
    fileMenu->addAction(ui->actionOption);
    fileMenu->addSeparator();
    fileMenu->addAction(ui->actionClose);
    QMenu *viewMenu = ui->menuBar->addMenu(tr("&View"));
    viewMenu->addAction(ui->actionMessages);
    QMenu *helpMenu = ui->menuBar->addMenu(tr("&Help"));
    helpMenu->addAction(ui->actionManual);

    measureIcon = QIcon(QStringLiteral(":/image/measure.png"));

    ui->tvItems->setHeaderHidden(true);
    ui->tvItems->setAnimated(true);
    ui->tvItems->header()->setStretchLastSection(true);
    ui->tvItems->setEditTriggers(QAbstractItemView::NoEditTriggers);
    itemModel = new TvItemModel(this);
    itemModel->setHorizontalHeaderLabels({QStringLiteral("Name")});
    ui->tvItems->setModel(itemModel);

    workspace = new Workspace(this);
    new WorkspaceAlert(workspace, this);
    workspace->open(Workspace::defaultPath());

    auto *storeRow = new QStandardItem(QIcon(QStringLiteral(":/image/rom.png")), tr("Store Data"));
    itemModel->appendRow(storeRow);
    auto *storeItem = new ItemData(storeRow->text(), ItemData::StoreData);
    storeRow->setData(QVariant::fromValue(storeItem), TvItemModel::ItemDataRole);
    liveDataRow = new QStandardItem(QIcon(QStringLiteral(":/image/live.png")), tr("Live Data"));
    itemModel->appendRow(liveDataRow);
    liveDataRow->setData(QVariant::fromValue(new ItemData(liveDataRow->text(), ItemData::LiveData)),
                         TvItemModel::ItemDataRole);
    ItemData *restoredActive = nullptr;
    QList<ItemData *> items = workspace->restore(storeItem, &restoredActive);
    if (items.isEmpty()) {
        items.append(new ItemData(QStringLiteral("Measure%1").arg(1), ItemData::MeasureData));
        workspace->itemAdded(items.first());
    }
    QModelIndex first = itemModel->index(0, 0);
    for (ItemData *item : qAsConst(items)) {
        auto *row = new QStandardItem(measureIcon, item->name());
        liveDataRow->appendRow(row);
        row->setData(QVariant::fromValue(item), TvItemModel::ItemDataRole);
        if (item == restoredActive || (!restoredActive && item == items.first()))
            first = row->index();
    }
    ui->tvItems->expandAll();

    itemSetToActive(first);
    ui->tvItems->setCurrentIndex(first);
    slotCurrentRowChanged(first, QModelIndex());

    ui->tabWidget->setStyleSheet(QStringLiteral("QTabBar::tab{min-width:100px}"));
    ui->tabWidget->setTabText(0, tr("Table"));
    ui->tabWidget->setTabText(1, tr("Histogram"));
    ui->tabWidget->setTabText(2, tr("Chart"));
    ui->tabWidget->setTabIcon(0, QIcon(QStringLiteral(":/image/table.png")));
    ui->tabWidget->setTabIcon(1, QIcon(QStringLiteral(":/image/item.png")));
    ui->tabWidget->setTabIcon(2, QIcon(QStringLiteral(":/image/chart.png")));

    const QString thickness = QStringLiteral("%1(%2)").arg(tr("Thickness"), micrometreUnit());
    ui->chart->setLeftMargin(70);
    ui->chart->setBottomMargin(50);
    ui->chart->setYTitle(thickness);
    ui->chart->setXTitle(tr("Time"));

    histogram->setMargins(QMargins(100, 20, 20, 50));
    histogram->setYTitle(thickness);
    histogram->setXTitle(tr("Rate"));

    // The message list opens from View > Messages or the status bar's button.
    ui->listWidget->hide();
    connect(ui->actionMessages, &QAction::toggled, ui->listWidget, &QWidget::setVisible);

    auto *spacer = new QWidget();
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    ui->mainToolBar->insertWidget(ui->actionClose, spacer);
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
    connectDevice();
    connect(itemModel, &TvItemModel::editDataChanged, this, &Widget::slotItemModeleditDataChanged);
    connect(ui->tvItems->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &Widget::slotCurrentRowChanged);
    for (QAction *action :
         {ui->actionConnect, ui->actionDisconnect, ui->actionOption, ui->actionClose})
        connect(action, &QAction::triggered, this, &Widget::slotAction);
}

void Widget::connectDevice()
{
    if (dmm) {
        QObject *device = dmm->getObject();
        connect(device, SIGNAL(opened()), this, SLOT(slotDmmOpened()));
        connect(device, SIGNAL(closed()), this, SLOT(slotDmmClosed()));
        connect(device, SIGNAL(message(QString)), this, SLOT(slotMessage(QString)));
        connect(device, SIGNAL(display(const DmmData *)), this,
                SLOT(slotDmmDisplay(const DmmData *)));
        connect(device, SIGNAL(displayStore(const DmmData *)), this,
                SLOT(slotDisplayStore(const DmmData *)));
        connect(device, SIGNAL(storeNum(int, int)), this, SLOT(slotStoreNum(int, int)));
    }
    if (serialDevice)
        connect(serialDevice->getObject(), SIGNAL(usbRefreshed()), this, SLOT(slotUSBRefreshed()));
}

void Widget::showOptions()
{
    const QString bound = deviceBinder->bind(devicePlugin).id;
    OptionDialog dialog(this);
    for (const DeviceBinder::Plugin &plugin : deviceBinder->plugins())
        if (plugin.offersAll())
            dialog.addGauge(plugin.id, plugin.name, plugin.instance);
    dialog.setCurrentGauge(bound);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString chosen = dialog.currentGauge();
    if (!chosen.isEmpty() && chosen != bound) {
        // The old gauge is closed and forgotten; the window is disconnected until Connect.
        if (dmm) {
            dmm->close();
            disconnect(dmm->getObject(), nullptr, this, nullptr);
        }
        if (serialDevice)
            disconnect(serialDevice->getObject(), nullptr, this, nullptr);
        bindDevice(chosen);
        connectDevice();
        devicePlugin = chosen;
        saveSettings();
    }
    // The gauge's port may have changed with its settings.
    testPortPresence();
}

bool Widget::eventFilter(QObject *obj, QEvent *event)
{
    if (event->type() != QEvent::ContextMenu)
        return QMainWindow::eventFilter(obj, event);

    const QString name = obj->objectName();
    QList<QAction *> actions;
    if (name == QLatin1String("tv")) {
        return false;
    } else if (name == QLatin1String("listWidget")) {
        actions = {ui->actionClearMsg};
    } else if (name == QLatin1String("tvItems")) {
        const QModelIndex current = ui->tvItems->currentIndex();
        if (!current.isValid())
            return QMainWindow::eventFilter(obj, event);
        if (current.parent().isValid())
            actions = {ui->actionItemSetToActive, ui->actionItemRename, ui->actionItemNew,
                       ui->actionItemDelete, ui->actionItemRequirement};
        else if (current.row() == 0)
            actions = {ui->actionItemSetToActive, ui->actionItemDownload,
                       ui->actionItemRequirement};
        else if (current.row() == 1)
            actions = {ui->actionItemNew};
    } else {
        return QMainWindow::eventFilter(obj, event);
    }

    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addActions(actions);
    menu->exec(static_cast<QContextMenuEvent *>(event)->globalPos());
    return QMainWindow::eventFilter(obj, event);
}

QString Widget::optionsFilePath() const
{
    // An installation folder the user cannot write would make every close fail to save; the
    // settings then live in the user's own configuration folder instead.
    const QString appDir = QCoreApplication::applicationDirPath();
    const QFileInfo beside(appDir + QStringLiteral("/options.xml"));
    if (QFileInfo(appDir).isWritable() && (!beside.exists() || beside.isWritable()))
        return beside.filePath();
    const QString userDir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(userDir);
    return userDir + QStringLiteral("/options.xml");
}

void Widget::saveSettings()
{
    if (!OptionsFile::write(optionsFilePath(), saveGeometry(), saveState(0), sceneFileName,
                            devicePlugin, recentFolders.toMap()))
        QMessageBox::warning(this, QString(), tr("Can not open file."), QMessageBox::Ok);
}

void Widget::restoreSettings()
{
    const OptionsFile::Contents contents = OptionsFile::read(optionsFilePath());
    if (contents.geometry)
        restoreGeometry(*contents.geometry);
    if (contents.state)
        restoreState(*contents.state, 0);
    if (contents.sceneFileName)
        sceneFileName = *contents.sceneFileName;
    if (!contents.folders.isEmpty())
        recentFolders.setMap(contents.folders);
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
    if (dmm)
        dmm->close();
    saveSettings();
    QMainWindow::closeEvent(event);
}

void Widget::timerEvent(QTimerEvent *)
{
    histogram->addValue(double(QRandomGenerator::global()->bounded(2000)));
}

void Widget::testPortPresence()
{
    ui->actionConnect->setEnabled(rs232Vir &&
                                  rs232Vir->isPortPresent(GaugeVendorId, GaugeProductId));
}

ItemData *Widget::storeDataItem() const
{
    return TvItemModel::itemAt(itemModel->index(0, 0));
}

void Widget::slotAction()
{
    auto *action = qobject_cast<QAction *>(sender());
    if (!action)
        return;
    if (action == ui->actionConnect) {
        if (dmm && !dmm->open(serialDevice))
            QMessageBox::critical(this, QString(), tr("Failed to open device."), QMessageBox::Ok);
    } else if (action == ui->actionDisconnect) {
        if (dmm)
            dmm->close();
    } else if (action == ui->actionOption) {
        showOptions();
    } else if (action == ui->actionClose) {
        close();
    }
}

void Widget::slotDmmOpened()
{
    ui->actionConnect->setEnabled(false);
    ui->actionDisconnect->setEnabled(!ui->actionConnect->isEnabled());
    ui->actionStart->setEnabled(activeTakesLiveReadings());
    ui->actionStop->setEnabled(false);
    showAcquisitionState();
}

void Widget::slotDmmClosed()
{
    ui->actionConnect->setEnabled(true);
    ui->actionDisconnect->setEnabled(!ui->actionConnect->isEnabled());
    on_actionStop_triggered();
    ui->actionStart->setEnabled(false);
}

void Widget::slotUSBRefreshed()
{
    testPortPresence();
}

void Widget::on_actionStart_triggered()
{
    if (!activeTakesLiveReadings())
        return;
    acquiring = true;
    ui->actionStart->setEnabled(false);
    ui->actionStop->setEnabled(acquiring);
    showAcquisitionState();
}

void Widget::on_actionStop_triggered()
{
    stopAcquisition();
}

void Widget::stopAcquisition()
{
    acquiring = false;
    ui->actionStart->setEnabled(dmm && dmm->isOpen() && activeTakesLiveReadings());
    ui->actionStop->setEnabled(acquiring);
    showAcquisitionState();
}

void Widget::showAcquisitionState()
{
    if (!dmm || !dmm->isOpen())
        statusPanel->setState(StatusPanel::State::Disconnected);
    else if (acquiring && activeItem)
        statusPanel->setState(StatusPanel::State::Recording, activeItem->name());
    else
        statusPanel->setState(StatusPanel::State::Connected);
}

bool Widget::activeTakesLiveReadings() const
{
    return activeItem && activeItem->dataType() == ItemData::MeasureData;
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

void Widget::setThicknessUnit(bool micrometres)
{
    const QString title = micrometres
                              ? QStringLiteral("%1(%2)").arg(tr("Thickness"), micrometreUnit())
                              : tr("Thickness(mil)");
    const int decimals = micrometres ? 1 : 2;
    histogram->setYTitle(title);
    histogram->setDecimals(decimals);
    ui->chart->setYTitle(title);
    ui->chart->setDecimals(decimals);
}

void Widget::slotDmmDisplay(const DmmData *data)
{
    // The window owns every reading it receives; one that is not stored goes here.
    std::unique_ptr<DmmData> reading(const_cast<DmmData *>(data));
    const QString unit = reading->unit();
    if (!acquiring || !activeItem || activeItem->dataType() != ItemData::MeasureData)
        return;

    if (unit != activeItem->unit()) {
        setThicknessUnit(unit.toLower() == micrometreUnit());
        activeItem->setUnit(unit);
        if (activeItem->requirement().isSet())
            showRequirement();
    }

    DmmData *stored = reading.release();
    activeItem->appendReading(stored, true);
    workspace->itemChanged(activeItem);
    // The item's unit is now the reading's own.
    const double value = activeItem->valueOf(stored);
    const QString text = activeItem->textOf(stored);

    dataModel->appendReadingRow(stored);
    tableFollower->rowsAppended();
    histogram->addValue(value);
    const QString label = QStringLiteral("%1%2 %3").arg(text, unit, stored->basis());
    ui->chart->addPoint(new ChartPoint(value, stored->time(), label));

    livePanel->showReading(text, activeItem->unit(), stored->basis());
    showStatistics();
}

void Widget::refreshItemViews()
{
    if (acquiring || !activeItem)
        return;
    const bool micrometres = activeItem->isMicrometre();
    const QList<DmmData *> readings = activeItem->readings();
    QList<double> values;
    QList<ChartPoint *> points;
    values.reserve(readings.size());
    points.reserve(readings.size());
    for (const DmmData *reading : readings) {
        const double value = activeItem->valueOf(reading);
        values.append(value);
        points.append(new ChartPoint(value, reading->time(), QVariant()));
    }
    // Titles, decimals, the unit label (through the live panel below) and the statistics follow
    // the unit the values are in.
    setThicknessUnit(micrometres);
    activeItem->refreshStatisticsTexts();

    dataModel->clearRows();
    dataModel->setReadings(readings);
    ui->tv->scrollToBottom();

    histogram->clear();
    histogram->setDecimals(micrometres ? 1 : 2);
    histogram->addValues(values);

    ui->chart->clear();
    ui->chart->setDecimals(micrometres ? 1 : 2);
    ui->chart->addPoints(points);

    livePanel->showItem(activeItem);
    showRequirement();
    showStatistics();
}

void Widget::showStatistics()
{
    if (!activeItem)
        return;
    const StatData *s = activeItem->statistics();
    ui->lcdNum->setText(QStringLiteral("Num:%1").arg(s->num));
    ui->lcdAvg->setText(QStringLiteral("Avg:") + s->avg);
    ui->lcdMin->setText(QStringLiteral("Min:") + s->min);
    ui->lcdMax->setText(QStringLiteral("Max:") + s->max);
    ui->lcdOverRange->setText(QStringLiteral("OL:%1").arg(s->overRange));
    ui->lcdOverRange->setVisible(s->overRange > 0);
    ui->lcdSd->setText(QStringLiteral("SD:") + s->sd);
    ui->lcdCv->setText(QStringLiteral("CV:") + s->cv);
    showVerdict();
}

void Widget::showVerdict()
{
    const CoatingVerdict verdict = activeItem->evaluation().verdict();
    ui->lcdVerdict->setVisible(verdict.state != CoatingVerdict::NotJudged);
    QString text = verdict.headline();
    if (verdict.overRange > 0)
        text += tr(" (%1 over range, not judged)").arg(verdict.overRange);
    ui->lcdVerdict->setText(text);
    // A new style sheet restyles the label: only when the state changes, not every reading.
    const QString style = verdictStyle(verdict.state);
    if (ui->lcdVerdict->styleSheet() != style)
        ui->lcdVerdict->setStyleSheet(style);
}

void Widget::on_actionItemRequirement_triggered()
{
    const QModelIndex index = ui->tvItems->currentIndex();
    ItemData *item = TvItemModel::itemAt(index);
    if (!item || index == liveDataRow->index())
        return;
    RequirementDialog dialog(item, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    item->setRequirement(dialog.requirement());
    workspace->itemChanged(item);
    if (item != activeItem)
        return;
    showRequirement();
    showStatistics();
}

void Widget::showRequirement()
{
    // Without an active item the views show nothing to judge.
    const QList<CoatingRequirement::Line> lines =
        activeItem ? activeItem->requirement().linesIn(activeItem->unit())
                   : QList<CoatingRequirement::Line>();
    if (!activeItem)
        ui->lcdVerdict->hide();
    ui->chart->setMarkLines(lines);
    if (lines.isEmpty()) {
        histogram->setRanges(standardBins());
    } else {
        const auto [lowest, highest] =
            std::minmax_element(lines.cbegin(), lines.cend(),
                                [](const auto &a, const auto &b) { return a.value < b.value; });
        histogram->setRanges(Histogram::rangesAround(lowest->value, highest->value));
    }
    histogram->setMarkLines(lines);
    dataModel->refreshMarks();
}

void Widget::newItem(QString name, ItemData::DataType type)
{
    if (name.isEmpty())
        return;
    stopAcquisition();
    auto *row = new QStandardItem(measureIcon, name);
    liveDataRow->appendRow(row);
    auto *item = new ItemData(name, type);
    row->setData(QVariant::fromValue(item), TvItemModel::ItemDataRole);
    workspace->itemAdded(item);

    const QModelIndex index = row->index();
    itemSetToActive(index);
    ui->tvItems->setCurrentIndex(index);
    slotCurrentRowChanged(index, QModelIndex());
}

void Widget::on_actionItemNew_triggered()
{
    const int number = 1 + itemModel->countItemsWithNamePrefix(QStringLiteral("Measure"));
    const QString name =
        QInputDialog::getText(this, QString(), QStringLiteral("Name:"), QLineEdit::Normal,
                              QStringLiteral("Measure%1").arg(number))
            .trimmed();
    if (!name.isEmpty())
        newItem(name, ItemData::MeasureData);
}

void Widget::on_actionItemDelete_triggered()
{
    const QModelIndex index = ui->tvItems->currentIndex();
    // Only item rows can go: the two group rows hold the tree together.
    if (!index.isValid() || !index.parent().isValid())
        return;
    if (QMessageBox::question(this, QString(), tr("Are you sure delete this item?"),
                              QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) != QMessageBox::Yes)
        return;

    ItemData *item = TvItemModel::itemAt(index);
    const bool wasActive = item == activeItem;
    if (wasActive) {
        dataModel->clearRows();
        dataModel->setItem(nullptr);
        histogram->clear();
        ui->chart->clear();
        activeItem = nullptr;
        showRequirement();
    }
    itemModel->removeRow(index.row(), index.parent());
    workspace->itemRemoved(item);
    delete item;

    if (wasActive) {
        itemSetToActive(ui->tvItems->currentIndex());
        // With no item active nothing can take live readings.
        if (!activeItem)
            stopAcquisition();
        livePanel->showItem(activeItem);
    }
}

void Widget::on_actionItemRename_triggered()
{
    const QModelIndex index = ui->tvItems->currentIndex();
    if (!index.isValid() || (index.row() == 0 && !index.parent().isValid()))
        return;
    const QString name =
        QInputDialog::getText(this, QString(), QStringLiteral("New name:"), QLineEdit::Normal,
                              index.data(Qt::DisplayRole).toString())
            .trimmed();
    if (name.isEmpty())
        return;
    if (ItemData *item = TvItemModel::itemAt(index)) {
        item->setName(name);
        workspace->itemChanged(item);
    }
    stopAcquisition();
    livePanel->showItem(activeItem);
    ui->tvItems->update(index);
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
    if (!index.isValid() || index == liveDataRow->index())
        return;
    ItemData *item = TvItemModel::itemAt(index);
    if (!item || item == activeItem)
        return;

    activeItem = item;
    activeItem->setUnit(micrometreUnit());
    workspace->itemActivated(activeItem);
    dataModel->setItem(activeItem);

    for (int row = 0; row < itemModel->rowCount(); ++row) {
        const QModelIndex top = itemModel->index(row, 0);
        itemModel->setData(top, false, TvItemModel::ActiveRole);
        for (int child = 0; child < itemModel->rowCount(top); ++child)
            itemModel->setData(itemModel->index(child, 0, top), false, TvItemModel::ActiveRole);
    }
    itemModel->setData(index, true, TvItemModel::ActiveRole);

    stopAcquisition();
    refreshItemViews();
}

void Widget::slotCurrentRowChanged(QModelIndex current, QModelIndex)
{
    if (!current.isValid())
        return;
    ui->itemToolBar->clear();
    if (current.parent().isValid()) {
        ui->itemToolBar->addActions({ui->actionItemSetToActive, ui->actionItemRename,
                                     ui->actionItemNew, ui->actionItemDelete,
                                     ui->actionItemRequirement});
    } else if (current.row() == 0) {
        ui->itemToolBar->addActions(
            {ui->actionItemSetToActive, ui->actionItemDownload, ui->actionItemRequirement});
    } else if (current.row() == 1) {
        ui->itemToolBar->addAction(ui->actionItemNew);
    }
}

void Widget::slotItemModeleditDataChanged(QModelIndex index)
{
    if (index.row() != 0)
        qDebug() << "slotItemModeleditDataChanged  " << index.data(Qt::DisplayRole);
}

void Widget::on_actionItemDownload_triggered()
{
    if (!dmm || !myDmm || !dmm->isOpen())
        return;
    dataModel->clearRows();
    histogram->clear();
    ui->chart->clear();
    storeDataItem()->clearReadings();
    workspace->readingsCleared(storeDataItem());
    itemSetToActive(itemModel->index(0, 0));
    myDmm->requestStoredData();

    auto *dialog = new DlgDownload(this);
    dialog->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::CustomizeWindowHint);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(this, &Widget::updateDowndPos, dialog, &DlgDownload::updatePos);
    dialog->exec();
    ItemData *store = storeDataItem();
    const int count = store->readings().size();
    statusPanel->showMessage(count == 1
                                 ? tr("Download finished: 1 reading in Store Data.")
                                 : tr("Download finished: %1 readings in Store Data.").arg(count));
    if (activeItem == store)
        livePanel->showItem(store);
}

void Widget::slotStoreNum(int total, int num)
{
    emit updateDowndPos(total, num);
}

void Widget::slotDisplayStore(const DmmData *data)
{
    std::unique_ptr<DmmData> reading(const_cast<DmmData *>(data));
    if (!activeItem || activeItem->dataType() != ItemData::StoreData)
        return;

    activeItem->setUnit(micrometreUnit());
    // The same titles as when the item is shown again: the values are micrometres.
    setThicknessUnit(true);

    DmmData *stored = reading.release();
    activeItem->appendReading(stored, true);
    workspace->itemChanged(activeItem);
    dataModel->appendReadingRow(stored);
    tableFollower->rowsAppended();
    const double value = activeItem->valueOf(stored);
    histogram->addValue(value);
    const QString label =
        QStringLiteral("%1%2 %3").arg(stored->umText(), stored->unit(), stored->basis());
    ui->chart->addPoint(new ChartPoint(value, stored->time(), label));
    showStatistics();
}

void Widget::on_actionExport_triggered()
{
    dlgExport dialog(nullptr);
    dialog.setSceneFile(sceneFileName);
    dialog.setFolders(&recentFolders);
    const int result = dialog.exec();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (result == QDialog::Accepted) {
        switch (dialog.exportType()) {
        case 0:
            exportExcel();
            break;
        case 1:
        case 2:
            exportPicture(dialog.exportType());
            break;
        case 3: {
            // Show every page once so that the histogram and the chart have current pictures.
            const int current = ui->tabWidget->currentIndex();
            for (int page = 0; page < ui->tabWidget->count(); ++page) {
                ui->tabWidget->setCurrentIndex(page);
                QElapsedTimer wait;
                wait.start();
                while (wait.elapsed() < 10)
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
            }
            ui->tabWidget->setCurrentIndex(current);
            const QString scene = dialog.sceneFile();
            if (QFileInfo::exists(scene))
                sceneFileName = scene;
            exportPdf(scene);
            break;
        }
        default:
            break;
        }
    }
    QApplication::restoreOverrideCursor();
}

void Widget::exportPicture(int exportType)
{
    const bool isHistogram = exportType == 1;
    const QString fileName = FileChooser::saveFileName(
        this,
        isHistogram ? tr("Export the histogram to a picture.")
                    : tr("Export the chart to a picture."),
        tr("JPG File(*.jpg)"),
        {QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png")}, &recentFolders,
        RecentFolders::Picture);
    if (fileName.isEmpty())
        return;
    // The picture must show the active item, also when its page has not been shown since the
    // item changed, or never: a hidden page is first given the size the tab widget would give it.
    QWidget *page = isHistogram ? ui->tab_2 : static_cast<QWidget *>(ui->chart);
    if (!page->isVisible()) {
        page->resize(ui->tabWidget->currentWidget()->size());
        if (page->layout())
            page->layout()->setGeometry(page->rect());
    }
    if (isHistogram)
        histogram->renderPixmap();
    else
        ui->chart->renderPixmap();
    const bool saved =
        isHistogram ? histogram->savePixmap(fileName) : ui->chart->savePixmap(fileName);
    if (!saved)
        inform(this, tr("The picture is exported failed."));
}

void Widget::exportExcel()
{
    const QString fileName = FileChooser::saveFileName(
        this, tr("Export the datas to a excel file."), tr("Excel File(*.xls)"),
        {QStringLiteral("xls")}, &recentFolders, RecentFolders::Workbook);
    if (fileName.isEmpty())
        return;
    const ItemSummary::Rows summary =
        activeItem ? ItemSummary::rows(*activeItem) : ItemSummary::Rows();
    if (WorkbookExporter::exportTable(*dataModel, fileName, summary))
        inform(this, tr("The datas is exported successfully."));
    else
        inform(this, tr("The datas is exported failed."));
}

void Widget::importExcel()
{
    const QString fileName =
        FileChooser::openFileName(this, tr("Import the datas from a excel file."),
                                  tr("Excel File(*.xls)"), &recentFolders, RecentFolders::Import);
    if (fileName.isEmpty())
        return;

    QList<QVariantList> rows;
    if (!WorkbookImporter::readRows(fileName, &rows)) {
        inform(this, tr("The datas is imported failed."));
        return;
    }
    // Blank rows at the end of the sheet's used range are no readings.
    while (rows.size() > 1 && WorkbookImporter::isBlankRow(rows.last()))
        rows.removeLast();

    ui->tvItems->setEnabled(false);
    const int number = 1 + itemModel->countItemsWithNamePrefix(QStringLiteral("Import"));
    newItem(QStringLiteral("Import%1").arg(number), ItemData::ImportData);
    bool failed = false;
    for (int row = 1; row < rows.size(); ++row) {
        DmmData *reading = WorkbookImporter::readingFromRow(rows.at(row));
        if (!reading) {
            inform(this, tr("The datas is imported failed."));
            failed = true;
            break;
        }
        activeItem->appendReading(reading, false);
    }
    ui->tvItems->setEnabled(true);

    const QList<DmmData *> readings = activeItem->readings();
    if (!readings.isEmpty())
        activeItem->setUnit(readings.last()->unit());
    activeItem->updateStatistics();
    workspace->itemChanged(activeItem);
    refreshItemViews();
    if (!failed)
        inform(this, tr("The datas is imported successfully."));
}

void Widget::on_actionImport_triggered()
{
    importExcel();
}

void Widget::exportPdf(const QString &sceneFile)
{
    const QString fileName = FileChooser::saveFileName(
        this, tr("Export the datas to a pdf file."), tr("PDF file(*.pdf)"), {QStringLiteral("pdf")},
        &recentFolders, RecentFolders::Pdf);
    if (fileName.isEmpty())
        return;
    const ItemSummary::Rows summary =
        activeItem ? ItemSummary::rows(*activeItem) : ItemSummary::Rows();
    if (PdfReport::write(fileName, sceneFile, *dataModel, histogram->pixmap(), ui->chart->pixmap(),
                         reportColumns, summary))
        inform(this, tr("The datas is exported successfully."));
    else
        inform(this, tr("The datas is exported failed."));
}
