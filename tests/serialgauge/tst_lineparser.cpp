#include <memory>

#include <QDateTime>
#include <QDirIterator>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "dmmdata.h"
#include "linebuffer.h"
#include "linefuzzcase.h"
#include "lineformat.h"
#include "lineparser.h"
#include "serialgaugesettings.h"

namespace {

const QString Micrometre = QStringLiteral("\u03BCm");

QString pattern(const char *presetId)
{
    return LineFormat::presetForId(QLatin1String(presetId))->pattern;
}

} // namespace

// The serial gauge's line handling without a port: splitting, parsing and its settings file.
class TestLineParser : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void overRangeWords_data();
    void overRangeWords();
    void invalidFormats_data();
    void invalidFormats();
    void everyPresetReadsItsExample();
    void split_data();
    void split();
    void fuzzCorpus_data();
    void fuzzCorpus();
    void settingsRoundTrip();
    void settingsAsWrittenByHand();
    void unusableSettingsAreReported_data();
    void unusableSettingsAreReported();
    void commandEscapes_data();
    void commandEscapes();
};

void TestLineParser::parse_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("milByDefault");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("matches");
    QTest::addColumn<double>("umValue");
    QTest::addColumn<QString>("umText");
    QTest::addColumn<double>("milValue");
    QTest::addColumn<QString>("milText");
    QTest::addColumn<int>("overload");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("basis");

    const QString any = pattern("any");
    const QString OL = QStringLiteral("    OL");
    const QString minusOL = QStringLiteral("   -OL");
    QTest::newRow("two blanks, 125 um") << any << false << QByteArray("  125 um") << true << 125.0
                                        << "125" << 125 / 25.4 << "4.92" << 0 << Micrometre << "";
    QTest::newRow("signed, zero-padded")
        << pattern("signed") << false << QByteArray("+0123.4 um") << true << 123.4 << "123.4"
        << 123.4 / 25.4 << "4.86" << 0 << Micrometre << "";
    QTest::newRow("micro sign in UTF-8, basis")
        << pattern("unitbasis") << false << QByteArray("123 \xc2\xb5m Fe") << true << 123.0 << "123"
        << 123 / 25.4 << "4.84" << 0 << Micrometre << "Fe";
    QTest::newRow("micro sign in Latin-1, non-ferrous")
        << any << false << QByteArray("80 \xb5m nfe") << true << 80.0 << "80" << 80 / 25.4 << "3.15"
        << 0 << Micrometre << "NFe";
    QTest::newRow("mils") << pattern("mil") << false << QByteArray("4.92 mil") << true
                          << 4.92 * 25.4 << "125" << 4.92 << "4.92" << 0 << "mil"
                          << "";
    QTest::newRow("bare number, micrometres assumed")
        << pattern("number") << false << QByteArray("118") << true << 118.0 << "118" << 118 / 25.4
        << "4.65" << 0 << Micrometre << "";
    QTest::newRow("bare number, mils assumed") << any << true << QByteArray("4.9") << true
                                               << 4.9 * 25.4 << "124" << 4.9 << "4.9" << 0 << "mil"
                                               << "";
    QTest::newRow("decimal comma") << any << false << QByteArray("12,5 um") << true << 12.5
                                   << "12.5" << 12.5 / 25.4 << "0.49" << 0 << Micrometre << "";
    QTest::newRow("OL") << any << false << QByteArray("OL") << true << 0.0 << OL << 0.0 << OL << 1
                        << Micrometre << "";
    QTest::newRow("-OL with unit and basis") << any << false << QByteArray(" -OL mil NFe") << true
                                             << 0.0 << minusOL << 0.0 << minusOL << -1 << "mil"
                                             << "NFe";
    QTest::newRow("ov in lower case")
        << any << true << QByteArray("ov") << true << 0.0 << OL << 0.0 << OL << 1 << "mil"
        << "";
    QTest::newRow("text") << any << false << QByteArray("hello") << false << 0.0 << "" << 0.0 << ""
                          << 0 << ""
                          << "";
    QTest::newRow("number then junk")
        << any << false << QByteArray("123 um xyz") << false << 0.0 << "" << 0.0 << "" << 0 << ""
        << "";
    QTest::newRow("binary noise") << any << false << QByteArray("\x01\x02\xff\xfe\x00", 5) << false
                                  << 0.0 << "" << 0.0 << "" << 0 << ""
                                  << "";
    QTest::newRow("an unknown unit")
        << QStringLiteral(R"(^(?<value>\d+)\s*(?<unit>\w+)$)") << false << QByteArray("12 furlongs")
        << false << 0.0 << "" << 0.0 << "" << 0 << ""
        << "";
    QTest::newRow("microns") << any << false << QByteArray("125 microns") << true << 125.0 << "125"
                             << 125 / 25.4 << "4.92" << 0 << Micrometre << "";
    QTest::newRow("micron, basis") << any << false << QByteArray("125 micron Fe") << true << 125.0
                                   << "125" << 125 / 25.4 << "4.92" << 0 << Micrometre << "Fe";
    QTest::newRow("millimetres, zero-padded, a comma before the unit")
        << any << false << QByteArray("+0000.125 , MM") << true << 125.0 << "125" << 125 / 25.4
        << "4.92" << 0 << Micrometre << "";
    QTest::newRow("millimetres finer than a micrometre")
        << any << false << QByteArray("0.0125 mm") << true << 12.5 << "12.5" << 12.5 / 25.4
        << "0.49" << 0 << Micrometre << "";
    QTest::newRow("inches") << any << false << QByteArray("0.0049 in") << true << 4.9 * 25.4
                            << "124" << 4.9 << "4.9" << 0 << "mil"
                            << "";
    QTest::newRow("exponent") << any << false << QByteArray("1.25E2 um") << true << 125.0 << "125"
                              << 125 / 25.4 << "4.92" << 0 << Micrometre << "";
    QTest::newRow("negative exponent") << any << false << QByteArray("125e-1 um") << true << 12.5
                                       << "12.5" << 12.5 / 25.4 << "0.49" << 0 << Micrometre << "";
    QTest::newRow("reading number with #")
        << any << false << QByteArray("#12 125 um") << true << 125.0 << "125" << 125 / 25.4
        << "4.92" << 0 << Micrometre << "";
    QTest::newRow("reading number") << any << false << QByteArray("12 125 um") << true << 125.0
                                    << "125" << 125 / 25.4 << "4.92" << 0 << Micrometre << "";
    QTest::newRow("# glued to the value is no reading number")
        << any << false << QByteArray("#125 um") << false << 0.0 << "" << 0.0 << "" << 0 << ""
        << "";
    QTest::newRow("basis first") << any << false << QByteArray("Fe 125 um") << true << 125.0
                                 << "125" << 125 / 25.4 << "4.92" << 0 << Micrometre << "Fe";
    QTest::newRow("reading number, basis first")
        << any << false << QByteArray("#3 NFe 80 um") << true << 80.0 << "80" << 80 / 25.4 << "3.15"
        << 0 << Micrometre << "NFe";
    QTest::newRow("the largest plausible value")
        << any << false << QByteArray("100000 um") << true << 100000.0 << "100000" << 100000 / 25.4
        << "3937.01" << 0 << Micrometre << "";
    QTest::newRow("beyond any gauge's range")
        << any << false << QByteArray("100001 um") << false << 0.0 << "" << 0.0 << "" << 0 << ""
        << "";
    QTest::newRow("beyond any gauge's range in mils")
        << any << false << QByteArray("4000 mil") << false << 0.0 << "" << 0.0 << "" << 0 << ""
        << "";
    QTest::newRow("300 digits") << any << false << QByteArray(300, '9') << false << 0.0 << "" << 0.0
                                << "" << 0 << ""
                                << "";
    QTest::newRow("more digits than a double keeps")
        << any << false << QByteArray("0.1111111111111111 um") << false << 0.0 << "" << 0.0 << ""
        << 0 << ""
        << "";
    QTest::newRow("25 ones") << any << false << QByteArray("1111111111111111111111111 um") << false
                             << 0.0 << "" << 0.0 << "" << 0 << ""
                             << "";
    QTest::newRow("finer than any gauge")
        << any << false << QByteArray("1e-7 um") << false << 0.0 << "" << 0.0 << "" << 0 << ""
        << "";
    QTest::newRow("mil in the signed form")
        << pattern("signed") << false << QByteArray("-0.50 mils") << true << -0.5 * 25.4 << "-13"
        << -0.5 << "-0.50" << 0 << "mil"
        << "";
}

