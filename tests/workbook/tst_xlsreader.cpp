#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include "pythontool.h"
#include "xlsreader.h"
#include "xlswriter.h"

// The reader against workbooks from xlwt, a writer that shares no code with the logger, and
// against the logger's own writer.
class TestXlsReader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void referenceWorkbook();
    void writerWorkbook();
    void timesOfADay();
    void largeStringTable();
    void longestTexts_data();
    void longestTexts();
    void emptyWorkbook();
    void notAWorkbook_data();
    void notAWorkbook();
    void containers_data();
    void containers();
    void damaged_data();
    void damaged();
    void cellWrittenTwice();

private:
    QString writeFile(const QString &name, const QByteArray &data);

    QTemporaryDir m_dir;
    QString m_reference;
};

void TestXlsReader::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(pythonHasXlsModules(), RQ_SYSTEM_PYTHON " lacks xlwt (Debian package python3-xlwt)");
    m_reference = m_dir.filePath(QStringLiteral("reference.xls"));
    QVERIFY(runPythonScript(QStringLiteral("xlsmake.py"), {m_reference}));
}

QString TestXlsReader::writeFile(const QString &name, const QByteArray &data)
{
    const QString fileName = m_dir.filePath(name);
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        return QString();
    return fileName;
}

namespace {

constexpr int Sector = 512;

quint32 u32At(const QByteArray &data, int offset)
{
    return qFromLittleEndian<quint32>(data.constData() + offset);
}

void setU16(QByteArray &data, int offset, quint16 value)
{
    qToLittleEndian(value, data.data() + offset);
}

void setU32(QByteArray &data, int offset, quint32 value)
{
    qToLittleEndian(value, data.data() + offset);
}

// A small workbook of the writer's: readings-like cells, a date-time and shared strings.
QByteArray writerFile()
{
    XlsWriter writer;
    writer.setText(0, 0, QStringLiteral("No."));
    writer.setText(0, 1, QStringLiteral("Time"));
    writer.setNumber(1, 0, 1);
    writer.setDateTime(1, 1, QDateTime(QDate(2024, 3, 4), QTime(5, 6, 7)));
    writer.setText(1, 2, QStringLiteral("12.5"), QStringLiteral("@"));
    writer.setNumber(1, 3, 2.5);
    return writer.fileData();
}

// The writer's workbook stream starts at sector 0 and runs on without gaps; the file offset of
// the body of the n-th record of a type, counted from 0, or -1.
int recordBody(const QByteArray &file, quint16 type, int n = 0)
{
    int pos = Sector;
    int eofs = 0;
    while (pos + 4 <= file.size() && eofs < 2) {
        const quint16 t = qFromLittleEndian<quint16>(file.constData() + pos);
        const quint16 size = qFromLittleEndian<quint16>(file.constData() + pos + 2);
        if (t == type && n-- == 0)
            return pos + 4;
        eofs += t == 0x000A ? 1 : 0;
        pos += 4 + size;
    }
    return -1;
}

// The workbook stream of the writer's file, up to its last EOF record.
QByteArray workbookStream(const QByteArray &file)
{
    const int end = recordBody(file, 0x000A, 1);
    return file.mid(Sector, end - Sector);
}

// A compound file holding stream as "Workbook", with sectors of 2^shift bytes, the stream in
// the mini stream when mini is set: the FAT, the directory and the mini FAT each take a sector.
QByteArray compoundFile(const QByteArray &stream, int shift, bool mini)
{
    const int size = 1 << shift;
    const int miniSectors = (stream.size() + 63) / 64;
    QByteArray data = stream;
    if (mini)
        data.append(miniSectors * 64 - stream.size(), '\0');
    const int dataSectors = (data.size() + size - 1) / size;
    data.append(dataSectors * size - data.size(), '\0');

    QByteArray file(size * (4 + dataSectors), '\0');
    file.replace(0, 8, QByteArray::fromHex("D0CF11E0A1B11AE1"));
    setU16(file, 0x18, 0x3E);
    setU16(file, 0x1A, shift == 9 ? 3 : 4);
    setU16(file, 0x1C, 0xFFFE);
    setU16(file, 0x1E, static_cast<quint16>(shift));
    setU16(file, 0x20, 6);
    setU32(file, 0x2C, 1);
    setU32(file, 0x30, 1);
    setU32(file, 0x38, 4096);
    setU32(file, 0x3C, mini ? 2 : 0xFFFFFFFE);
    setU32(file, 0x40, mini ? 1 : 0);
    setU32(file, 0x44, 0xFFFFFFFE);
    for (int i = 0; i < 109; ++i)
        setU32(file, 0x4C + 4 * i, i == 0 ? 0 : 0xFFFFFFFF);

    const auto sectorAt = [size](int sector) { return size * (sector + 1); };
    const int fat = sectorAt(0);
    for (int i = 0; i < size / 4; ++i)
        setU32(file, fat + 4 * i, 0xFFFFFFFF);
    setU32(file, fat, 0xFFFFFFFD);
    setU32(file, fat + 4, 0xFFFFFFFE);
    setU32(file, fat + 8, mini ? 0xFFFFFFFE : 0xFFFFFFFF);
    for (int i = 0; i < dataSectors; ++i)
        setU32(file, fat + 4 * (3 + i), i + 1 < dataSectors ? 3 + i + 1 : 0xFFFFFFFE);
    if (mini) {
        const int miniFat = sectorAt(2);
        for (int i = 0; i < size / 4; ++i)
            setU32(file, miniFat + 4 * i, i < miniSectors - 1 ? i + 1 : 0xFFFFFFFF);
        setU32(file, miniFat + 4 * (miniSectors - 1), 0xFFFFFFFE);
    }
    file.replace(sectorAt(3), data.size(), data);

    const int dir = sectorAt(1);
    const auto entry = [&](int index, const QString &name, quint8 type, quint32 child,
                           quint32 start, quint32 streamSize) {
        const int e = dir + 128 * index;
        for (int c = 0; c < name.size(); ++c)
            setU16(file, e + 2 * c, name.at(c).unicode());
        setU16(file, e + 64, static_cast<quint16>(2 * (name.size() + 1)));
        file[e + 66] = static_cast<char>(type);
        setU32(file, e + 68, 0xFFFFFFFF);
        setU32(file, e + 72, 0xFFFFFFFF);
        setU32(file, e + 76, child);
        setU32(file, e + 116, start);
        setU32(file, e + 120, streamSize);
    };
    entry(0, QStringLiteral("Root Entry"), 5, 1, mini ? 3 : 0xFFFFFFFE,
          mini ? static_cast<quint32>(miniSectors * 64) : 0);
    entry(1, QStringLiteral("Workbook"), 2, 0xFFFFFFFF, mini ? 0 : 3,
          static_cast<quint32>(stream.size()));
    return file;
}

} // namespace

