#include <csignal>
#include <memory>
#include <vector>

#include <sys/resource.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QImage>
#include <QPdfWriter>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "common/popplertools.h"
#include "dmmdata.h"
#include "inspectionreport.h"
#include "itemdata.h"
#include "pagechart.h"
#include "pagehistogram.h"

using namespace PopplerTools;

namespace {

const QString Micrometre = QStringLiteral("\u03BCm");
constexpr double Dpi = 50;

DmmData *reading(double um, int second, int overload = 0)
{
    auto *data = new DmmData;
    data->setUmValue(um);
    data->setMilValue(um / 25.4);
    data->setUmText(QString::number(um, 'f', 0));
    data->setMilText(QString::number(um / 25.4, 'f', 2));
    data->setUnit(Micrometre);
    data->setBasis(QStringLiteral("Fe"));
    data->setOverload(overload);
    data->setTime(QDateTime(QDate(2026, 12, 1), QTime(8, 0)).addSecs(second));
    return data;
}

// An item of those values in micrometres (an infinity is "OL" or "-OL"), judged against
// minimum and maximum when they are given, or against ISO 19840 with minimum as the NDFT.
std::unique_ptr<ItemData> item(const QString &name, const QList<double> &values, double minimum = 0,
                               double maximum = 0, const QString &rule = QStringLiteral("limits"))
{
    auto data = std::make_unique<ItemData>(name, ItemData::MeasureData);
    data->setUnit(Micrometre);
    if (maximum > 0) {
        CoatingRequirement requirement(rule, Micrometre);
        requirement.setValue(QStringLiteral("minimum"), minimum);
        requirement.setValue(QStringLiteral("maximum"), maximum);
        requirement.setValue(QStringLiteral("nominal"), minimum);
        data->setRequirement(requirement);
    }
    for (int i = 0; i < values.size(); ++i) {
        const double value = values.at(i);
        data->appendReading(
            std::isinf(value) ? reading(0, i, value > 0 ? 1 : -1) : reading(value, i), true);
    }
    return data;
}

// Every field set to a word of its own that pdftotext finds whole.
JobDetails fullJob()
{
    JobDetails job;
    for (int f = 0; f < JobDetails::FieldCount; ++f) {
        const auto field = JobDetails::Field(f);
        job.setValue(field, QStringLiteral("V%1X").arg(JobDetails::key(field)));
    }
    return job;
}

QByteArray png(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

InspectionReport::Options onlyReadings(InspectionReport::Readings readings)
{
    InspectionReport::Options options;
    options.cover = options.statistics = options.histogram = options.chart = options.notes = false;
    options.readings = readings;
    return options;
}

// The bounding box of the pixels that test accepts.
template<typename Test>
QRect pixelsWhere(const QImage &image, Test test)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (test(image.pixelColor(x, y)))
                box |= QRect(x, y, 1, 1);
    return box;
}

// Also for rectangles of no width or height, which QRectF::contains() refuses.
bool inside(const QRectF &outer, const QRectF &inner)
{
    const QRectF bounds = outer.adjusted(-1, -1, 1, 1);
    return bounds.contains(inner.topLeft()) && bounds.contains(inner.bottomRight());
}

} // namespace

class tst_InspectionReport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void verdicts_data();
    void verdicts();
    void histogramBands();
    void chartThinsLargeItems();
    void tickSteps_data();
    void tickSteps();
    void paperOfLocale_data();
    void paperOfLocale();

    void wholeJob();
    void staysInsideItsBoxes();
    void tableContinuesWithItsHeader_data();
    void tableContinuesWithItsHeader();
    void rightToLeftAndChinese();
    void printsWhatItSaves();
    void failedWriteKeepsEarlierFile_data();
    void failedWriteKeepsEarlierFile();

private:
    QString file(const QString &name) const { return m_dir.filePath(name); }
    QImage render(const QString &pdf, int page);

    QTemporaryDir m_dir;
};

