#pragma once

class DMMChart;
class Histogram;
class LiveValueLabel;
class QAction;
class QFrame;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QListWidget;
class QMainWindow;
class QMenuBar;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QTableView;
class QToolBar;
class QTreeView;
class QVBoxLayout;
class QWidget;

// The widgets and actions of the main window. It only holds pointers: every object it creates is
// a child of the window it was set up on.
class WidgetUi
{
public:
    QAction *actionConnect = nullptr;
    QAction *actionDisconnect = nullptr;
    QAction *actionOption = nullptr;
    QAction *actionClose = nullptr;
    QAction *actionStart = nullptr;
    QAction *actionStop = nullptr;
    QAction *actionTest = nullptr;
    QAction *actionManual = nullptr;
    QAction *actionClearMsg = nullptr;
    QAction *actionItemNew = nullptr;
    QAction *actionItemDelete = nullptr;
    QAction *actionItemRename = nullptr;
    QAction *actionItemSetToActive = nullptr;
    QAction *actionItemDownload = nullptr;
    QAction *actionItemRequirement = nullptr;
    QAction *actionItemNotes = nullptr;
    QAction *actionJobDetails = nullptr;
    QAction *actionExport = nullptr;
    QAction *actionExportData = nullptr;
    QAction *actionImport = nullptr;
    QAction *actionImportData = nullptr;
    QAction *actionInspectionReport = nullptr;
    QAction *actionMessages = nullptr;
    QWidget *centralWidget = nullptr;
    QGridLayout *gridLayout_3 = nullptr;
    QSplitter *splitter_2 = nullptr;
    QWidget *widget_2 = nullptr;
    QGridLayout *gridLayout_2 = nullptr;
    QFrame *lcd = nullptr;
    QGridLayout *gridLayout_6 = nullptr;
    QVBoxLayout *verticalLayout = nullptr;
    QHBoxLayout *horizontalLayout = nullptr;
    QLabel *lcdNum = nullptr;
    QLabel *lcdAvg = nullptr;
    QHBoxLayout *horizontalLayout1 = nullptr;
    QLabel *lcdMin = nullptr;
    QLabel *lcdMax = nullptr;
    QHBoxLayout *horizontalLayout_3 = nullptr;
    QLabel *lcdSd = nullptr;
    QLabel *lcdCv = nullptr;
    QLabel *lcdVerdict = nullptr;
    QHBoxLayout *horizontalLayout_2 = nullptr;
    QLabel *lcdOverRange = nullptr;
    QLabel *lcdExcluded = nullptr;
    QLabel *lcdBasis = nullptr;
    LiveValueLabel *lcdValue = nullptr;
    QLabel *lcdUnit = nullptr;
    QLabel *lcdItem = nullptr;
    QToolBar *itemToolBar = nullptr;
    QTreeView *tvItems = nullptr;
    QWidget *widget = nullptr;
    QGridLayout *gridLayout = nullptr;
    QSplitter *splitter = nullptr;
    QTabWidget *tabWidget = nullptr;
    QWidget *tab = nullptr;
    QGridLayout *gridLayout_4 = nullptr;
    QTableView *tv = nullptr;
    QWidget *tab_2 = nullptr;
    QGridLayout *gridLayout_5 = nullptr;
    Histogram *Histogram1 = nullptr;
    DMMChart *chart = nullptr;
    QListWidget *listWidget = nullptr;
    QMenuBar *menuBar = nullptr;
    QToolBar *mainToolBar = nullptr;
    QStatusBar *statusBar = nullptr;

    // Builds everything on the window, sets the texts and connects the window's
    // on_<object>_<signal> slots by name.
    void setupUi(QMainWindow *window);
    void retranslateUi(QMainWindow *window);

private:
    void assignShortcuts(QMainWindow *window);
    // The menu bar, and the tool bar's spacer.
    void setupMenus();
    // Headers, tab texts, chart and histogram titles, and the hidden message list.
    void setupViews();
};
