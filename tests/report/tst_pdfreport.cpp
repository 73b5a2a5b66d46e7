#include <memory>

#include <csignal>
#include <sys/resource.h>

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "common/popplertools.h"
#include "pdfreport.h"
#include "reportcolumn.h"

namespace {

using PopplerTools::pageCount;
using PopplerTools::pageText;
using PopplerTools::tokens;

// Width and height of every image placed on page 1, from pdfimages' listing.
QList<QSize> imagesOnPageOne(const QString &pdf)
{
    QList<QSize> sizes;
    const QStringList lines = PopplerTools::run("pdfimages", {"-list", "-f", "1", "-l", "1", pdf})
                                  .split('\n', Qt::SkipEmptyParts);
    for (int i = 2; i < lines.size(); ++i) { // two header lines
        const QStringList fields = tokens(lines.at(i));
        if (fields.size() > 4 && fields.at(2) == QLatin1String("image"))
            sizes.append(QSize(fields.at(3).toInt(), fields.at(4).toInt()));
    }
    return sizes;
}

// Display data as the reading table model gives it: the row number as an int, the rest texts.
std::unique_ptr<QStandardItemModel> readings(int count)
{
    auto model = std::make_unique<QStandardItemModel>(count, 5);
    const QDateTime start(QDate(2024, 3, 5), QTime(14, 7, 9));
    for (int r = 0; r < count; ++r) {
        model->setData(model->index(r, 0), r + 1);
        model->setData(model->index(r, 1), start.addSecs(r).toString("yyyy-MM-dd hh:mm:ss"));
        model->setData(model->index(r, 2), QStringLiteral("120.5"));
        model->setData(model->index(r, 3), QString::fromUtf8("μm"));
        model->setData(model->index(r, 4), QStringLiteral("Fe"));
    }
    return model;
}

QPixmap picture(int width, int height, Qt::GlobalColor color)
{
    QPixmap pixmap(width, height);
    pixmap.fill(color);
    return pixmap;
}

} // namespace

class tst_PdfReport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void layout_data();
    void layout();
    void cellText_data();
    void cellText();

    void pageCounts_data();
    void pageCounts();
    void texts();
    void summaryPage();
    void rowsContinueAcrossPages();
    void lastPageTableEndsBelowItsRows();
    void pictures_data();
    void pictures();
    void unwritableTarget_data();
    void unwritableTarget();
    void failedWriteKeepsEarlierReport();
    void pictureSavedInFormatOfSuffix_data();
    void pictureSavedInFormatOfSuffix();

private:
    QString reportFile(const QString &name) const { return m_dir.filePath(name); }
    // Without pictures unless asked: they only slow down the tests of the table pages.
    bool writeReport(const QString &file, int rows, const QString &scene = QString(),
                     const QPixmap &histogram = QPixmap(), const QPixmap &chart = QPixmap(),
                     const QList<QPair<QString, QString>> &summary = {},
                     const QStringList &trail = {});

    QTemporaryDir m_dir;
    ReportColumn m_records[5] = {{QStringLiteral("No."), QRect(), 2},
                                 {QStringLiteral("Time"), QRect(), 3},
                                 {QStringLiteral("Value"), QRect(), 3},
                                 {QStringLiteral("Unit"), QRect(), 2},
                                 {QStringLiteral("Basis"), QRect(), 2}};
    QList<ReportColumn *> m_columns;
    PdfReport::Layout m_a4; // what an A4 writer at its defaults gives, for one row
    QPoint m_paintOrigin;   // where the writer's device origin lies on the page, in device units
};

bool tst_PdfReport::writeReport(const QString &file, int rows, const QString &scene,
                                const QPixmap &histogram, const QPixmap &chart,
                                const QList<QPair<QString, QString>> &summary,
                                const QStringList &trail)
{
    const auto model = readings(rows);
    return PdfReport::write(file, scene, *model, histogram, chart, m_columns, summary, trail);
}