void tst_InspectionReport::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

QImage tst_InspectionReport::render(const QString &pdf, int page)
{
    const QString prefix = file(QStringLiteral("page"));
    run(QStringLiteral("pdftoppm"),
        {"-png", "-r", QString::number(Dpi), "-f", QString::number(page), "-l",
         QString::number(page), "-singlefile", pdf, prefix});
    return QImage(prefix + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
}

void tst_InspectionReport::verdicts_data()
{
    const double OL = std::numeric_limits<double>::infinity();
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<QColor>("color");
    QTest::addColumn<int>("outOfLimits");
    QTest::addColumn<QString>("rule");

    QTest::newRow("pass") << QList<double>{150, 160, 170} << 200.0 << "PASS" << QColor(0, 128, 0)
                          << 0 << QStringLiteral("limits");
    QTest::newRow("fail") << QList<double>{150, 90, 250, 160} << 200.0 << "FAIL"
                          << QColor(200, 0, 0) << 2 << QStringLiteral("limits");
    // Readings below the nominal value are listed with those out of limits.
    QTest::newRow("below nominal") << QList<double>{150, 90, 95, 160, 170, 180} << 300.0 << "FAIL"
                                   << QColor(200, 0, 0) << 2 << QStringLiteral("iso19840");
    QTest::newRow("no readings yet") << QList<double>{} << 200.0 << "PENDING" << QColor(190, 110, 0)
                                     << 0 << QStringLiteral("limits");
    QTest::newRow("no requirement") << QList<double>{150, 900} << 0.0 << "NONE"
                                    << QColor(120, 120, 120) << 0 << QStringLiteral("limits");
    QTest::newRow("only over range") << QList<double>{OL, -OL} << 0.0 << "NONE"
                                     << QColor(120, 120, 120) << 0 << QStringLiteral("limits");
}

void tst_InspectionReport::verdicts()
{
    QFETCH(QList<double>, values);
    QFETCH(double, maximum);
    QFETCH(QString, rule);
    const auto data = item(QStringLiteral("Item"), values, 100, maximum, rule);
    QTEST(InspectionReport::verdictText(*data), "verdict");
    QTEST(InspectionReport::verdictColor(*data), "color");
    QTEST(InspectionReport::tableRows(*data, InspectionReport::ReadingsOutOfLimits), "outOfLimits");
    QCOMPARE(InspectionReport::tableRows(*data, InspectionReport::AllReadings), values.size());
    QCOMPARE(InspectionReport::tableRows(*data, InspectionReport::NoReadings), 0);
}

void tst_InspectionReport::histogramBands()
{
    const double OL = std::numeric_limits<double>::infinity();
    const auto data = item(QStringLiteral("Item"), {50, 150, 200, OL, -OL, OL, 1300});
    const QList<QPair<double, double>> bands = PageHistogram::bandsOf(*data);
    // The standard bands of a 1250 µm gauge: -OL, 0-200, ..., 800-1000, 1000-1250, OL.
    QCOMPARE(bands.size(), 8);
    const QVector<int> counts = PageHistogram::count(*data, bands);
    QCOMPARE(counts, (QVector<int>{1, 3, 0, 0, 0, 0, 0, 3}));

    QBuffer buffer;
    QPdfWriter writer(&buffer);
    const PageHistogram histogram(*data, QRectF(0, 0, 8000, 3000), QFont(), &writer);
    QCOMPARE(histogram.barCount(), 8);
    QCOMPARE(histogram.bandLabel(1), QStringLiteral("0.0 - 200.0"));
    QCOMPARE(histogram.countOf(7), 3);
    for (int i = 0; i < histogram.barCount(); ++i)
        QVERIFY(inside(histogram.plotRect(), histogram.barRect(i)));
    // The longest bar fills the plot's width.
    QCOMPARE(histogram.barRect(1).width(), histogram.plotRect().width());
}

void tst_InspectionReport::chartThinsLargeItems()
{
    QList<double> values;
    for (int i = 0; i < 100000; ++i)
        values.append(100 + i % 97);
    values[500] = std::numeric_limits<double>::infinity();
    const auto data = item(QStringLiteral("Large"), values, 90, 200);
    QBuffer buffer;
    QPdfWriter writer(&buffer);
    const QRectF box(0, 0, 8000, 3000);
    const PageChart chart(*data, box, QFont(), &writer);
    const int columns = PageChart::columnsFor(chart.plotRect().width(), writer.resolution());
    QVERIFY(columns > 100);
    QVERIFY(chart.points().size() <= 2 * columns);
    QVERIFY(chart.yMin() <= 90 && chart.yMax() >= 200);
    for (const QPointF &point : chart.points())
        QVERIFY(chart.plotRect().adjusted(-1, -1, 1, 1).contains(point));
}

void tst_InspectionReport::tickSteps_data()
{
    QTest::addColumn<double>("span");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<double>("step");
    QTest::newRow("hundreds") << 430.0 << 5 << 100.0;
    QTest::newRow("twos") << 9.0 << 5 << 2.0;
    QTest::newRow("fives") << 22.0 << 5 << 5.0;
    QTest::newRow("readings") << 100000.0 << 6 << 20000.0;
    QTest::newRow("no span") << 0.0 << 5 << 1.0;
}

void tst_InspectionReport::tickSteps()
{
    QFETCH(double, span);
    QFETCH(int, ticks);
    QTEST(PageChart::tickStep(span, ticks), "step");
}

void tst_InspectionReport::paperOfLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("paper");
    QTest::newRow("United States") << "en_US" << int(QPageSize::Letter);
    QTest::newRow("Canada") << "fr_CA" << int(QPageSize::Letter);
    QTest::newRow("Germany") << "de_DE" << int(QPageSize::A4);
    QTest::newRow("United Kingdom") << "en_GB" << int(QPageSize::A4);
}

