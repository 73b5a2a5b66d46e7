#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "manualviewer.h"

namespace {

const QString BuildDir = QStringLiteral(RQ_BUILD_DIR);

struct Run
{
    bool ok = false;
    QString output;
};

Run run(const QString &program, const QStringList &arguments,
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Run result;
    result.ok = process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
                process.exitCode() == 0;
    result.output = QString::fromUtf8(process.readAll());
    return result;
}

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void installedLoggerFindsItsPluginsAndManual();
    void debianPackage();
};

void TestInstall::installedLoggerFindsItsPluginsAndManual()
{
    QTemporaryDir stage;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DESTDIR"), stage.path());
    const Run install = run(
        QStringLiteral(RQ_CMAKE),
        {QStringLiteral("--install"), BuildDir, QStringLiteral("--prefix"), QStringLiteral("/usr")},
        environment);
    QVERIFY2(install.ok, qPrintable(install.output));

    const QString usr = stage.filePath(QStringLiteral("usr"));
    const QString programDir = usr + QStringLiteral("/" RQ_PROGRAM_DIR);
    const QString manual = usr + QStringLiteral("/" RQ_DOC_DIR "/") + ManualViewer::fileName();
    for (const QString &file :
         {programDir + QStringLiteral("/rq6814-logger"), programDir + QStringLiteral("/Lib"),
          programDir + QStringLiteral("/Lib/simgauge.ini"), manual,
          usr + QStringLiteral("/share/applications/rq6814-logger.desktop"),
          usr + QStringLiteral("/share/icons/hicolor/32x32/apps/rq6814-logger.png")})
        QVERIFY2(QFileInfo::exists(file), qPrintable(file));
    const QFileInfo link(usr + QStringLiteral("/bin/rq6814-logger"));
    QVERIFY(link.isSymLink());
    QCOMPARE(link.canonicalFilePath(),
             QFileInfo(programDir + QStringLiteral("/rq6814-logger")).canonicalFilePath());

    // Started through the link, from elsewhere, as a desktop menu would start it. The logger
    // quits as soon as it runs if the plug-in scan found no gauge; Qt's plug-in trace shows
    // which libraries were loaded. The scan loads the serial gauge first, so the trace is read
    // until the simulated gauge's line is in, not just the first line from Lib.
    QTemporaryDir home;
    QProcessEnvironment logger = QProcessEnvironment::systemEnvironment();
    logger.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    logger.insert(QStringLiteral("QT_DEBUG_PLUGINS"), QStringLiteral("1"));
    logger.insert(QStringLiteral("HOME"), home.path());
    logger.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    QProcess process;
    process.setProcessEnvironment(logger);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(home.path());
    process.start(link.filePath(), QStringList());
    QVERIFY(process.waitForStarted());
    const QString loaded = QStringLiteral("loaded library \"%1/Lib/libsimgauge.so").arg(programDir);
    QString output;
    QTRY_VERIFY2_WITH_TIMEOUT((output += QString::fromUtf8(process.readAll())).contains(loaded),
                              qPrintable(output), 60000);
    QVERIFY2(!process.waitForFinished(1000), qPrintable(output));
    process.kill();
    process.waitForFinished();

    // Help > Manual looks where the installed program finds it.
    QCOMPARE(ManualViewer::locate(home.path(), programDir), QDir::cleanPath(manual));
}

void TestInstall::debianPackage()
{
    if (QStandardPaths::findExecutable(QStringLiteral("dpkg-deb")).isEmpty())
        QSKIP("dpkg-deb is not installed");
    QTemporaryDir out;
    const Run pack =
        run(QStringLiteral(RQ_CPACK),
            {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
             BuildDir + QStringLiteral("/CPackConfig.cmake"), QStringLiteral("-B"), out.path()});
    QVERIFY2(pack.ok, qPrintable(pack.output));
    const QStringList debs = QDir(out.path()).entryList({QStringLiteral("*.deb")});
    QCOMPARE(debs.size(), 1);
    const QString deb = out.filePath(debs.first());
    QVERIFY(debs.first().startsWith(QStringLiteral("rq6814-logger_1.02_")));

    const Run info = run(QStringLiteral("dpkg-deb"), {QStringLiteral("--info"), deb});
    QVERIFY2(info.ok, qPrintable(info.output));
    QVERIFY(info.output.contains(QStringLiteral("Package: rq6814-logger")));
    QVERIFY(info.output.contains(QStringLiteral("Version: 1.02")));
    // Debian 12's own packages, found from the libraries the binaries link.
    for (const char *dependency : {"libqt5widgets5", "libqt5serialport5", "libc6"})
        QVERIFY2(info.output.contains(QRegularExpression(
                     QStringLiteral("Depends:.*\\b%1\\b").arg(QLatin1String(dependency)))),
                 qPrintable(info.output));

    const Run contents = run(QStringLiteral("dpkg-deb"), {QStringLiteral("--contents"), deb});
    QVERIFY2(contents.ok, qPrintable(contents.output));
    for (const char *file :
         {"./usr/bin/rq6814-logger -> ../lib/rq6814-logger/rq6814-logger",
          "./usr/lib/rq6814-logger/rq6814-logger", "./usr/lib/rq6814-logger/librq6814plugins.so",
          "./usr/lib/rq6814-logger/Lib/libsimgauge.so", "./usr/lib/rq6814-logger/Lib/simgauge.ini",
          "./usr/share/doc/rq6814-logger/Software User Manual.pdf",
          "./usr/share/doc/rq6814-logger/copyright",
          "./usr/share/applications/rq6814-logger.desktop",
          "./usr/share/icons/hicolor/32x32/apps/rq6814-logger.png"})
        QVERIFY2(contents.output.contains(QLatin1String(file)), file);

    const QString lintian = QStandardPaths::findExecutable(QStringLiteral("lintian"));
    if (lintian.isEmpty())
        return;
    QProcess check;
    check.setProcessChannelMode(QProcess::MergedChannels);
    check.start(lintian, {deb});
    QVERIFY(check.waitForFinished(300000));
    const QString report = QString::fromUtf8(check.readAll());
    QVERIFY2(!report.contains(
                 QRegularExpression(QStringLiteral("^E: "), QRegularExpression::MultilineOption)),
             qPrintable(report));
}

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