void tst_PdfReport::initTestCase()
{
    for (ReportColumn &record : m_records)
        m_columns.append(&record);
    QVERIFY(m_dir.isValid());
    for (const char *tool : {"pdfinfo", "pdftotext", "pdfimages", "pdftoppm"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty())
            QSKIP("poppler-utils are needed to check the reports");
    }

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageSize(QPageSize(QPageSize::A4));
    QPainter painter(&writer);
    const int baseHeight = painter.fontMetrics().height();
    QFont reportFont = painter.font();
    reportFont.setPointSize(12);
    const int reportHeight = QFontMetrics(reportFont, &writer).height();
    painter.end();
    m_a4 = PdfReport::layout(writer.width(), writer.height(), baseHeight, reportHeight,
                             {2, 3, 3, 2, 2}, 1);
    m_paintOrigin = writer.pageLayout().paintRectPixels(writer.resolution()).topLeft();
    QVERIFY2(m_a4.rpp > 10, "an A4 page holds a few dozen rows");
}

void tst_PdfReport::layout_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("baseFont");
    QTest::addColumn<int>("reportFont");
    QTest::addColumn<QList<int>>("weights");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QList<int>>("expected"); // m, rowH, rpp, tp, total, fh, picH
    QTest::addColumn<QList<int>>("widths");

    const QList<int> weights{2, 3, 3, 2, 2};
    QTest::newRow("no readings") << 9400 << 13557 << 150 << 230 << weights << 0
                                 << QList<int>{470, 300, 40, 0, 1, 230, 3599}
                                 << QList<int>{1410, 2115, 2115, 1410, 1410};
    QTest::newRow("one reading") << 9400 << 13557 << 150 << 230 << weights << 1
                                 << QList<int>{470, 300, 40, 1, 2, 230, 3599}
                                 << QList<int>{1410, 2115, 2115, 1410, 1410};
    QTest::newRow("exactly one page")
        << 9400 << 13557 << 150 << 230 << weights << 40 << QList<int>{470, 300, 40, 1, 2, 230, 3599}
        << QList<int>{1410, 2115, 2115, 1410, 1410};
    QTest::newRow("one row over a page")
        << 9400 << 13557 << 150 << 230 << weights << 41 << QList<int>{470, 300, 40, 2, 3, 230, 3599}
        << QList<int>{1410, 2115, 2115, 1410, 1410};
    QTest::newRow("widths truncated")
        << 1003 << 2000 << 10 << 12 << weights << 1000 << QList<int>{50, 20, 95, 11, 12, 12, 618}
        << QList<int>{150, 225, 225, 150, 150};
    QTest::newRow("fewer columns") << 1000 << 2000 << 10 << 12 << QList<int>{2, 3} << 5
                                   << QList<int>{50, 20, 95, 1, 2, 12, 618} << QList<int>{360, 540};
    QTest::newRow("font too large for a row")
        << 1000 << 1000 << 90 << 12 << weights << 3 << QList<int>{50, 180, 1, 3, 4, 12, 285}
        << QList<int>{150, 225, 225, 150, 150};
}

void tst_PdfReport::layout()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, baseFont);
    QFETCH(int, reportFont);
    QFETCH(QList<int>, weights);
    QFETCH(int, rows);
    QFETCH(QList<int>, expected);
    QFETCH(QList<int>, widths);

    const PdfReport::Layout lay =
        PdfReport::layout(width, height, baseFont, reportFont, weights, rows);
    QCOMPARE((QList<int>{lay.m, lay.rowH, lay.rpp, lay.tp, lay.total, lay.fh, lay.picH}), expected);
    QCOMPARE(lay.widths, widths);
}

void tst_PdfReport::cellText_data()
{
    QTest::addColumn<QVariant>("data");
    QTest::addColumn<QString>("text");

    QTest::newRow("row number") << QVariant(41) << "41";
    QTest::newRow("unsigned") << QVariant(7u) << "7";
    QTest::newRow("64-bit") << QVariant(qlonglong(123456)) << "123456";
    QTest::newRow("double as integer") << QVariant(12.0) << "12";
    QTest::newRow("character as its code") << QVariant(QChar('A')) << "65";
    QTest::newRow("text") << QVariant(QStringLiteral("  -OL")) << "  -OL";
    QTest::newRow("date-time") << QVariant(QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)))
                               << "2024-03-05 14:07:09";
    QTest::newRow("other") << QVariant(true) << "true";
    QTest::newRow("no data") << QVariant() << "";
}