static bool isNumber(const QVariant &cell, double value)
{
    return (cell.userType() == QMetaType::Int || cell.userType() == QMetaType::Double) &&
           cell.toDouble() == value;
}

void TestXlsReader::referenceWorkbook()
{
    XlsReader reader;
    QVERIFY(reader.open(m_reference));
    const QList<QVariantList> rows = reader.rows();
    // The used range starts at B2 and holds four rows of five cells; the second sheet is not read.
    QCOMPARE(rows.size(), 4);
    for (const QVariantList &row : rows)
        QCOMPARE(row.size(), 5);

    QCOMPARE(rows.at(0),
             (QVariantList{QStringLiteral("No."), QStringLiteral("Time"), QStringLiteral("Value"),
                           QStringLiteral("Unit"), QStringLiteral("Basis")}));

    QVERIFY(isNumber(rows.at(1).at(0), 1));
    QCOMPARE(rows.at(1).at(1).userType(), int(QMetaType::QDateTime));
    QCOMPARE(rows.at(1).at(1).toDateTime(), QDateTime(QDate(2024, 3, 4), QTime(5, 6, 7)));
    QCOMPARE(rows.at(1).at(2), QVariant(QStringLiteral("12.5")));
    QCOMPARE(rows.at(1).at(3), QVariant(QStringLiteral("\u03BCm")));
    QCOMPARE(rows.at(1).at(4), QVariant(QStringLiteral("Fe")));

    QVERIFY(isNumber(rows.at(2).at(0), 2.75));
    QCOMPARE(rows.at(2).at(1), QVariant(QStringLiteral("2024-03-04 05:06:08")));
    QVERIFY(isNumber(rows.at(2).at(2), 25.4));
    QCOMPARE(rows.at(2).at(3), QVariant(QStringLiteral("mil")));

    QVERIFY(isNumber(rows.at(3).at(0), -3));
    QCOMPARE(rows.at(3).at(1).toDateTime(), QDateTime(QDate(2023, 12, 31), QTime(0, 0)));
    QVERIFY(rows.at(3).at(2).isNull());
    QCOMPARE(rows.at(3).at(3), QVariant(QStringLiteral("\u00B5m \u039CM \u00E9")));
    // A time of day comes back on Excel's day zero.
    QCOMPARE(rows.at(3).at(4).toDateTime(), QDateTime(QDate(1899, 12, 30), QTime(13, 14, 15)));
}