void tst_InspectionReport::paperOfLocale()
{
    QFETCH(QString, locale);
    QTEST(int(InspectionReport::defaultPaper(QLocale(locale))), "paper");
}

void tst_InspectionReport::wholeJob()
{
    if (!available())
        QSKIP("poppler-utils are needed to check the report");
    const double OL = std::numeric_limits<double>::infinity();
    const auto deck = item(QStringLiteral("DeckA"), {150, 160, 172}, 100, 200);
    const auto hull = item(QStringLiteral("HullB"), {150, 90, 250, 160}, 100, 200);
    const auto empty = item(QStringLiteral("EmptyC"), {});
    const auto over = item(QStringLiteral("OverD"), {OL, -OL, OL});
    ItemNotes notes;
    notes.text = QStringLiteral("NoteOfHull");
    hull->setNotes(notes);
    const QString pdf = file(QStringLiteral("job.pdf"));
    InspectionReport report(fullJob(), {deck.get(), hull.get(), empty.get(), over.get()},
                            InspectionReport::Options());
    QCOMPARE(report.save(pdf), QString());

    const int pages = pageCount(pdf);
    QCOMPARE(pages, report.pages().size());
    QVERIFY(pages >= 6); // the cover, four items, the signatures
    QCOMPARE(info(pdf, "Title"), QStringLiteral("Inspection report \u2013 VprojectX"));
    QCOMPARE(info(pdf, "Creator"), InspectionReport::producer());
    QVERIFY(InspectionReport::producer().contains(QRegularExpression("^RQ-6814 Logger \\d")));
    // Qt's PDF writer has no author field: the inspector is the XMP creator.
    QVERIFY(run("pdfinfo", {"-meta", pdf}).contains("<rdf:li>VinspectorX</rdf:li>"));

    const QStringList words = tokens(pageText(pdf, 1, pages));
    for (int f = 0; f < JobDetails::FieldCount; ++f)
        QVERIFY2(words.contains(fullJob().value(JobDetails::Field(f))),
                 qPrintable(JobDetails::label(JobDetails::Field(f))));
    for (const ItemData *data : {deck.get(), hull.get(), empty.get(), over.get()}) {
        QVERIFY2(words.count(data->name()) >= 3, qPrintable(data->name())); // summary, page, header
        const QString summary = pageText(pdf, 1, 1);
        QVERIFY(summary.contains(QRegularExpression(QStringLiteral("%1\\s+%2\\s+%3\\s")
                                                        .arg(data->name())
                                                        .arg(data->statistics()->num)
                                                        .arg(data->statistics()->overRange))));
    }
    QVERIFY(words.contains(deck->statistics()->avg));
    QVERIFY(words.contains(hull->statistics()->sd));
    QVERIFY(words.contains("PASS") && words.contains("FAIL") && words.contains("NONE"));
    QVERIFY(words.contains("NoteOfHull"));
    QVERIFY(pageText(pdf, 1, pages).contains("reading above the maximum"));
    for (int page = 1; page <= pages; ++page)
        QVERIFY2(pageText(pdf, page, page)
                     .contains(QStringLiteral("Page %1 of %2").arg(page).arg(pages)),
                 qPrintable(QString::number(page)));
    const QString last = pageText(pdf, pages, pages);
    QVERIFY(last.contains("Signatures") && last.contains("Accepted by the client or supervisor"));

    const QStringList fonts = run("pdffonts", {pdf}).split('\n', Qt::SkipEmptyParts).mid(2);
    QVERIFY(!fonts.isEmpty());
    for (const QString &line : fonts) {
        const QStringList fields = tokens(line);
        QVERIFY2(fields.size() > 5 && fields.at(fields.size() - 5) == "yes", qPrintable(line));
    }
}

