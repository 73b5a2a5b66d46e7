#include "widgetui.h"

#include <QAction>
#include <QCoreApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include "actionshortcut.h"
#include "dmmchart.h"
#include "histogram.h"
#include "livevaluelabel.h"

namespace {

QAction *makeAction(QMainWindow *window, const char *name, const char *iconPath)
{
    auto *action = new QAction(window);
    action->setObjectName(QLatin1String(name));
    if (iconPath) {
        QIcon icon;
        icon.addFile(QLatin1String(iconPath), QSize(), QIcon::Normal, QIcon::Off);
        action->setIcon(icon);
    }
    return action;
}

void setGridMargins(QLayout *layout, int spacing, int margin)
{
    layout->setSpacing(spacing);
    layout->setContentsMargins(margin, margin, margin, margin);
}

QSizePolicy policy(QSizePolicy::Policy h, QSizePolicy::Policy v, int hStretch = 0, int vStretch = 0)
{
    QSizePolicy p(h, v);
    p.setHorizontalStretch(hStretch);
    p.setVerticalStretch(vStretch);
    return p;
}

} // namespace

void WidgetUi::setupUi(QMainWindow *window)
{
    if (window->objectName().isEmpty())
        window->setObjectName(QStringLiteral("Widget"));
    window->resize(690, 428);

    actionConnect = makeAction(window, "actionConnect", ":/image/connect.png");
    actionConnect->setEnabled(false);
    actionDisconnect = makeAction(window, "actionDisconnect", ":/image/disconnect.png");
    actionDisconnect->setEnabled(false);
    actionOption = makeAction(window, "actionOption", ":/image/options.png");
    actionClose = makeAction(window, "actionClose", ":/image/exit.png");
    actionStart = makeAction(window, "actionStart", ":/image/play.png");
    actionStart->setEnabled(false);
    actionStop = makeAction(window, "actionStop", ":/image/stop.png");
    actionStop->setEnabled(false);
    actionTest = makeAction(window, "actionTest", nullptr);
    actionManual = makeAction(window, "actionManual", ":/image/help.png");
    actionClearMsg = makeAction(window, "actionClearMsg", ":/image/delete.png");
    actionItemNew = makeAction(window, "actionItemNew", ":/image/new.png");
    actionItemDelete = makeAction(window, "actionItemDelete", ":/image/delete.png");
    actionItemRename = makeAction(window, "actionItemRename", ":/image/rename.png");
    actionItemSetToActive = makeAction(window, "actionItemSetToActive", ":/image/active.png");
    actionItemDownload = makeAction(window, "actionItemDownload", ":/image/pcdownload.png");
    actionItemRequirement = makeAction(window, "actionItemRequirement", ":/image/requirement.png");
    actionItemNotes = makeAction(window, "actionItemNotes", ":/image/notes.png");
    actionJobDetails = makeAction(window, "actionJobDetails", nullptr);
    actionExport = makeAction(window, "actionExport", ":/image/export.png");
    actionExportData = makeAction(window, "actionExportData", nullptr);
    actionImport = makeAction(window, "actionImport", ":/image/import.png");
    actionImportData = makeAction(window, "actionImportData", nullptr);
    actionInspectionReport = makeAction(window, "actionInspectionReport", nullptr);
    actionMessages = makeAction(window, "actionMessages", nullptr);
    actionMessages->setCheckable(true);

    centralWidget = new QWidget(window);
    centralWidget->setObjectName(QStringLiteral("centralWidget"));
    gridLayout_3 = new QGridLayout(centralWidget);
    gridLayout_3->setObjectName(QStringLiteral("gridLayout_3"));
    setGridMargins(gridLayout_3, 6, 11);

    splitter_2 = new QSplitter(centralWidget);
    splitter_2->setObjectName(QStringLiteral("splitter_2"));
    splitter_2->setOrientation(Qt::Horizontal);
    splitter_2->setHandleWidth(3);

    widget_2 = new QWidget(splitter_2);
    widget_2->setObjectName(QStringLiteral("widget_2"));
    widget_2->setSizePolicy(policy(QSizePolicy::Preferred, QSizePolicy::Preferred, 2));
    widget_2->setMinimumSize(QSize(80, 0));
    gridLayout_2 = new QGridLayout(widget_2);
    gridLayout_2->setObjectName(QStringLiteral("gridLayout_2"));
    setGridMargins(gridLayout_2, 2, 1);

    lcd = new QFrame(widget_2);
    lcd->setObjectName(QStringLiteral("lcd"));
    // The panel takes a share of the column's height, and the reading grows with it.
    lcd->setSizePolicy(policy(QSizePolicy::Minimum, QSizePolicy::Expanding, 0, 2));
    lcd->setMinimumSize(QSize(100, 0));
    lcd->setStyleSheet(QStringLiteral("background-color: rgba(255, 255, 255, 255)"));
    lcd->setFrameShape(QFrame::StyledPanel);
    lcd->setFrameShadow(QFrame::Plain);
    gridLayout_6 = new QGridLayout(lcd);
    gridLayout_6->setObjectName(QStringLiteral("gridLayout_6"));
    setGridMargins(gridLayout_6, 6, 6);

    // Row 0: the active item's name; rows 1-2: the reading with its unit and basis beside it;
    // row 3: the statistics, and a row for further figures.
    lcdItem = new QLabel(lcd);
    lcdItem->setObjectName(QStringLiteral("lcdItem"));
    QFont itemFont = lcdItem->font();
    itemFont.setBold(true);
    lcdItem->setFont(itemFont);
    lcdItem->setSizePolicy(policy(QSizePolicy::Ignored, QSizePolicy::Fixed));
    gridLayout_6->addWidget(lcdItem, 0, 0, 1, 2);

    lcdValue = new LiveValueLabel(lcd);
    lcdValue->setObjectName(QStringLiteral("lcdValue"));
    gridLayout_6->addWidget(lcdValue, 1, 0, 2, 1);

    QFont sideFont = lcdItem->font();
    sideFont.setPointSizeF(sideFont.pointSizeF() * 1.5);
    lcdUnit = new QLabel(lcd);
    lcdUnit->setObjectName(QStringLiteral("lcdUnit"));
    lcdUnit->setSizePolicy(policy(QSizePolicy::Minimum, QSizePolicy::Preferred));
    lcdUnit->setMinimumSize(QSize(10, 0));
    lcdUnit->setFont(sideFont);
    lcdUnit->setAlignment(Qt::AlignLeading | Qt::AlignLeft | Qt::AlignBottom);
    gridLayout_6->addWidget(lcdUnit, 1, 1, 1, 1);

    lcdBasis = new QLabel(lcd);
    lcdBasis->setObjectName(QStringLiteral("lcdBasis"));
    lcdBasis->setSizePolicy(policy(QSizePolicy::Minimum, QSizePolicy::Preferred));
    lcdBasis->setMinimumSize(QSize(10, 0));
    lcdBasis->setFont(sideFont);
    lcdBasis->setAlignment(Qt::AlignLeading | Qt::AlignLeft | Qt::AlignTop);
    gridLayout_6->addWidget(lcdBasis, 2, 1, 1, 1);

    verticalLayout = new QVBoxLayout();
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setSpacing(2);
    horizontalLayout = new QHBoxLayout();
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setSpacing(0);
    horizontalLayout->setContentsMargins(-1, -1, -1, 0);
    lcdNum = new QLabel(lcd);
    lcdNum->setObjectName(QStringLiteral("lcdNum"));
    horizontalLayout->addWidget(lcdNum);
    lcdAvg = new QLabel(lcd);
    lcdAvg->setObjectName(QStringLiteral("lcdAvg"));
    lcdAvg->setSizePolicy(policy(QSizePolicy::Minimum, QSizePolicy::Preferred));
    horizontalLayout->addWidget(lcdAvg);
    verticalLayout->addLayout(horizontalLayout);

    horizontalLayout1 = new QHBoxLayout();
    horizontalLayout1->setObjectName(QStringLiteral("horizontalLayout1"));
    horizontalLayout1->setSpacing(0);
    lcdMin = new QLabel(lcd);
    lcdMin->setObjectName(QStringLiteral("lcdMin"));
    horizontalLayout1->addWidget(lcdMin);
    lcdMax = new QLabel(lcd);
    lcdMax->setObjectName(QStringLiteral("lcdMax"));
    horizontalLayout1->addWidget(lcdMax);
    verticalLayout->addLayout(horizontalLayout1);

    horizontalLayout_3 = new QHBoxLayout();
    horizontalLayout_3->setObjectName(QStringLiteral("horizontalLayout_3"));
    horizontalLayout_3->setSpacing(0);
    lcdSd = new QLabel(lcd);
    lcdSd->setObjectName(QStringLiteral("lcdSd"));
    horizontalLayout_3->addWidget(lcdSd);
    lcdCv = new QLabel(lcd);
    lcdCv->setObjectName(QStringLiteral("lcdCv"));
    horizontalLayout_3->addWidget(lcdCv);
    verticalLayout->addLayout(horizontalLayout_3);
    lcdVerdict = new QLabel(lcd);
    lcdVerdict->setObjectName(QStringLiteral("lcdVerdict"));
    lcdVerdict->setWordWrap(true);
    lcdVerdict->hide();
    verticalLayout->addWidget(lcdVerdict);

    horizontalLayout_2 = new QHBoxLayout();
    horizontalLayout_2->setObjectName(QStringLiteral("horizontalLayout_2"));
    horizontalLayout_2->setSpacing(6);
    // The count of over-range readings, shown only while there are any.
    lcdOverRange = new QLabel(lcd);
    lcdOverRange->setObjectName(QStringLiteral("lcdOverRange"));
    lcdOverRange->setVisible(false);
    horizontalLayout_2->addWidget(lcdOverRange);
    // The count of readings the inspector excluded, likewise.
    lcdExcluded = new QLabel(lcd);
    lcdExcluded->setObjectName(QStringLiteral("lcdExcluded"));
    lcdExcluded->setVisible(false);
    horizontalLayout_2->addWidget(lcdExcluded);
    verticalLayout->addLayout(horizontalLayout_2);
    gridLayout_6->addLayout(verticalLayout, 3, 0, 1, 2);
    gridLayout_6->setColumnStretch(0, 1);
    gridLayout_2->addWidget(lcd, 0, 0, 1, 1);

    itemToolBar = new QToolBar(widget_2);
    itemToolBar->setObjectName(QStringLiteral("itemToolBar"));
    itemToolBar->setIconSize(QSize(16, 16));
    itemToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    itemToolBar->setFloatable(true);
    gridLayout_2->addWidget(itemToolBar, 1, 0, 1, 1);

    tvItems = new QTreeView(widget_2);
    tvItems->setObjectName(QStringLiteral("tvItems"));
    tvItems->setSizePolicy(policy(QSizePolicy::Preferred, QSizePolicy::Expanding, 2));
    // Several items go out together: Ctrl+click and Shift+click pick them for Export data.
    tvItems->setSelectionMode(QAbstractItemView::ExtendedSelection);
    gridLayout_2->addWidget(tvItems, 2, 0, 1, 1);
    gridLayout_2->setRowStretch(0, 2);
    gridLayout_2->setRowStretch(2, 3);
    splitter_2->addWidget(widget_2);

    widget = new QWidget(splitter_2);
    widget->setObjectName(QStringLiteral("widget"));
    widget->setSizePolicy(policy(QSizePolicy::Preferred, QSizePolicy::Preferred, 8));
    gridLayout = new QGridLayout(widget);
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    setGridMargins(gridLayout, 1, 1);

    splitter = new QSplitter(widget);
    splitter->setObjectName(QStringLiteral("splitter"));
    splitter->setOrientation(Qt::Vertical);
    splitter->setHandleWidth(3);

    tabWidget = new QTabWidget(splitter);
    tabWidget->setObjectName(QStringLiteral("tabWidget"));
    tabWidget->setSizePolicy(policy(QSizePolicy::Expanding, QSizePolicy::Expanding, 0, 7));
    tabWidget->setTabShape(QTabWidget::Rounded);
    tabWidget->setElideMode(Qt::ElideNone);
    tabWidget->setTabsClosable(false);
    tabWidget->setTabBarAutoHide(false);

    tab = new QWidget();
    tab->setObjectName(QStringLiteral("tab"));
    gridLayout_4 = new QGridLayout(tab);
    gridLayout_4->setObjectName(QStringLiteral("gridLayout_4"));
    setGridMargins(gridLayout_4, 1, 1);
    tv = new QTableView(tab);
    tv->setObjectName(QStringLiteral("tv"));
    tv->setSizePolicy(policy(QSizePolicy::Expanding, QSizePolicy::Expanding, 0, 7));
    tv->setFrameShape(QFrame::StyledPanel);
    gridLayout_4->addWidget(tv, 0, 0, 1, 1);
    tabWidget->addTab(tab, QString());

    tab_2 = new QWidget();
    tab_2->setObjectName(QStringLiteral("tab_2"));
    gridLayout_5 = new QGridLayout(tab_2);
    gridLayout_5->setObjectName(QStringLiteral("gridLayout_5"));
    setGridMargins(gridLayout_5, 1, 1);
    Histogram1 = new Histogram(tab_2);
    Histogram1->setObjectName(QStringLiteral("Histogram1"));
    gridLayout_5->addWidget(Histogram1, 0, 0, 1, 1);
    tabWidget->addTab(tab_2, QString());

    chart = new DMMChart();
    chart->setObjectName(QStringLiteral("chart"));
    tabWidget->addTab(chart, QString());
    splitter->addWidget(tabWidget);

    listWidget = new QListWidget(splitter);
    listWidget->setObjectName(QStringLiteral("listWidget"));
    listWidget->setSizePolicy(policy(QSizePolicy::Expanding, QSizePolicy::Expanding, 0, 3));
    splitter->addWidget(listWidget);
    gridLayout->addWidget(splitter, 0, 0, 1, 1);
    splitter_2->addWidget(widget);
    gridLayout_3->addWidget(splitter_2, 0, 0, 1, 1);
    window->setCentralWidget(centralWidget);

    menuBar = new QMenuBar(window);
    menuBar->setObjectName(QStringLiteral("menuBar"));
    menuBar->setGeometry(QRect(0, 0, 690, 22));
    window->setMenuBar(menuBar);
    mainToolBar = new QToolBar(window);
    mainToolBar->setObjectName(QStringLiteral("mainToolBar"));
    mainToolBar->setIconSize(QSize(16, 16));
    mainToolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    mainToolBar->setFloatable(true);
    window->addToolBar(Qt::TopToolBarArea, mainToolBar);
    statusBar = new QStatusBar(window);
    statusBar->setObjectName(QStringLiteral("statusBar"));
    window->setStatusBar(statusBar);

    mainToolBar->addAction(actionConnect);
    mainToolBar->addAction(actionDisconnect);
    mainToolBar->addSeparator();
    mainToolBar->addAction(actionStart);
    mainToolBar->addAction(actionStop);
    mainToolBar->addSeparator();
    mainToolBar->addAction(actionImport);
    mainToolBar->addAction(actionExport);
    mainToolBar->addSeparator();
    mainToolBar->addAction(actionClose);

    retranslateUi(window);
    assignShortcuts(window);
    setupMenus();
    setupViews();
    tabWidget->setCurrentIndex(0);
    QMetaObject::connectSlotsByName(window);
}