void TestLineParser::parse()
{
    QFETCH(QString, format);
    QFETCH(bool, milByDefault);
    QFETCH(QByteArray, line);
    QFETCH(bool, matches);

    LineFormat lineFormat;
    lineFormat.pattern = format;
    lineFormat.milByDefault = milByDefault;
    const LineParser parser(lineFormat);
    QVERIFY2(parser.isValid(), qPrintable(parser.error()));
    const QDateTime time(QDate(2026, 12, 7), QTime(9, 30));
    const std::unique_ptr<DmmData> reading = parser.parse(line, time);
    QCOMPARE(bool(reading), matches);
    if (!matches)
        return;

    QTEST(reading->umValue(), "umValue");
    QTEST(reading->umText(), "umText");
    QTEST(reading->milValue(), "milValue");
    QTEST(reading->milText(), "milText");
    QTEST(reading->overload(), "overload");
    QTEST(reading->unit(), "unit");
    QTEST(reading->basis(), "basis");
    QCOMPARE(reading->time(), time);
}

void TestLineParser::overRangeWords_data()
{
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("matches");
    QTest::addColumn<int>("overload");
    QTest::addColumn<QString>("basis");

    const QStringList listed = {"OL", "OV", "ERR3"};
    QTest::newRow("an error word listed") << listed << QByteArray("ERR3") << true << 1 << "";
    QTest::newRow("an error word not listed")
        << QStringList{"OL"} << QByteArray("ERR3") << false << 0 << "";
    QTest::newRow("a reading number and a basis first")
        << listed << QByteArray("#7 Fe ERR3") << true << 1 << "Fe";
    QTest::newRow("negative side") << listed << QByteArray("12 -OL um") << true << -1 << "";
}