void tst_InspectionReport::staysInsideItsBoxes()
{
    if (!available())
        QSKIP("poppler-utils are needed to check the report");
    JobDetails job = fullJob();
    job.setValue(JobDetails::Company, QStringLiteral("Company ").repeated(40));
    job.setValue(JobDetails::Notes, QStringLiteral("A long note that wraps. ").repeated(200) +
                                        QStringLiteral("W").repeated(400) +
                                        QStringLiteral("\nand a last line"));
    QImage logo(800, 100, QImage::Format_RGB32);
    logo.fill(Qt::red);
    job.setLogo(png(logo));
    const auto data = item(QStringLiteral("Item"), {150});
    const QString pdf = file(QStringLiteral("long.pdf"));
    InspectionReport report(job, {data.get()}, InspectionReport::Options());
    QCOMPARE(report.save(pdf), QString());

    // Every element within the body, on every page.
    for (const ReportPage &page : report.pages())
        for (const ReportElement &element : page.elements)
            QVERIFY(inside(report.bodyRect(), element.rect));
    QVERIFY(report.pages().size() >= 3); // the notes run on over the next page

    const QImage page = render(pdf, 1);
    QVERIFY(!page.isNull());
    const auto ink = [](const QColor &c) {
        return c.red() < 240 || c.green() < 240 || c.blue() < 240;
    };
    const QRect inked = pixelsWhere(page, ink);
    // The paper margins, 15 mm left and right, 12 mm top and bottom, stay blank.
    const QRectF paper(15 / 25.4 * Dpi, 12 / 25.4 * Dpi, page.width() - 30 / 25.4 * Dpi,
                       page.height() - 24 / 25.4 * Dpi);
    QVERIFY2(paper.adjusted(-1, -1, 1, 1).contains(inked), qPrintable(QString("%1,%2 %3x%4")
                                                                          .arg(inked.x())
                                                                          .arg(inked.y())
                                                                          .arg(inked.width())
                                                                          .arg(inked.height())));

    // The logo keeps its 8:1 shape inside its box.
    const auto logoElement = std::find_if(
        report.pages().first().elements.cbegin(), report.pages().first().elements.cend(),
        [](const ReportElement &e) { return e.kind == ReportElement::Picture; });
    QVERIFY(logoElement != report.pages().first().elements.cend());
    const qreal scale = Dpi / 1200;
    const QRectF box(paper.x() + logoElement->rect.x() * scale,
                     paper.y() + logoElement->rect.y() * scale, logoElement->rect.width() * scale,
                     logoElement->rect.height() * scale);
    const QRect red = pixelsWhere(
        page, [](const QColor &c) { return c.red() > 200 && c.green() < 60 && c.blue() < 60; });
    // A pixel of anti-aliasing on each side.
    QVERIFY(box.adjusted(-2, -2, 2, 2).contains(red));
    QVERIFY(qAbs(red.width() - box.width()) <= 3);
    QVERIFY(qAbs(double(red.width()) / red.height() - 8.0) < 1.0);
}