void TestXlsReader::writerWorkbook()
{
    XlsWriter writer;
    writer.setText(2, 2, QStringLiteral("No."));
    writer.setNumber(3, 2, 1);
    writer.setNumber(3, 3, -0.125);
    writer.setDateTime(3, 4, QDateTime(QDate(2024, 3, 4), QTime(5, 6, 7)));
    writer.setText(3, 5, QStringLiteral("12.5"), QStringLiteral("@"));
    writer.setText(3, 6, QStringLiteral("\u03BCm"), QStringLiteral("@"));
    writer.setNumber(5, 3, 1e10);
    writer.setText(5, 4, QStringLiteral("\u00B5m d\u00E9p\u00F4t")); // one byte a character
    const QString fileName = m_dir.filePath(QStringLiteral("writer.xls"));
    QVERIFY(writer.save(fileName));

    XlsReader reader;
    QVERIFY(reader.open(fileName));
    const QList<QVariantList> rows = reader.rows();
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows.at(0),
             (QVariantList{QStringLiteral("No."), QVariant(), QVariant(), QVariant(), QVariant()}));
    QVERIFY(isNumber(rows.at(1).at(0), 1));
    QVERIFY(isNumber(rows.at(1).at(1), -0.125));
    QCOMPARE(rows.at(1).at(2).userType(), int(QMetaType::QDateTime));
    QCOMPARE(rows.at(1).at(2).toDateTime(), QDateTime(QDate(2024, 3, 4), QTime(5, 6, 7)));
    QCOMPARE(rows.at(1).at(3), QVariant(QStringLiteral("12.5")));
    QCOMPARE(rows.at(1).at(4), QVariant(QStringLiteral("\u03BCm")));
    QCOMPARE(rows.at(2),
             (QVariantList{QVariant(), QVariant(), QVariant(), QVariant(), QVariant()}));
    QVERIFY(isNumber(rows.at(3).at(1), 1e10));
    QCOMPARE(rows.at(3).at(2), QVariant(QStringLiteral("\u00B5m d\u00E9p\u00F4t")));
}

void TestXlsReader::timesOfADay()
{
    // Every second of 18 hours: no time may come back a second off.
    XlsWriter writer;
    const QDateTime start(QDate(2024, 3, 4), QTime(0, 0));
    for (int r = 0; r < XlsWriter::MaxRows; ++r)
        writer.setDateTime(r, 0, start.addSecs(r));
    const QString fileName = m_dir.filePath(QStringLiteral("times.xls"));
    QVERIFY(writer.save(fileName));
    XlsReader reader;
    QVERIFY(reader.open(fileName));
    const QList<QVariantList> rows = reader.rows();
    QCOMPARE(rows.size(), XlsWriter::MaxRows);
    for (int r = 0; r < rows.size(); ++r) {
        if (rows.at(r).at(0).toDateTime() != start.addSecs(r))
            QFAIL(qPrintable(
                QStringLiteral("row %1 reads %2").arg(r).arg(rows.at(r).at(0).toString())));
    }
}

void TestXlsReader::largeStringTable()
{
    // Strings cut across CONTINUE records and a file with more FAT sectors than its header lists.
    XlsWriter writer;
    const int count = 7600;
    const auto text = [](int r) {
        const QChar fill = r % 5 == 0 ? QChar(0x03BC) : QLatin1Char('a' + r % 26);
        return QString::number(r) + QString(1000 + r % 50, fill);
    };
    for (int r = 0; r < count; ++r)
        writer.setText(r, 0, text(r));
    const QString fileName = m_dir.filePath(QStringLiteral("large.xls"));
    QVERIFY(writer.save(fileName));
    QVERIFY(QFileInfo(fileName).size() > 109 * 128 * 512);
    XlsReader reader;
    QVERIFY(reader.open(fileName));
    const QList<QVariantList> rows = reader.rows();
    QCOMPARE(rows.size(), count);
    for (int r = 0; r < count; ++r) {
        if (rows.at(r).at(0).toString() != text(r))
            QFAIL(qPrintable(QStringLiteral("row %1 differs").arg(r)));
    }
}