void TestLineParser::overRangeWords()
{
    QFETCH(QStringList, words);
    QFETCH(QByteArray, line);
    QFETCH(bool, matches);
    LineFormat format;
    format.overRangeTokens = words;
    const std::unique_ptr<DmmData> reading =
        LineParser(format).parse(line, QDateTime::currentDateTime());
    QCOMPARE(bool(reading), matches);
    if (!matches)
        return;
    QTEST(reading->overload(), "overload");
    QTEST(reading->basis(), "basis");
    QCOMPARE(reading->umValue(), 0.0);
}

void TestLineParser::invalidFormats_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("does not compile") << "(?<value>\\d+";
    QTest::newRow("no value group") << "^(\\d+)$";
}

void TestLineParser::invalidFormats()
{
    QFETCH(QString, format);
    LineFormat lineFormat;
    lineFormat.pattern = format;
    const LineParser parser(lineFormat);
    QVERIFY(!parser.isValid());
    QVERIFY(!parser.error().isEmpty());
    QVERIFY(!parser.parse("12", QDateTime::currentDateTime()));
}

void TestLineParser::everyPresetReadsItsExample()
{
    const QList<QByteArray> lines = {"+0123.4 um", "123 \xc2\xb5m Fe", "4.92 mil", "123"};
    for (const LineFormat::Preset &preset : LineFormat::presets()) {
        LineFormat format;
        format.pattern = preset.pattern;
        const LineParser parser(format);
        int read = 0;
        for (const QByteArray &line : lines)
            read += parser.parse(line, QDateTime::currentDateTime()) ? 1 : 0;
        QVERIFY2(read >= 1, qPrintable(preset.id));
        if (preset.id == QLatin1String("any"))
            QCOMPARE(read, lines.size());
        QCOMPARE(LineFormat::presetForPattern(preset.pattern), &preset);
    }
}

