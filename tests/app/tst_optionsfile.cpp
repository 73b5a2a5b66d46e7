#include <QTemporaryDir>
#include <QtTest>

#include "optionsfile.h"

class TestOptionsFile : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip();
    void missingFileGivesNothing();
    void unwritableTargetFails();
    void reading_data();
    void reading();

private:
    QTemporaryDir dir;
};

void TestOptionsFile::roundTrip()
{
    const QString path = dir.filePath(QStringLiteral("options.xml"));
    const QByteArray geometry("\x01\xd9\xd0\xcb\x00\x03", 6);
    const QByteArray state("\x00\xff\x00\x00", 4);
    const QMap<QString, QString> folders{{"pdf", "/data/reports"}, {"workbook", "/data/sites"}};
    QVERIFY(OptionsFile::write(path, geometry, state, QStringLiteral("/tmp/scène.png"), QString(),
                               folders));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString xml = QString::fromUtf8(file.readAll());
    QVERIFY(xml.contains(QStringLiteral("<Geometry>01d9d0cb0003</Geometry>")));
    QVERIFY(xml.contains(QStringLiteral("    <State>00ff0000</State>")));
    // The three elements stay as they were, the folders follow them.
    QVERIFY(xml.contains(QStringLiteral("<SceneFileName>/tmp/scène.png</SceneFileName>\n"
                                        "    <Folders>\n"
                                        "        <Folder kind=\"pdf\">/data/reports</Folder>")));

    const OptionsFile::Contents read = OptionsFile::read(path);
    QCOMPARE(read.geometry.value(), geometry);
    QCOMPARE(read.state.value(), state);
    QCOMPARE(read.sceneFileName.value(), QStringLiteral("/tmp/scène.png"));
    QCOMPARE(read.folders, folders);
    // No gauge chosen yet: the file holds the three elements alone.
    QVERIFY(!read.devicePlugin);
    QVERIFY(!xml.contains(QStringLiteral("DevicePlugin")));

    QVERIFY(!read.teamServer);
    QVERIFY(!xml.contains(QStringLiteral("TeamServer")));

    const QString team =
        QStringLiteral("host=db.example dbname=team user=alice sslmode=verify-full");
    QVERIFY(OptionsFile::write(path, geometry, state, QString(), QStringLiteral("serialgauge"),
                               folders, team));
    file.close();
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    QVERIFY(written.contains("    <SceneFileName></SceneFileName>\n"
                             "    <DevicePlugin>serialgauge</DevicePlugin>\n"
                             "    <Folders>\n"));
    QVERIFY(written.contains("    </Folders>\n    <TeamServer>host=db.example"));
    QCOMPARE(OptionsFile::read(path).devicePlugin.value(), QStringLiteral("serialgauge"));
    QCOMPARE(OptionsFile::read(path).teamServer.value(), team);
}

void TestOptionsFile::missingFileGivesNothing()
{
    const OptionsFile::Contents read = OptionsFile::read(dir.filePath(QStringLiteral("none.xml")));
    QVERIFY(!read.geometry && !read.state && !read.sceneFileName);
}

void TestOptionsFile::unwritableTargetFails()
{
    QVERIFY(!OptionsFile::write(dir.filePath(QStringLiteral("no/such/folder/options.xml")), {}, {},
                                {}));
}

void TestOptionsFile::reading_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<bool>("hasGeometry");
    QTest::addColumn<bool>("hasScene");
    QTest::addColumn<QString>("scene");

    QTest::newRow("empty scene name")
        << QByteArray("<options><Geometry>0102</Geometry><SceneFileName/></options>") << true
        << false << QString();
    QTest::newRow("unknown element ignored")
        << QByteArray("<options><Colour>red</Colour><SceneFileName>a.png</SceneFileName></options>")
        << false << true << "a.png";
    QTest::newRow("text of unknown element not taken")
        << QByteArray("<options><SceneFileName><x/>b.png</SceneFileName></options>") << false
        << false << QString();
    QTest::newRow("applied before an error stays")
        << QByteArray("<options><Geometry>0102</Geometry><SceneFileName>c.png</Scene") << true
        << true << "c.png";
    QTest::newRow("not xml") << QByteArray("garbage") << false << false << QString();
    QTest::newRow("folders do not disturb the rest")
        << QByteArray("<options><Folders><Folder kind=\"pdf\">/r</Folder><Folder>/x</Folder>"
                      "</Folders><SceneFileName>d.png</SceneFileName></options>")
        << false << true << "d.png";
}

void TestOptionsFile::reading()
{
    QFETCH(QByteArray, xml);
    QFETCH(bool, hasGeometry);
    QFETCH(bool, hasScene);
    QFETCH(QString, scene);

    const QString path = dir.filePath(QStringLiteral("case.xml"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(xml);
    file.close();

    const OptionsFile::Contents read = OptionsFile::read(path);
    QCOMPARE(bool(read.geometry), hasGeometry);
    QCOMPARE(bool(read.sceneFileName), hasScene);
    if (hasScene)
        QCOMPARE(*read.sceneFileName, scene);
}

QTEST_GUILESS_MAIN(TestOptionsFile)
#include "tst_optionsfile.moc"