void TestXlsReader::longestTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("one byte a character") << QString(XlsWriter::MaxTextLength, QChar(0xE9));
    QTest::newRow("two bytes a character") << QString(XlsWriter::MaxTextLength, QChar(0x03BC));
    QTest::newRow("mixed") << QString(16400, QLatin1Char('a')) + QString(16367, QChar(0x03BC));
}

void TestXlsReader::longestTexts()
{
    // Texts of the longest length the writer allows, spread over CONTINUE records.
    QFETCH(QString, text);
    XlsWriter writer;
    writer.setText(0, 0, QStringLiteral("before"));
    writer.setText(1, 0, text);
    writer.setText(2, 0, QStringLiteral("after"));
    XlsReader reader;
    QVERIFY(reader.read(writer.fileData()));
    const QList<QVariantList> rows = reader.rows();
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.at(1).at(0).toString(), text);
    QCOMPARE(rows.at(2).at(0).toString(), QStringLiteral("after"));
}

void TestXlsReader::emptyWorkbook()
{
    const QString fileName = m_dir.filePath(QStringLiteral("empty.xls"));
    QVERIFY(XlsWriter().save(fileName));
    XlsReader reader;
    QVERIFY(reader.open(fileName));
    QVERIFY(reader.rows().isEmpty());
}

void TestXlsReader::notAWorkbook_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::newRow("missing") << m_dir.filePath(QStringLiteral("missing.xls"));
    QTest::newRow("empty file") << writeFile(QStringLiteral("empty file.xls"), QByteArray());
    QTest::newRow("csv") << writeFile(QStringLiteral("table.xls"),
                                      "No.,Time,Value,Unit,Basis\n1,2024-03-04 05:06:07,12.5\n");
    QTest::newRow("folder") << m_dir.path();
#ifdef Q_OS_UNIX
    QTest::newRow("endless device") << QStringLiteral("/dev/zero");
#endif

    XlsWriter writer;
    writer.setText(0, 0, QStringLiteral("No."));
    QByteArray data = writer.fileData();
    QTest::newRow("cut short") << writeFile(QStringLiteral("short.xls"), data.left(1536));
    // A compound file whose stream is not called "Workbook" is some other document.
    const QByteArray name = QByteArray("W\0o\0r\0k\0b\0o\0o\0k\0", 16);
    QVERIFY(data.lastIndexOf(name) > 0);
    data.replace(data.lastIndexOf(name), name.size(), QByteArray("D\0o\0c\0u\0m\0e\0n\0t\0", 16));
    QTest::newRow("other document") << writeFile(QStringLiteral("document.xls"), data);
}

void TestXlsReader::notAWorkbook()
{
    QFETCH(QString, fileName);
    QVERIFY(!fileName.isEmpty());
    XlsReader reader;
    QVERIFY(reader.open(m_reference));
    QVERIFY(!reader.open(fileName));
    QVERIFY(reader.rows().isEmpty());
}

void TestXlsReader::containers_data()
{
    QTest::addColumn<QByteArray>("file");
    // xlrd places 4096-byte sectors wrongly, after a header of 512 bytes instead of 4096.
    QTest::addColumn<bool>("checkWithXlrd");
    const QByteArray stream = workbookStream(writerFile());
    QVERIFY(stream.size() < 4096);
    QTest::newRow("512-byte sectors, mini stream") << compoundFile(stream, 9, true) << true;
    QTest::newRow("4096-byte sectors, mini stream") << compoundFile(stream, 12, true) << false;
    QByteArray padded = stream;
    padded.append(5000, '\0');
    QTest::newRow("4096-byte sectors") << compoundFile(padded, 12, false) << false;
    QTest::newRow("512-byte sectors") << compoundFile(padded, 9, false) << true;
}