void TestLineParser::split_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<QByteArray>("partial");

    using Lines = QList<QByteArray>;
    QTest::newRow("CR LF split across chunks")
        << Lines{"12", "3\r", "\n45\n"} << Lines{"123", "45"} << QByteArray();
    QTest::newRow("CR alone") << Lines{"1\r2\r"} << Lines{"1", "2"} << QByteArray();
    QTest::newRow("a partial line is kept") << Lines{"7\n12"} << Lines{"7"} << QByteArray("12");
    QTest::newRow("an overlong line is dropped to its end")
        << Lines{"0123456789ab", "cdef\nok\n"} << Lines{"", "ok"} << QByteArray();
    QTest::newRow("an overlong line stays in its place")
        << Lines{"bad\n0123456789\nok\n"} << Lines{"bad", "", "ok"} << QByteArray();
    QTest::newRow("exactly the longest line")
        << Lines{"01234567\n"} << Lines{"01234567"} << QByteArray();
    QTest::newRow("noise without line ends")
        << Lines{QByteArray(100, 'x'), QByteArray(100, '\0')} << Lines{""} << QByteArray();
}

void TestLineParser::split()
{
    QFETCH(QList<QByteArray>, chunks);
    LineBuffer buffer(8);
    QList<QByteArray> lines;
    for (const QByteArray &chunk : chunks)
        lines += buffer.append(chunk);
    QTEST(lines, "lines");
    QTEST(buffer.partialLine(), "partial");
}

void TestLineParser::fuzzCorpus_data()
{
    // The fuzz target's seeds, and the inputs that once made it fail.
    QTest::addColumn<QString>("file");
    const QDir corpus(QStringLiteral(RQ_TEST_SOURCE_DIR "/corpus"));
    for (const char *folder : {"seeds", "regressions"}) {
        QDirIterator it(corpus.filePath(QLatin1String(folder)), QDir::Files);
        QStringList files;
        while (it.hasNext())
            files << it.next();
        files.sort();
        for (const QString &file : files)
            if (!file.endsWith(QLatin1String(".gitkeep")))
                QTest::newRow(qPrintable(corpus.relativeFilePath(file))) << file;
    }
}

