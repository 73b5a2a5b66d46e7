#include <memory>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSerialPort>
#include <QSpinBox>
#include <QStatusBar>
#include <QtTest>

#include "devicebinder.h"
#include "histogram.h"
#include "ptypair.h"
#include "widget.h"
#include "windowfixture.h"

using namespace WindowFixture;

// The real window with the simulated and the serial gauge in its Lib, as a fresh build has them:
// which one it binds, and the serial gauge chosen in Options, fed through a pseudo-terminal.
class TestSerialWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void bindingRule_data();
    void bindingRule();
    void freshStartIsSimulated();
    void chosenSerialGaugeShowsItsReadingsUntilTheCableIsPulled();
    void portInUseFailsToOpenWithTheReason();
    void settingsProblemsAreShown_data();
    void settingsProblemsAreShown();
    void unusableFormatKeepsTheDialogOpen();

private:
    // Chooses a gauge in the Options dialog; for the serial gauge also its port and line format.
    void chooseInOptions(const QString &gauge);
    QStringList messages() const;
    QString libDir() const
    {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/Lib");
    }
    QString optionsPath() const
    {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/options.xml");
    }

    std::unique_ptr<Widget> window;
    std::unique_ptr<PtyPair> pty;
};

void TestSerialWindow::init()
{
    QFile::remove(optionsPath());
    QFile::remove(libDir() + QStringLiteral("/serialgauge.ini"));
    pty = std::make_unique<PtyPair>();
    QVERIFY(pty->isOpen());
    freshWorkspace();
    window = std::make_unique<Widget>();
}

void TestSerialWindow::cleanup()
{
    window.reset();
    pty.reset();
    QFile::remove(optionsPath());
    QFile::remove(libDir() + QStringLiteral("/serialgauge.ini"));
}

QStringList TestSerialWindow::messages() const
{
    QStringList texts;
    auto *list = window->findChild<QListWidget *>(QStringLiteral("listWidget"));
    for (int row = 0; row < list->count(); ++row)
        texts << list->item(row)->text();
    return texts;
}

void TestSerialWindow::chooseInOptions(const QString &gauge)
{
    bool answered = false;
    answerNextModal([&](QWidget *dialog) {
        auto *gauges = dialog->findChild<QComboBox *>(QStringLiteral("cmbGauge"));
        gauges->setCurrentIndex(gauges->findText(gauge));
        if (gauge == QLatin1String("Serial gauge")) {
            auto *page = dialog->findChild<QWidget *>(QStringLiteral("wgtSerialGauge"));
            QVERIFY(page && page->isVisible());
            page->findChild<QComboBox *>(QStringLiteral("cmbPort"))->setEditText(pty->slaveName());
            // Picking a preset fills in its pattern.
            auto *format = page->findChild<QComboBox *>(QStringLiteral("cmbFormat"));
            auto *pattern = page->findChild<QLineEdit *>(QStringLiteral("edtPattern"));
            pattern->setText(QStringLiteral("^(?<value>\\d+)$"));
            emit pattern->textEdited(pattern->text());
            QCOMPARE(format->currentData().toString(), QStringLiteral("custom"));
            format->setCurrentIndex(format->findData(QStringLiteral("signed")));
            emit format->activated(format->currentIndex());
            QVERIFY(pattern->text().contains(QStringLiteral("[+-]\\d+")));
            format->setCurrentIndex(format->findData(QStringLiteral("any")));
            emit format->activated(format->currentIndex());
            auto *range = page->findChild<QSpinBox *>(QStringLiteral("spnRange"));
            QVERIFY(range);
            QCOMPARE(range->value(), 1250);
            range->setValue(5000);
        }
        answered = true;
        for (QPushButton *button : dialog->findChildren<QPushButton *>())
            if (button->text() == QLatin1String("Ok"))
                button->click();
    });
    action(*window, "actionOption")->trigger();
    QVERIFY(answered);
}

void TestSerialWindow::bindingRule_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("bound");
    QTest::newRow("nothing chosen: the simulated gauge") << ""
                                                         << "simgauge";
    QTest::newRow("the serial gauge chosen") << "serialgauge"
                                             << "serialgauge";
    QTest::newRow("the chosen one is gone") << "oldgauge"
                                            << "simgauge";
}