void tst_PdfReport::cellText()
{
    QFETCH(QVariant, data);
    QFETCH(QString, text);
    QCOMPARE(PdfReport::cellText(data), text);
}

void tst_PdfReport::pageCounts_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("summary");
    QTest::addColumn<int>("pages");
    // Lines of the exclusion trail: pages of their own after the table.
    QTest::addColumn<int>("trail");

    QTest::newRow("no readings") << 0 << false << 1 << 0;
    QTest::newRow("exactly one table page") << m_a4.rpp << false << 2 << 0;
    QTest::newRow("one row over") << m_a4.rpp + 1 << false << 3 << 0;
    QTest::newRow("summary, no readings") << 0 << true << 2 << 0;
    QTest::newRow("summary, one row over") << m_a4.rpp + 1 << true << 4 << 0;
    QTest::newRow("a trail") << 2 << true << 4 << 3;
    QTest::newRow("a trail one line over a page") << m_a4.rpp + 1 << true << 6 << m_a4.rpp + 1;
}

void tst_PdfReport::pageCounts()
{
    QFETCH(int, rows);
    QFETCH(bool, summary);
    QFETCH(int, pages);
    QFETCH(int, trail);

    QStringList lines;
    for (int i = 1; i <= trail; ++i)
        lines << QStringLiteral("No. %1 excluded (Wrong part) by jdoe, 2026-12-08 09:20:00").arg(i);
    const QString file =
        reportFile(QStringLiteral("count%1-%2-%3.pdf").arg(rows).arg(summary).arg(trail));
    QVERIFY(writeReport(file, rows, QString(), QPixmap(), QPixmap(),
                        summary ? QList<QPair<QString, QString>>{{"Verdict", "PASS"}}
                                : QList<QPair<QString, QString>>(),
                        lines));
    QCOMPARE(pageCount(file), pages);
    QVERIFY(PopplerTools::run("pdfinfo", {file}).contains("(A4)"));
    for (int page = 1; page <= pages; ++page) {
        const QStringList words = tokens(pageText(file, page, page));
        QVERIFY2(words.contains(QStringLiteral("%1/%2").arg(page).arg(pages)),
                 qPrintable(words.join(' ')));
    }
    if (trail > 0) {
        const QString last = pageText(file, pages, pages);
        QVERIFY2(last.contains(QStringLiteral("Exclusion trail")), qPrintable(last));
        QVERIFY(last.contains(lines.last()));
    }
}

void tst_PdfReport::texts()
{
    const QString file = reportFile(QStringLiteral("texts.pdf"));
    const QString scene = reportFile(QStringLiteral("scene.png"));
    QVERIFY(picture(30, 20, Qt::green).save(scene));
    QVERIFY(writeReport(file, m_a4.rpp + 1, scene, picture(40, 20, Qt::blue),
                        picture(40, 20, Qt::red)));

    const QString first = pageText(file, 1, 1);
    for (const char *label : {"Scene picture:", "Histogram:", "Chart:", "1/3"})
        QVERIFY2(first.contains(label), label);

    const QString second = pageText(file, 2, 2);
    QVERIFY(tokens(second).contains(QStringLiteral("2/3")));
    QVERIFY2(second.contains(
                 QRegularExpression(QStringLiteral("No\\.\\s+Time\\s+Value\\s+Unit\\s+Basis"))),
             qPrintable(second));
    // The stamp stands alone above the table, the readings' times sit in their cells.
    const QRegularExpression stamp(
        QStringLiteral("^\\s*\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\s*$"),
        QRegularExpression::MultilineOption);
    QVERIFY2(stamp.match(second).hasMatch(), qPrintable(second));
    QVERIFY(second.contains(QRegularExpression(
        QString::fromUtf8("\\b1\\s+2024-03-05 14:07:09\\s+120\\.5\\s+μm\\s+Fe"))));
    QVERIFY(tokens(pageText(file, 3, 3)).contains(QStringLiteral("3/3")));
}