void WidgetUi::setupMenus()
{
    QMenu *fileMenu = menuBar->addMenu(QCoreApplication::translate("Widget", "&File"));
    fileMenu->addAction(actionItemNew);
    fileMenu->addSeparator();
    fileMenu->addActions({actionConnect, actionDisconnect, actionStart, actionStop});
    fileMenu->addSeparator();
    fileMenu->addActions(
        {actionImport, actionImportData, actionExport, actionExportData, actionInspectionReport});
    fileMenu->addSeparator();
    fileMenu->addAction(actionJobDetails);
    fileMenu->addSeparator();
    fileMenu->addAction(actionOption);
    fileMenu->addSeparator();
    fileMenu->addAction(actionClose);
    menuBar->addMenu(QCoreApplication::translate("Widget", "&View"))->addAction(actionMessages);
    menuBar->addMenu(QCoreApplication::translate("Widget", "&Help"))->addAction(actionManual);

    // Close sits at the far end of the tool bar.
    auto *spacer = new QWidget();
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    mainToolBar->insertWidget(actionClose, spacer);
}

void WidgetUi::setupViews()
{
    tv->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    tv->horizontalHeader()->setSectionsClickable(false);
    tv->setSelectionBehavior(QAbstractItemView::SelectRows);

    tabWidget->setStyleSheet(QStringLiteral("QTabBar::tab{min-width:100px}"));
    const char *icons[] = {":/image/table.png", ":/image/item.png", ":/image/chart.png"};
    const char *texts[] = {"Table", "Histogram", "Chart"};
    for (int tab = 0; tab < 3; ++tab) {
        tabWidget->setTabText(tab, QCoreApplication::translate("Widget", texts[tab]));
        tabWidget->setTabIcon(tab, QIcon(QLatin1String(icons[tab])));
    }

    const QString thickness = QStringLiteral("%1(%2)").arg(
        QCoreApplication::translate("Widget", "Thickness"), QStringLiteral("\u03BCm"));
    chart->setLeftMargin(70);
    chart->setBottomMargin(50);
    chart->setYTitle(thickness);
    chart->setXTitle(QCoreApplication::translate("Widget", "Time"));
    Histogram1->setMargins(QMargins(100, 20, 20, 50));
    Histogram1->setYTitle(thickness);
    Histogram1->setXTitle(QCoreApplication::translate("Widget", "Rate"));

    // The message list opens from View > Messages or the status bar's button.
    listWidget->hide();
    QObject::connect(actionMessages, &QAction::toggled, listWidget, &QWidget::setVisible);
}