void TestSerialWindow::bindingRule()
{
    QFETCH(QString, chosen);
    DeviceBinder binder;
    binder.load(QDir(libDir()));
    QCOMPARE(binder.plugins().size(), 2);
    QCOMPARE(binder.plugins().at(0).name, QStringLiteral("Serial gauge"));
    QCOMPARE(binder.plugins().at(1).name, QStringLiteral("Simulated gauge"));
    const DeviceBinder::Binding binding = binder.bind(chosen);
    QVERIFY(binding.complete());
    QTEST(binding.id, "bound");
}

void TestSerialWindow::freshStartIsSimulated()
{
    QStringList offered;
    QString current;
    answerNextModal([&](QWidget *dialog) {
        auto *gauges = dialog->findChild<QComboBox *>(QStringLiteral("cmbGauge"));
        for (int i = 0; i < gauges->count(); ++i)
            offered << gauges->itemText(i);
        current = gauges->currentText();
        static_cast<QDialog *>(dialog)->reject();
    });
    action(*window, "actionOption")->trigger();
    QCOMPARE(offered, QStringList({"Serial gauge", "Simulated gauge"}));
    QCOMPARE(current, QStringLiteral("Simulated gauge"));

    QVERIFY(action(*window, "actionConnect")->isEnabled());
    action(*window, "actionConnect")->trigger();
    QTRY_VERIFY(action(*window, "actionDisconnect")->isEnabled());
    QVERIFY(!messages().filter(QStringLiteral("Simulated gauge opened")).isEmpty());
}

void TestSerialWindow::chosenSerialGaugeShowsItsReadingsUntilTheCableIsPulled()
{
    // Switching closes the simulated gauge the window was connected to.
    action(*window, "actionConnect")->trigger();
    QTRY_VERIFY(action(*window, "actionDisconnect")->isEnabled());
    chooseInOptions(QStringLiteral("Serial gauge"));
    QVERIFY(!action(*window, "actionDisconnect")->isEnabled());
    QVERIFY(!messages().filter(QStringLiteral("Simulated gauge closed")).isEmpty());
    QFile options(optionsPath());
    QVERIFY(options.open(QIODevice::ReadOnly));
    QVERIFY(options.readAll().contains("<DevicePlugin>serialgauge</DevicePlugin>"));
    options.close();

    QTRY_VERIFY(action(*window, "actionConnect")->isEnabled());
    action(*window, "actionConnect")->trigger();
    QTRY_VERIFY(action(*window, "actionDisconnect")->isEnabled());
    action(*window, "actionStart")->trigger();
    QVERIFY(pty->send("  125 um\r\n  131 um\r\n  OL um\r\n 1300 um\r\n  118 um\r\n"));
    QTRY_COMPARE(table(*window)->rowCount(), 5);
    QCOMPARE(label(*window, "lcdValue"), QStringLiteral("118"));
    QCOMPARE(label(*window, "lcdUnit"), QStringLiteral("\u03BCm"));
    QCOMPARE(table(*window)->index(2, 2).data().toString().trimmed(), QStringLiteral("OL"));
    QCOMPARE(label(*window, "lcdNum"), QStringLiteral("Num:5"));
    // 1300 μm is within the range of 5000 set in Options: a thickness, not over range.
    QCOMPARE(label(*window, "lcdMax"), QStringLiteral("Max:1300.0"));
    QCOMPARE(histogram(*window)->count(histogram(*window)->barCount() - 1), 1);
    QCOMPARE(histogram(*window)->count(2), 1);

    // The cable is pulled: the window is disconnected, the readings stay, and Connect waits for
    // the port to come back.
    pty->closeMaster();
    QTRY_VERIFY(!action(*window, "actionDisconnect")->isEnabled());
    QVERIFY(!action(*window, "actionConnect")->isEnabled());
    QVERIFY(!action(*window, "actionStart")->isEnabled());
    QVERIFY(!action(*window, "actionStop")->isEnabled());
    QCOMPARE(table(*window)->rowCount(), 5);
    QVERIFY2(!messages().filter(QStringLiteral("lost: the device was removed")).isEmpty(),
             qPrintable(messages().join('\n')));

    // The choice is kept: the next start binds the serial gauge again.
    window->close();
    freshWorkspace();
    window = std::make_unique<Widget>();
    QString current;
    answerNextModal([&](QWidget *dialog) {
        current = dialog->findChild<QComboBox *>(QStringLiteral("cmbGauge"))->currentText();
        static_cast<QDialog *>(dialog)->reject();
    });
    action(*window, "actionOption")->trigger();
    QCOMPARE(current, QStringLiteral("Serial gauge"));
}

