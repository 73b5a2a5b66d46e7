#pragma once

#include <functional>

#include <QAction>
#include <QLabel>
#include <QObject>
#include <QString>

class DMMChart;
class Histogram;
class QAbstractItemModel;
class QModelIndex;
class QTreeView;
class QWidget;
class Widget;

// Helpers shared by the main-window tests: the scriptable gauge the window bound, and answers to
// the modal dialogs the window opens.
namespace WindowFixture {

// Points the next window at a new, empty workspace file in a temporary folder and returns its
// path. Until the first call the windows share one file there, never the user's own workspace.
QString freshWorkspace();

// The root object of the test gauge plug-in: the same instance the window loaded from Lib.
QObject *gauge();
void resetGauge();

// Emits a live (or stored) reading from the gauge. milText/milValue default to the conversion.
void emitReading(double umValue, const QString &umText,
                 const QString &unit = QStringLiteral("\u03BCm"),
                 const QString &basis = QStringLiteral("Fe"));
void emitMilReading(double milValue, const QString &milText,
                    const QString &unit = QStringLiteral("mil"),
                    const QString &basis = QStringLiteral("NFe"));
void emitStoreReading(double umValue, const QString &umText);
// An over-range reading: overload 1 is "OL", -1 is "-OL".
void emitOverRange(int overload, const QString &unit = QStringLiteral("\u03BCm"));
void emitStoreOverRange(int overload);

// Runs `answer` on the next modal dialog (or popup menu) as soon as the event loop sees it.
void answerNextModal(std::function<void(QWidget *)> answer);
// The same for the next modal widget that is a `type`, passing over others: a dialog's answer can
// set up the answers of the dialogs it opens in turn, whatever their order.
void answerNextModalOf(const QMetaObject &type, std::function<void(QWidget *)> answer);
template<class Dialog>
void answerNext(std::function<void(Dialog *)> answer)
{
    answerNextModalOf(Dialog::staticMetaObject,
                      [answer](QWidget *modal) { answer(static_cast<Dialog *>(modal)); });
}
// Types path into the next file dialog and accepts it.
void chooseFile(const QString &path);

QAction *action(Widget &window, const char *name);
QString label(Widget &window, const char *name);
bool invoke(Widget &window, const char *slot);
QTreeView *tree(Widget &window);
// The reading table's model.
QAbstractItemModel *table(Widget &window);
// The tree row that carries the active item; invalid unless exactly one does.
QModelIndex activeRow(Widget &window);
DMMChart *chart(Widget &window);
Histogram *histogram(Widget &window);

// Opens the gauge and presses Start.
void startAcquiring(Widget &window);
// Adds a measurement item without going through the New dialog.
void addItem(Widget &window, const QString &name);

} // namespace WindowFixture
