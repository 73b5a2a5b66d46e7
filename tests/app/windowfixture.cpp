#include "windowfixture.h"

#include <memory>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMetaObject>
#include <QPluginLoader>
#include <QTableView>
#include <QTemporaryDir>
#include <QTreeView>
#include <QTimer>

#include "dmmchart.h"
#include "histogram.h"
#include "itemdata.h"
#include "tvitemmodel.h"
#include "widget.h"

namespace {

QTemporaryDir &workspaceFolder()
{
    static QTemporaryDir folder;
    return folder;
}

// No window test ever opens the user's own workspace, not even one that forgets freshWorkspace().
void isolateWorkspace()
{
    qputenv("RQ6814_WORKSPACE",
            workspaceFolder().filePath(QStringLiteral("workspace.sqlite")).toLocal8Bit());
}
Q_COREAPP_STARTUP_FUNCTION(isolateWorkspace)

} // namespace

namespace WindowFixture {

QString freshWorkspace()
{
    static int count = 0;
    const QString path =
        workspaceFolder().filePath(QStringLiteral("workspace-%1.sqlite").arg(++count));
    qputenv("RQ6814_WORKSPACE", path.toLocal8Bit());
    return path;
}

QObject *gauge()
{
    static QPluginLoader loader(QStringLiteral(TESTGAUGE_PATH));
    return loader.instance();
}

void resetGauge()
{
    QMetaObject::invokeMethod(gauge(), "reset");
}

void emitReading(double umValue, const QString &umText, const QString &unit, const QString &basis)
{
    const double mil = umValue / 25.4;
    QMetaObject::invokeMethod(
        gauge(), "emitReading", Q_ARG(double, umValue), Q_ARG(QString, umText), Q_ARG(double, mil),
        Q_ARG(QString, QString::number(mil, 'f', 2)), Q_ARG(QString, unit), Q_ARG(QString, basis));
}

void emitMilReading(double milValue, const QString &milText, const QString &unit,
                    const QString &basis)
{
    const double um = milValue * 25.4;
    QMetaObject::invokeMethod(gauge(), "emitReading", Q_ARG(double, um),
                              Q_ARG(QString, QString::number(um, 'f', 0)), Q_ARG(double, milValue),
                              Q_ARG(QString, milText), Q_ARG(QString, unit), Q_ARG(QString, basis));
}

void emitStoreReading(double umValue, const QString &umText)
{
    const double mil = umValue / 25.4;
    QMetaObject::invokeMethod(
        gauge(), "emitStoreReading", Q_ARG(double, umValue), Q_ARG(QString, umText),
        Q_ARG(double, mil), Q_ARG(QString, QString::number(mil, 'f', 2)),
        Q_ARG(QString, QStringLiteral("mil")), Q_ARG(QString, QStringLiteral("Fe")));
}

void emitOverRange(int overload, const QString &unit)
{
    QMetaObject::invokeMethod(gauge(), "emitOverRange", Q_ARG(int, overload), Q_ARG(QString, unit),
                              Q_ARG(bool, false));
}

void emitStoreOverRange(int overload)
{
    QMetaObject::invokeMethod(gauge(), "emitOverRange", Q_ARG(int, overload),
                              Q_ARG(QString, QStringLiteral("mil")), Q_ARG(bool, true));
}

void answerNextModal(std::function<void(QWidget *)> answer)
{
    answerNextModalOf(QWidget::staticMetaObject, answer);
}

void answerNextModalOf(const QMetaObject &type, std::function<void(QWidget *)> answer)
{
    // Poll until the dialog or menu is up: it appears only once the caller's exec() has started.
    auto *timer = new QTimer();
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, [timer, answer, &type]() {
        QWidget *modal = QApplication::activePopupWidget();
        if (!modal)
            modal = QApplication::activeModalWidget();
        if (!modal || !modal->inherits(type.className()))
            return;
        timer->stop();
        timer->deleteLater();
        answer(modal);
    });
    timer->start();
}

void chooseFile(const QString &path)
{
    answerNext<QFileDialog>([path](QFileDialog *dialog) {
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
        static_cast<QDialog *>(dialog)->accept(); // QFileDialog hides its accept() as protected
    });
}

QAction *action(Widget &window, const char *name)
{
    return window.findChild<QAction *>(QLatin1String(name));
}

QString label(Widget &window, const char *name)
{
    return window.findChild<QLabel *>(QLatin1String(name))->text();
}

bool invoke(Widget &window, const char *slot)
{
    return QMetaObject::invokeMethod(&window, slot);
}

QTreeView *tree(Widget &window)
{
    return window.findChild<QTreeView *>(QStringLiteral("tvItems"));
}

QAbstractItemModel *table(Widget &window)
{
    return window.findChild<QTableView *>(QStringLiteral("tv"))->model();
}

QModelIndex activeRow(Widget &window)
{
    const QAbstractItemModel *items = tree(window)->model();
    const QModelIndexList found = items->match(items->index(0, 0), TvItemModel::ActiveRole, true,
                                               -1, Qt::MatchRecursive | Qt::MatchExactly);
    return found.size() == 1 ? found.first() : QModelIndex();
}

DMMChart *chart(Widget &window)
{
    return window.findChild<DMMChart *>(QStringLiteral("chart"));
}

Histogram *histogram(Widget &window)
{
    return window.findChild<Histogram *>(QStringLiteral("Histogram1"));
}

void startAcquiring(Widget &window)
{
    QMetaObject::invokeMethod(gauge(), "emitOpened");
    action(window, "actionStart")->trigger();
}

void addItem(Widget &window, const QString &name)
{
    QMetaObject::invokeMethod(&window, "newItem", Q_ARG(QString, name),
                              Q_ARG(ItemData::DataType, ItemData::MeasureData));
}

} // namespace WindowFixture