void TestLineParser::fuzzCorpus()
{
    QFETCH(QString, file);
    QFile input(file);
    QVERIFY(input.open(QIODevice::ReadOnly));
    const QString problem = LineFuzzCase(input.readAll()).run();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void TestLineParser::settingsRoundTrip()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sub/serialgauge.ini"));
    SerialGaugeSettings s;
    s.port = QStringLiteral("/dev/ttyUSB1");
    s.baudRate = 19200;
    s.dataBits = QSerialPort::Data7;
    s.parity = QSerialPort::EvenParity;
    s.stopBits = QSerialPort::TwoStop;
    s.flowControl = QSerialPort::HardwareControl;
    s.format.pattern = QStringLiteral(R"(^T=(?<value>\d+)\\?$)");
    s.format.milByDefault = true;
    s.format.basis = QStringLiteral("NFe");
    s.format.overRangeTokens = QStringList{QStringLiteral("OVER")};
    s.memoryCommand = QByteArray("M?\r\n");
    s.memoryEndLine = QStringLiteral("DONE");
    s.memoryQuietMs = 500;
    s.memoryExpected = 400;
    s.rangeUm = 5000;
    QVERIFY(s.save(path));

    const SerialGaugeSettings r = SerialGaugeSettings::load(path);
    QVERIFY(r.fileFound);
    QVERIFY2(r.warnings.isEmpty(), qPrintable(r.warnings.join(QLatin1Char('\n'))));
    QCOMPARE(r.port, s.port);
    QCOMPARE(r.baudRate, 19200);
    QCOMPARE(r.dataBits, QSerialPort::Data7);
    QCOMPARE(r.parity, QSerialPort::EvenParity);
    QCOMPARE(r.stopBits, QSerialPort::TwoStop);
    QCOMPARE(r.flowControl, QSerialPort::HardwareControl);
    QCOMPARE(r.format.pattern, s.format.pattern);
    QVERIFY(r.format.milByDefault);
    QCOMPARE(r.format.basis, QStringLiteral("NFe"));
    QCOMPARE(r.format.overRangeTokens, QStringList{QStringLiteral("OVER")});
    QCOMPARE(r.memoryCommand, s.memoryCommand);
    QCOMPARE(r.memoryCountPattern, s.memoryCountPattern);
    QCOMPARE(r.memoryEndLine, QStringLiteral("DONE"));
    QCOMPARE(r.memoryQuietMs, 500);
    QCOMPARE(r.memoryExpected, 400);
    QCOMPARE(r.rangeUm, 5000);

    // A preset is kept by its name.
    s.format.pattern = pattern("mil");
    QVERIFY(s.save(path));
    QCOMPARE(QSettings(path, QSettings::IniFormat).value("format").toString(),
             QStringLiteral("mil"));
    QCOMPARE(SerialGaugeSettings::load(path).format.pattern, pattern("mil"));
}

void TestLineParser::settingsAsWrittenByHand()
{
    // The README's example for a gauge that sends "  125 um" at 9600 baud, and a custom pattern.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("serialgauge.ini"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[General]\nport=/dev/ttyUSB0\nbaudRate=9600\nformat=any\nunit=um\n"
               "overRange=OL, OV\nmemoryCommand=PRINT\\r\\n\n");
    file.close();
    SerialGaugeSettings s = SerialGaugeSettings::load(path);
    QVERIFY(s.warnings.isEmpty());
    QCOMPARE(s.port, QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(s.baudRate, 9600);
    QCOMPARE(s.format.pattern, pattern("any"));
    QCOMPARE(s.format.overRangeTokens, QStringList({"OL", "OV"}));
    QCOMPARE(s.memoryCommand, QByteArray("PRINT\r\n"));
    QCOMPARE(s.rangeUm, 1250);
    QVERIFY(LineParser(s.format).parse("  125 um", QDateTime::currentDateTime()));

    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("[General]\nformat=custom\npattern=\"^T=(?<value>\\\\d+)$\"\nrangeUm=5000\n");
    file.close();
    s = SerialGaugeSettings::load(path);
    QVERIFY(s.warnings.isEmpty());
    QCOMPARE(s.format.pattern, QStringLiteral(R"(^T=(?<value>\d+)$)"));
    QCOMPARE(s.rangeUm, 5000);
}

