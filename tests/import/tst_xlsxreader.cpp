#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include "workbook/pythontool.h"
#include "xlsxreader.h"

namespace {
const QString Corpus = QStringLiteral(RQ_TEST_SOURCE_DIR "/corpus/xlsx");

// A cell as xlsxcells.py gives it: [type, value].
QJsonArray described(const QVariant &cell)
{
    switch (cell.userType()) {
    case QMetaType::Bool:
        return {QStringLiteral("bool"),
                cell.toBool() ? QStringLiteral("true") : QStringLiteral("false")};
    case QMetaType::Double: {
        // Python's repr of a float: the shortest text that reads back the same, with ".0".
        QString text = QString::number(cell.toDouble(), 'g', QLocale::FloatingPointShortest);
        if (!text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e')))
            text += QStringLiteral(".0");
        return {QStringLiteral("number"), text};
    }
    case QMetaType::QDateTime:
        return {QStringLiteral("date"),
                cell.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))};
    default:
        return {QStringLiteral("text"), cell.toString()};
    }
}

QString columnName(int column)
{
    QString name;
    for (++column; column > 0; column = (column - 1) / 26)
        name.prepend(QChar('A' + (column - 1) % 26));
    return name;
}
} // namespace

class TestXlsxReader : public QObject
{
    Q_OBJECT

private slots:
    void sameCellsAsOpenpyxl_data();
    void sameCellsAsOpenpyxl();
    void aDamagedSheetLeavesTheOthers();
};

void TestXlsxReader::sameCellsAsOpenpyxl_data()
{
    QTest::addColumn<QString>("fileName");
    for (const QString &writer : QStringList{"ours", "openpyxl", "libreoffice", "stored"}) {
        const QDir dir(Corpus + QStringLiteral("/seeds/") + writer);
        for (const QString &file : dir.entryList({QStringLiteral("*.xlsx")}, QDir::Files))
            QTest::newRow(qPrintable(writer + QLatin1Char('/') + file)) << dir.filePath(file);
    }
}

// The differential test: openpyxl, a reader we did not write, must see the same cells.
void TestXlsxReader::sameCellsAsOpenpyxl()
{
    QFETCH(QString, fileName);
    QByteArray json;
    QVERIFY(runPythonScript(QStringLiteral("xlsxcells.py"), {fileName}, &json));
    const QJsonObject expected = QJsonDocument::fromJson(json).object();

    XlsxReader reader;
    QVERIFY2(reader.open(fileName), qPrintable(reader.errorString()));
    QJsonObject seen;
    for (int sheet = 0; sheet < reader.sheets().size(); ++sheet) {
        QJsonObject cells;
        QVERIFY2(reader.readSheet(sheet, XlsxReader::MaxColumns,
                                  [&cells](int row, const QVariantList &values) {
                                      for (int column = 0; column < values.size(); ++column) {
                                          if (!values.at(column).isNull())
                                              cells.insert(columnName(column) +
                                                               QString::number(row + 1),
                                                           described(values.at(column)));
                                      }
                                      return true;
                                  }),
                 qPrintable(reader.errorString()));
        seen.insert(reader.sheets().at(sheet).name, cells);
    }
    for (const QString &sheet : expected.keys()) {
        const QJsonObject want = expected.value(sheet).toObject();
        const QJsonObject got = seen.value(sheet).toObject();
        for (const QString &cell : want.keys())
            QVERIFY2(got.value(cell) == want.value(cell),
                     qPrintable(QStringLiteral("%1!%2: %3, openpyxl %4")
                                    .arg(sheet, cell,
                                         QJsonDocument(got.value(cell).toArray())
                                             .toJson(QJsonDocument::Compact),
                                         QJsonDocument(want.value(cell).toArray())
                                             .toJson(QJsonDocument::Compact))));
        QCOMPARE(got.keys(), want.keys());
    }
    QCOMPARE(seen.keys(), expected.keys());
}

void TestXlsxReader::aDamagedSheetLeavesTheOthers()
{
    XlsxReader reader;
    QVERIFY(reader.open(Corpus + QStringLiteral("/samples/damaged-sheet-before-a-sound-one--is_"
                                                "not_well-formed_XML.xlsx")));
    const XlsxReader::Sheet &damaged = reader.sheets().at(0);
    const auto count = [](int *rows) {
        return [rows](int, const QVariantList &) {
            ++*rows;
            return true;
        };
    };
    int rows = 0;
    QVERIFY(!reader.readSheet(0, XlsxReader::MaxColumns, count(&rows)));
    QVERIFY(reader.errorString().contains(QStringLiteral("not well-formed")));
    // The sheet held by reference across the failure is still the reader's.
    QCOMPARE(damaged.name, QStringLiteral("Deck"));
    QCOMPARE(reader.sheets().size(), 2);
    rows = 0;
    QVERIFY2(reader.readSheet(1, XlsxReader::MaxColumns, count(&rows)),
             qPrintable(reader.errorString()));
    QCOMPARE(rows, 3);
}

QTEST_GUILESS_MAIN(TestXlsxReader)
#include "tst_xlsxreader.moc"