void WidgetUi::retranslateUi(QMainWindow *window)
{
    window->setWindowTitle(QString());
    actionConnect->setText(QCoreApplication::translate("Widget", "Connect"));
    actionDisconnect->setText(QCoreApplication::translate("Widget", "&Disconnect"));
    actionOption->setText(QCoreApplication::translate("Widget", "&Options"));
    actionOption->setToolTip(QCoreApplication::translate("Widget", "Options"));
    actionClose->setText(QCoreApplication::translate("Widget", "C&lose"));
    actionStart->setText(QCoreApplication::translate("Widget", "Start"));
    actionStop->setText(QCoreApplication::translate("Widget", "Stop"));
    actionTest->setText(QCoreApplication::translate("Widget", "Test"));
    actionManual->setText(QCoreApplication::translate("Widget", "&Manual"));
    actionClearMsg->setText(QCoreApplication::translate("Widget", "Clear"));
    actionItemNew->setText(QCoreApplication::translate("Widget", "New"));
    actionItemDelete->setText(QCoreApplication::translate("Widget", "Delete"));
    actionItemRename->setText(QCoreApplication::translate("Widget", "Rename"));
    actionItemSetToActive->setText(QCoreApplication::translate("Widget", "Set to active"));
    actionItemDownload->setText(QCoreApplication::translate("Widget", "Download"));
    actionItemRequirement->setText(
        QCoreApplication::translate("Widget", "Coating requirements..."));
    actionItemNotes->setText(QCoreApplication::translate("Widget", "Item notes..."));
    actionJobDetails->setText(QCoreApplication::translate("Widget", "&Job details..."));
    actionExport->setText(QCoreApplication::translate("Widget", "Export"));
    actionExportData->setText(QCoreApplication::translate("Widget", "Export data..."));
    actionImport->setText(QCoreApplication::translate("Widget", "Import"));
    actionImportData->setText(QCoreApplication::translate("Widget", "Import data..."));
    actionInspectionReport->setText(QCoreApplication::translate("Widget", "Inspection report..."));
    lcdNum->setText(QCoreApplication::translate("Widget", "Num:0"));
    lcdAvg->setText(QCoreApplication::translate("Widget", "Avg:0"));
    lcdMin->setText(QCoreApplication::translate("Widget", "Min:0"));
    lcdMax->setText(QCoreApplication::translate("Widget", "Max:0"));
    lcdSd->setText(QCoreApplication::translate("Widget", "SD:-"));
    lcdCv->setText(QCoreApplication::translate("Widget", "CV:-"));
    lcdBasis->setText(QCoreApplication::translate("Widget", "Fe"));
    lcdValue->setText(QCoreApplication::translate("Widget", "00000"));
    actionMessages->setText(QCoreApplication::translate("Widget", "&Messages"));
    lcdUnit->setText(QString::fromUtf8("\u03BCm"));
    itemToolBar->setWindowTitle(QCoreApplication::translate("Widget", "Item Tool"));
    tabWidget->setTabText(tabWidget->indexOf(tab), QString());
    tabWidget->setTabText(tabWidget->indexOf(tab_2), QString());
    tabWidget->setTabText(tabWidget->indexOf(chart), QString());
    mainToolBar->setWindowTitle(QCoreApplication::translate("Widget", "Toolbar"));
}

void WidgetUi::assignShortcuts(QMainWindow *window)
{
    ActionShortcut::assign(actionConnect, QKeySequence(Qt::CTRL | Qt::Key_K));
    ActionShortcut::assign(actionDisconnect, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K));
    ActionShortcut::assign(actionStart, QKeySequence(Qt::Key_F5));
    ActionShortcut::assign(actionStop, QKeySequence(Qt::SHIFT | Qt::Key_F5));
    ActionShortcut::assign(actionImport, QKeySequence::Open);
    ActionShortcut::assign(actionExport, QKeySequence(Qt::CTRL | Qt::Key_E));
    ActionShortcut::assign(actionItemNew, QKeySequence::New);
    ActionShortcut::assign(actionManual, QKeySequence::HelpContents);
    ActionShortcut::assign(actionClose, QKeySequence::Quit);
    // The item tool bar shows New only for some rows; the shortcut works whatever row is current.
    window->addAction(actionItemNew);
}