void TestLineParser::unusableSettingsAreReported_data()
{
    // Each problem is named with the value used instead, which the settings then hold.
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<QString>("used"); // the setting as read: "key=value"

    QTest::newRow("baud rate not a number")
        << QByteArray("[General]\nbaudRate=fast\n")
        << "baudRate \"fast\" is not a whole number from 50 to 4000000; 9600 is used instead"
        << "baudRate=9600";
    QTest::newRow("data bits beyond the range")
        << QByteArray("[General]\ndataBits=9\n")
        << "dataBits \"9\" is not a whole number from 5 to 8; 8 is used instead"
        << "dataBits=8";
    QTest::newRow("quiet time below the range")
        << QByteArray("[General]\nmemoryQuietMs=5\n")
        << "memoryQuietMs \"5\" is not a whole number from 100 to 60000; 100 is used instead"
        << "memoryQuietMs=100";
    QTest::newRow("unknown parity") << QByteArray("[General]\nparity=maybe\n")
                                    << "parity \"maybe\" is not one of none, even, odd, space, "
                                       "mark; none is used instead"
                                    << "parity=0";
    QTest::newRow("unknown format") << QByteArray("[General]\nformat=morse\n")
                                    << "format \"morse\" is unknown; any is used instead"
                                    << "format=any";
    QTest::newRow("unknown unit") << QByteArray("[General]\nunit=inch\n")
                                  << "unit \"inch\" is neither um nor mil; um is used instead"
                                  << "unit=um";
    QTest::newRow("range not a number")
        << QByteArray("[General]\nrangeUm=5 mm\n")
        << "rangeUm \"5 mm\" is not a whole number from 1 to 100000; 1250 is used instead"
        << "rangeUm=1250";
    QTest::newRow("range of nothing")
        << QByteArray("[General]\nrangeUm=0\n")
        << "rangeUm \"0\" is not a whole number from 1 to 100000; 1 is used instead"
        << "rangeUm=1";
    QTest::newRow("range beyond any gauge")
        << QByteArray("[General]\nrangeUm=250000\n")
        << "rangeUm \"250000\" is not a whole number from 1 to 100000; 100000 is used instead"
        << "rangeUm=100000";
    QTest::newRow("random bytes")
        << QByteArray("\x8f\x03port=\x00\x9a\xfe[General\x01\n", 16)
        << "the content is not text; the default settings are used instead"
        << "port=auto";
}

void TestLineParser::unusableSettingsAreReported()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, warning);
    QFETCH(QString, used);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("serialgauge.ini"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    const SerialGaugeSettings s = SerialGaugeSettings::load(path);
    QCOMPARE(s.warnings, QStringList{warning});

    const QString key = used.section(QLatin1Char('='), 0, 0);
    const QString value = used.section(QLatin1Char('='), 1);
    QString got;
    if (key == QLatin1String("baudRate"))
        got = QString::number(s.baudRate);
    else if (key == QLatin1String("dataBits"))
        got = QString::number(s.dataBits);
    else if (key == QLatin1String("memoryQuietMs"))
        got = QString::number(s.memoryQuietMs);
    else if (key == QLatin1String("parity"))
        got = QString::number(s.parity);
    else if (key == QLatin1String("format"))
        got = LineFormat::presetForPattern(s.format.pattern)->id;
    else if (key == QLatin1String("unit"))
        got = s.format.milByDefault ? QStringLiteral("mil") : QStringLiteral("um");
    else if (key == QLatin1String("rangeUm"))
        got = QString::number(s.rangeUm);
    else
        got = s.port;
    QCOMPARE(got, value);
    QVERIFY(!SerialGaugeSettings::load(dir.filePath(QStringLiteral("none.ini"))).fileFound);
}

void TestLineParser::commandEscapes_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("CR LF") << "PRINT\\r\\n" << QByteArray("PRINT\r\n") << "PRINT\\r\\n";
    QTest::newRow("hex") << "\\x1bM\\x00" << QByteArray("\x1bM\x00", 3) << "\\x1bM\\x00";
    QTest::newRow("backslash") << "a\\\\b" << QByteArray("a\\b") << "a\\\\b";
    QTest::newRow("bad hex stays") << "\\xZ" << QByteArray("\\xZ") << "\\\\xZ";
    QTest::newRow("empty") << "" << QByteArray() << "";
}

void TestLineParser::commandEscapes()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, bytes);
    QCOMPARE(SerialGaugeSettings::unescape(typed), bytes);
    QTEST(SerialGaugeSettings::escape(bytes), "shown");
}

QTEST_GUILESS_MAIN(TestLineParser)
#include "tst_lineparser.moc"