void tst_InspectionReport::tableContinuesWithItsHeader_data()
{
    QTest::addColumn<int>("paper");
    QTest::addColumn<int>("readings");
    QTest::addColumn<QString>("size");
    QTest::addColumn<QList<int>>("listed");

    QList<int> all;
    for (int i = 1; i <= 300; ++i)
        all.append(i);
    QTest::newRow("all on A4") << int(QPageSize::A4) << int(InspectionReport::AllReadings)
                               << "595 x 842" << all;
    QTest::newRow("all on Letter")
        << int(QPageSize::Letter) << int(InspectionReport::AllReadings) << "612 x 792" << all;
    QTest::newRow("out of limits")
        << int(QPageSize::A4) << int(InspectionReport::ReadingsOutOfLimits) << "595 x 842"
        << QList<int>{7, 150, 299};
}

void tst_InspectionReport::tableContinuesWithItsHeader()
{
    if (!available())
        QSKIP("poppler-utils are needed to check the report");
    QFETCH(int, paper);
    QFETCH(int, readings);
    QFETCH(QList<int>, listed);
    QList<double> values;
    for (int i = 1; i <= 300; ++i)
        values.append(i == 7 || i == 150 ? 50 : i == 299 ? 400 : 150);
    const auto data = item(QStringLiteral("Table"), values, 100, 200);
    InspectionReport::Options options = onlyReadings(InspectionReport::Readings(readings));
    options.paper = QPageSize::PageSizeId(paper);
    const QString pdf = file(QStringLiteral("table.pdf"));
    InspectionReport report(JobDetails(), {data.get()}, options);
    QCOMPARE(report.save(pdf), QString());
    QTEST(info(pdf, "Page size").section(" pts", 0, 0), "size");

    const int pages = pageCount(pdf);
    QList<int> found;
    const QRegularExpression row(QStringLiteral("^\\s*(\\d+)\\s+2026-12-01"),
                                 QRegularExpression::MultilineOption);
    const QRegularExpression header(
        QStringLiteral("No\\.\\s+Time\\s+Value\\s+Unit\\s+Basis\\s+Mark"));
    for (int page = 1; page <= pages; ++page) {
        const QString text = pageText(pdf, page, page);
        const int before = found.size();
        for (auto it = row.globalMatch(text); it.hasNext();)
            found.append(it.next().captured(1).toInt());
        // Every page with rows has the column heads above them.
        if (found.size() > before)
            QVERIFY2(text.contains(header), qPrintable(QString::number(page)));
    }
    QCOMPARE(found, listed);
    if (listed.size() > 100)
        QVERIFY(pages >= 4); // three pages of rows and the signatures
}