void tst_PdfReport::summaryPage()
{
    const QString file = reportFile(QStringLiteral("summary.pdf"));
    const QString failure = QStringLiteral("3 readings below 80 % of the NDFT (96.0 μm), a text "
                                           "long enough to wrap within its column of the page");
    QVERIFY(writeReport(file, 2, QString(), QPixmap(), QPixmap(),
                        {{"Item", "Measure1"}, {"Verdict", "FAIL"}, {"Failed", failure}}));
    const QString summary = pageText(file, 2, 2);
    QVERIFY2(summary.contains(QRegularExpression(QStringLiteral("Summary\\s+Item\\s+Measure1"))),
             qPrintable(summary));
    QVERIFY(summary.contains(QRegularExpression(QStringLiteral("Verdict\\s+FAIL"))));
    QVERIFY(tokens(summary).join(' ').contains(tokens(failure).join(' ')));
    QVERIFY(tokens(summary).contains(QStringLiteral("2/3")));
    const QString table = pageText(file, 3, 3);
    QVERIFY(tokens(table).contains(QStringLiteral("3/3")));
    QVERIFY(table.contains(QRegularExpression(QStringLiteral("No\\.\\s+Time\\s+Value"))));
}

void tst_PdfReport::rowsContinueAcrossPages()
{
    const int rpp = m_a4.rpp;
    const QString file = reportFile(QStringLiteral("continue.pdf"));
    QVERIFY(writeReport(file, rpp + 1));

    const QStringList second = tokens(pageText(file, 2, 2));
    QVERIFY(second.contains(QString::number(1)));
    QVERIFY(second.contains(QString::number(rpp)));
    QVERIFY(!second.contains(QString::number(rpp + 1)));

    const QString third = pageText(file, 3, 3);
    const QRegularExpression firstRow(QStringLiteral("Basis\\s+(\\d+)\\s"));
    const QRegularExpressionMatch match = firstRow.match(third);
    QVERIFY2(match.hasMatch(), qPrintable(third));
    QCOMPARE(match.captured(1).toInt(), rpp + 1);
    QCOMPARE(tokens(third).count(QStringLiteral("120.5")), 1);
}

void tst_PdfReport::lastPageTableEndsBelowItsRows()
{
    const QString file = reportFile(QStringLiteral("rules.pdf"));
    QVERIFY(writeReport(file, m_a4.rpp + 1));
    const QString prefix = reportFile(QStringLiteral("rules"));
    QProcess::execute("pdftoppm", {"-png", "-r", "150", "-aaVector", "no", "-f", "3", "-l", "3",
                                   "-singlefile", file, prefix});
    QImage page(prefix + ".png");
    QVERIFY(!page.isNull());

    // Device units are 1200 per inch; the left border of the table runs at x = m.
    // The darkest pixel within two pixels of the spot, as a thin rule may land beside it.
    const double scale = 150.0 / 1200.0;
    const auto pixel = [&](int x, int y) {
        const int px = qRound((m_paintOrigin.x() + x) * scale);
        const int py = qRound((m_paintOrigin.y() + y) * scale);
        int darkest = 255;
        for (int dx = -2; dx <= 2; ++dx)
            darkest = qMin(darkest, qGray(page.pixel(px + dx, py)));
        return darkest;
    };
    const int rowH = m_a4.rowH;
    QVERIFY2(pixel(m_a4.m, 3 * rowH + rowH / 2) < 128, "border beside the header");
    QVERIFY2(pixel(m_a4.m, 4 * rowH + rowH / 2) < 128, "border beside the one row");
    QVERIFY2(pixel(m_a4.m, 5 * rowH + rowH / 2) > 200, "no border below the last row");
    QVERIFY2(pixel(m_a4.m, 8 * rowH) > 200, "no border further down");
}

