#include <QAction>
#include <QtTest>

#include "widget.h"

// Beside this test, Lib holds a plug-in that offers the gauge but not its port or memory.
class TestStartupPartial : public QObject
{
    Q_OBJECT

private slots:
    void quitsWhenAnInterfaceIsMissing();
};

void TestStartupPartial::quitsWhenAnInterfaceIsMissing()
{
    QTemporaryDir workspaceFolder;
    qputenv("RQ6814_WORKSPACE",
            workspaceFolder.filePath(QStringLiteral("workspace.sqlite")).toLocal8Bit());
    Widget window;
    // A window without a port never offers Connect.
    QVERIFY(!window.findChild<QAction *>(QStringLiteral("actionConnect"))->isEnabled());
    QTimer::singleShot(3000, qApp, [] { QCoreApplication::exit(1); });
    QCOMPARE(QCoreApplication::exec(), 0);
}

QTEST_MAIN(TestStartupPartial)
#include "tst_startuppartial.moc"