void TestXlsReader::containers()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, checkWithXlrd);
    XlsReader expected;
    QVERIFY(expected.read(writerFile()));
    QCOMPARE(expected.rows().size(), 2);
    XlsReader reader;
    QVERIFY(reader.read(file));
    QCOMPARE(reader.rows(), expected.rows());
    if (!checkWithXlrd)
        return;
    const QString fileName = writeFile(QStringLiteral("container.xls"), file);
    const QJsonObject dump = dumpWorkbook(fileName);
    QCOMPARE(dump.value(QStringLiteral("nrows")).toInt(), 2);
    QCOMPARE(dump.value(QStringLiteral("last")).toDouble(), 2.5);
}

void TestXlsReader::damaged_data()
{
    QTest::addColumn<QByteArray>("file");
    const QByteArray good = writerFile();
    const int fat = Sector * (static_cast<int>(u32At(good, 0x4C)) + 1);
    const int dir = Sector * (static_cast<int>(u32At(good, 0x30)) + 1);
    const auto patched = [&good](int offset, quint32 value, int bytes = 4) {
        QByteArray file = good;
        if (bytes == 2)
            setU16(file, offset, static_cast<quint16>(value));
        else
            setU32(file, offset, value);
        return file;
    };

    QTest::newRow("sector chain loops") << patched(fat + 4 * 2, 1);
    QTest::newRow("chain leaves the file") << patched(fat + 4 * 2, 100000);
    QTest::newRow("directory beyond the file") << patched(0x30, 0x00FFFFFF);
    QTest::newRow("more FAT sectors than the file has") << patched(0x2C, 0x7FFFFFFF);
    QTest::newRow("DIFAT chain loops") << [&] {
        QByteArray file = patched(0x2C, 200);
        setU32(file, 0x44, 0);
        setU32(file, Sector + 4 * 127, 0);
        return file;
    }();
    QTest::newRow("stream larger than the file") << patched(dir + 128 + 120, 0xFFFFFFF0);
    QTest::newRow("stream longer than its chain") << patched(dir + 128 + 120, good.size() - 1);
    QTest::newRow("unknown sector size") << patched(0x1E, 16, 2);
    QTest::newRow("directory tree loops") << [&] {
        QByteArray file = patched(dir + 128 + 68, 1);
        file[dir + 128] = 'X';
        return file;
    }();

    QTest::newRow("record runs past the stream")
        << patched(recordBody(good, 0x0809, 1) - 2, 0xFFFF, 2);
    QTest::newRow("huge shared string count") << patched(recordBody(good, 0x00FC) + 4, 0x7FFFFFFF);
    QTest::newRow("shared string index out of range")
        << patched(recordBody(good, 0x00FD) + 6, 1000);
    QTest::newRow("column beyond the sheet") << patched(recordBody(good, 0x00FD) + 2, 300, 2);
    QTest::newRow("no end of sheet") << patched(recordBody(good, 0x000A, 1) - 4, 0, 2);
    QTest::newRow("sheet outside the stream") << patched(recordBody(good, 0x0085), 0xFFFFFFF0);
    QTest::newRow("sheet offset on the globals") << patched(recordBody(good, 0x0085), 0);
    QTest::newRow("encrypted") << patched(recordBody(good, 0x0042) - 4, 0x002F, 2);
    QTest::newRow("not BIFF8") << patched(recordBody(good, 0x0809), 0x0500, 2);
    QTest::newRow("number record cut short") << patched(recordBody(good, 0x0203) - 2, 10, 2);
}

void TestXlsReader::damaged()
{
    QFETCH(QByteArray, file);
    XlsReader reader;
    QVERIFY(!reader.read(file));
    QVERIFY(reader.rows().isEmpty());
    QCOMPARE(reader.rowCount(), 0);
}

void TestXlsReader::cellWrittenTwice()
{
    // The second of two values for one cell holds, as a program that overwrites it means.
    QByteArray file = writerFile();
    const int number = recordBody(file, 0x0203, 1);
    QVERIFY(number > 0);
    setU16(file, number + 2, 0);
    XlsReader reader;
    QVERIFY(reader.read(file));
    const QList<QVariantList> rows = reader.rows();
    QCOMPARE(rows.size(), 2);
    QVERIFY(isNumber(rows.at(1).at(0), 2.5));
}

QTEST_GUILESS_MAIN(TestXlsReader)
#include "tst_xlsreader.moc"