void tst_InspectionReport::rightToLeftAndChinese()
{
    if (!available())
        QSKIP("poppler-utils are needed to check the report");
    if (QFontDatabase().families(QFontDatabase::SimplifiedChinese).isEmpty())
        QSKIP("no Chinese font installed (Debian: fonts-wqy-microhei)");
    JobDetails job;
    const QString hebrew = QString::fromUtf8("\u05D1\u05D3\u05D9\u05E7\u05D4");
    const QString chinese = QString::fromUtf8("\u94A2\u7ED3\u6784\u6865\u6881");
    job.setValue(JobDetails::Client, hebrew);
    job.setValue(JobDetails::Site, QString::fromUtf8("\u0645\u0648\u0642\u0639"));
    job.setValue(JobDetails::Structure, chinese);
    const auto data = item(chinese, {150});
    const QString pdf = file(QStringLiteral("scripts.pdf"));
    QCOMPARE(InspectionReport(job, {data.get()}, InspectionReport::Options()).save(pdf), QString());

    const QString text = pageText(pdf, 1, 1);
    QVERIFY(text.contains(chinese));
    // Text extractors differ in the order they give right-to-left text in.
    QString reversed = hebrew;
    std::reverse(reversed.begin(), reversed.end());
    QVERIFY(text.contains(hebrew) || text.contains(reversed));
    QVERIFY(text.contains(
        QRegularExpression(QStringLiteral("[\\x{0600}-\\x{06FF}\\x{FE70}-\\x{FEFF}]"))));
    for (const QString &line : run("pdffonts", {pdf}).split('\n', Qt::SkipEmptyParts).mid(2)) {
        const QStringList fields = tokens(line);
        QVERIFY2(fields.size() > 5 && fields.at(fields.size() - 5) == "yes", qPrintable(line));
    }
}

void tst_InspectionReport::printsWhatItSaves()
{
    if (!available())
        QSKIP("poppler-utils are needed to check the report");
    const auto data = item(QStringLiteral("Printed"), {150, 160});
    InspectionReport::Options options;
    options.paper = QPageSize::Letter;
    InspectionReport report(fullJob(), {data.get()}, options);
    // A printer printing to a file stands in for a real one: the same pages reach it.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = file(QStringLiteral("printed.pdf"));
    printer.setOutputFileName(pdf);
    report.setUp(&printer);
    QVERIFY(report.paint(&printer));
    QCOMPARE(pageCount(pdf), report.pages().size());
    QVERIFY(info(pdf, "Page size").startsWith("612 x 792"));
    QVERIFY(pageText(pdf, 1, 1).contains("VclientX"));
}

void tst_InspectionReport::failedWriteKeepsEarlierFile_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("fullDisk");
    QTest::newRow("folder missing") << "missing/report.pdf" << false;
    QTest::newRow("target is a folder") << "folder" << false;
    QTest::newRow("disk full") << "earlier.pdf" << true;
}

void tst_InspectionReport::failedWriteKeepsEarlierFile()
{
    QFETCH(QString, target);
    QFETCH(bool, fullDisk);
    QVERIFY(QDir(m_dir.path()).mkpath("folder"));
    QList<double> values;
    for (int i = 0; i < 2000; ++i)
        values.append(100 + i % 50);
    const auto data = item(QStringLiteral("Item"), values);
    InspectionReport report(fullJob(), {data.get()}, onlyReadings(InspectionReport::AllReadings));
    const QString path = file(target);
    const QByteArray before("earlier report");
    if (fullDisk) {
        QFile earlier(path);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write(before);
    }

    // A file size limit makes writes fail as a full disk does.
    rlimit original{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &original), 0);
    rlimit small = original;
    small.rlim_cur = 4096;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    if (fullDisk)
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const QString error = report.save(path);
    setrlimit(RLIMIT_FSIZE, &original);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY2(error.contains(QDir::toNativeSeparators(path)), qPrintable(error));
    if (fullDisk) {
        QFile earlier(path);
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        QCOMPARE(earlier.readAll(), before);
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("earlier.pdf*")}, QDir::Files),
                 QStringList{QStringLiteral("earlier.pdf")});
    } else {
        QVERIFY(!QFileInfo(path).isFile());
    }
}

QTEST_MAIN(tst_InspectionReport)
#include "tst_inspectionreport.moc"