void tst_PdfReport::pictures_data()
{
    QTest::addColumn<QString>("scene"); // file name in the temporary folder, empty for none
    QTest::addColumn<bool>("histogram");
    QTest::addColumn<bool>("chart");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<int>("images");

    const QStringList all{"Scene picture:", "Histogram:", "Chart:"};
    QTest::newRow("scene, histogram and chart") << "scene.png" << true << true << all << 3;
    QTest::newRow("no scene picture") << "" << true << true << QStringList(all.mid(1)) << 2;
    QTest::newRow("scene file missing")
        << "missing.png" << true << true << QStringList(all.mid(1)) << 2;
    QTest::newRow("scene file not an image") << "notes.png" << true << true << all << 2;
    QTest::newRow("widgets never painted")
        << "scene.png" << false << false << QStringList{"Scene picture:"} << 1;
    QTest::newRow("only the chart") << "" << false << true << QStringList{"Chart:"} << 1;
}

void tst_PdfReport::pictures()
{
    QFETCH(QString, scene);
    QFETCH(bool, histogram);
    QFETCH(bool, chart);
    QFETCH(QStringList, labels);
    QFETCH(int, images);

    QVERIFY(picture(60, 20, Qt::green).save(reportFile("scene.png")));
    QFile notes(reportFile("notes.png"));
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write("this is no picture\n");
    notes.close();

    const QString file = reportFile(QStringLiteral("pictures.pdf"));
    QVERIFY(writeReport(file, 3, scene.isEmpty() ? QString() : reportFile(scene),
                        histogram ? picture(40, 20, Qt::blue) : QPixmap(),
                        chart ? picture(20, 20, Qt::red) : QPixmap()));

    const QString first = pageText(file, 1, 1);
    for (const char *label : {"Scene picture:", "Histogram:", "Chart:"})
        QCOMPARE(first.contains(label), labels.contains(label));

    // Every picture is brought to the same height and keeps its proportions.
    const QList<QSize> sizes = imagesOnPageOne(file);
    QCOMPARE(sizes.size(), images);
    for (const QSize &size : sizes) {
        QCOMPARE(size.height(), m_a4.picH);
        QVERIFY(size.width() == m_a4.picH || size.width() == 2 * m_a4.picH ||
                size.width() == 3 * m_a4.picH);
    }
}

void tst_PdfReport::unwritableTarget_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("folder missing") << "missing/report.pdf";
    QTest::newRow("target is a folder") << "folder";
}

void tst_PdfReport::unwritableTarget()
{
    QFETCH(QString, target);
    QVERIFY(QDir(m_dir.path()).mkpath("folder"));

    const QString file = reportFile(target);
    QVERIFY(!writeReport(file, 5));
    QCOMPARE(QFileInfo(file).isFile(), false);
}

void tst_PdfReport::failedWriteKeepsEarlierReport()
{
    const QString file = reportFile(QStringLiteral("earlier.pdf"));
    QVERIFY(writeReport(file, 3));
    QFile earlier(file);
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    const QByteArray before = earlier.readAll();
    earlier.close();

    // A file size limit makes writes fail as a full disk does.
    rlimit original{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &original), 0);
    rlimit small = original;
    small.rlim_cur = 4096;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = writeReport(file, 2000);
    setrlimit(RLIMIT_FSIZE, &original);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!written);
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    QCOMPARE(earlier.readAll(), before);
    QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("earlier.pdf*")}, QDir::Files),
             QStringList{QStringLiteral("earlier.pdf")});
}

void tst_PdfReport::pictureSavedInFormatOfSuffix_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("magic");
    QTest::newRow("png") << "histogram.png" << QByteArray("\x89PNG\r\n\x1a\n");
    QTest::newRow("jpg") << "chart.jpg" << QByteArray("\xff\xd8\xff");
}

void tst_PdfReport::pictureSavedInFormatOfSuffix()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, magic);

    const QString file = reportFile(name);
    QVERIFY(picture(64, 32, Qt::darkCyan).save(file));
    QFile saved(file);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.read(magic.size()), magic);
}

QTEST_MAIN(tst_PdfReport)
#include "tst_pdfreport.moc"