void TestSerialWindow::portInUseFailsToOpenWithTheReason()
{
    chooseInOptions(QStringLiteral("Serial gauge"));
    QSerialPort other(pty->slaveName());
    QVERIFY(other.open(QIODevice::ReadWrite));

    QString shown;
    answerNextModal([&](QWidget *dialog) {
        shown = static_cast<QMessageBox *>(dialog)->text();
        static_cast<QMessageBox *>(dialog)->accept();
    });
    action(*window, "actionConnect")->trigger();
    QCOMPARE(shown, QStringLiteral("Failed to open device."));
    QVERIFY(!action(*window, "actionDisconnect")->isEnabled());
    const QString inUse =
        QStringLiteral(
            "Serial gauge: %1 is in use by another program; close it, then connect again.")
            .arg(pty->slaveName());
    QVERIFY2(messages().contains(inUse), qPrintable(messages().join('\n')));
}

void TestSerialWindow::settingsProblemsAreShown_data()
{
    QTest::addColumn<QByteArray>("content"); // the settings file the next start finds
    QTest::addColumn<QString>("shown");      // in the messages; the status bar shows the last
    QTest::newRow("a port that is not there")
        << QByteArray("[General]\nport=/dev/ttyNoSuchPort\n")
        << "Serial gauge: the port /dev/ttyNoSuchPort is not there; Connect is enabled once it is.";
    QTest::newRow("random bytes")
        << QByteArray("\x8f\x03port=\x00\x9a\xfe[General\x01\n", 16)
        << "the content is not text; the default settings are used instead.";
}

void TestSerialWindow::settingsProblemsAreShown()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, shown);
    chooseInOptions(QStringLiteral("Serial gauge"));
    window.reset();
    QFile ini(libDir() + QStringLiteral("/serialgauge.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write(content);
    ini.close();
    freshWorkspace();
    window = std::make_unique<Widget>();

    // The settings file's problem comes first, then whether the port is there.
    QTRY_VERIFY2(!messages().filter(shown).isEmpty(), qPrintable(messages().join('\n')));
    const QString last = messages().constLast();
    QCOMPARE(window->statusBar()->findChild<QLabel *>(QStringLiteral("lblMessage"))->text(), last);
    if (content.startsWith('[')) {
        QCOMPARE(last, shown);
        QVERIFY(!action(*window, "actionConnect")->isEnabled());
    }
}

void TestSerialWindow::unusableFormatKeepsTheDialogOpen()
{
    QString warning;
    answerNextModal([&](QWidget *dialog) {
        auto *gauges = dialog->findChild<QComboBox *>(QStringLiteral("cmbGauge"));
        gauges->setCurrentIndex(gauges->findText(QStringLiteral("Serial gauge")));
        dialog->findChild<QLineEdit *>(QStringLiteral("edtPattern"))
            ->setText(QStringLiteral("(\\d+"));
        // The warning comes up over the dialog, which stays open; then the user gives up.
        answerNextModal([&warning, dialog](QWidget *box) {
            warning = static_cast<QMessageBox *>(box)->text();
            static_cast<QMessageBox *>(box)->accept();
            QTimer::singleShot(0, dialog, [dialog] { static_cast<QDialog *>(dialog)->reject(); });
        });
        for (QPushButton *button : dialog->findChildren<QPushButton *>())
            if (button->text() == QLatin1String("Ok"))
                button->click();
    });
    action(*window, "actionOption")->trigger();
    QVERIFY2(warning.contains(QStringLiteral("line format")), qPrintable(warning));
    QVERIFY(!QFile::exists(libDir() + QStringLiteral("/serialgauge.ini")));
    QVERIFY(!QFile::exists(optionsPath()));
}

QTEST_MAIN(TestSerialWindow)
#include "tst_serialwindow.moc"
