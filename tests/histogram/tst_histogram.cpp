#include <algorithm>
#include <limits>
#include <memory>

#include <QFontMetrics>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include "histogram.h"
#include "histogrambar.h"

namespace {
using Ranges = QList<QPair<double, double>>;

const double DefaultRange = 1250.0;

// The thickness intervals the main window installs for the logger's own gauge, bottom bar first.
Ranges thicknessRanges()
{
    return {{std::numeric_limits<double>::lowest(), 0},
            {0, 200},
            {200, 400},
            {400, 600},
            {600, 800},
            {800, 1000},
            {1000, 1250},
            {1250, std::numeric_limits<double>::max()}};
}

const QMargins Margins(100, 20, 20, 50);

// A shown histogram whose plot area is plotWidth x plotHeight pixels.
std::unique_ptr<Histogram> makeHistogram(int plotWidth, int plotHeight)
{
    auto histogram = std::make_unique<Histogram>();
    histogram->setMargins(Margins);
    histogram->setRanges(thicknessRanges());
    histogram->resize(plotWidth + Margins.left() + Margins.right(),
                      plotHeight + Margins.top() + Margins.bottom());
    histogram->show();
    return histogram;
}

QList<int> counts(const Histogram &histogram)
{
    QList<int> result;
    for (int i = 0; i < histogram.barCount(); ++i)
        result.append(histogram.count(i));
    return result;
}

// Widget pixel of a point in plot coordinates.
QPoint toWidget(const Histogram &histogram, const QPointF &plotPoint)
{
    return QPoint(Margins.left() + int(plotPoint.x()),
                  histogram.height() - Margins.bottom() + int(plotPoint.y()));
}

bool isBlueText(QRgb pixel)
{
    return qBlue(pixel) > 200 && qRed(pixel) < 120;
}
} // namespace

class TestHistogram : public QObject
{
    Q_OBJECT

private slots:
    void binning_data();
    void binning();
    void countsMatchFullRebinning();
    void addValuesAddsToPresentValues();
    void overRangeCountsInTheEndBarsWhateverTheirBounds();
    void layout_data();
    void layout();
    void barGeometry();
    void noValues();
    void intervalLabels_data();
    void intervalLabels();
    void midMarkOnTallInnerBarsOnly();
    void countLabelMovesBesideNarrowBar();
    void renderedPicture();
    void repaintsOnlyAfterChange();
    void savePixmapRoundTrip();
    void standardRanges_data();
    void standardRanges();
    void rangesAroundLimits_data();
    void rangesAroundLimits();
    void limitsMarked();
};

void TestHistogram::binning_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("bar"); // -1: counted nowhere
    QTest::addColumn<double>("rangeUm");

    const double R = DefaultRange;
    QTest::newRow("200 closes bar 2") << 200.0 << 1 << R;
    QTest::newRow("200.0001 opens bar 3") << 200.0001 << 2 << R;
    QTest::newRow("zero is -OL") << 0.0 << 0 << R;
    QTest::newRow("negative is -OL") << -35.5 << 0 << R;
    QTest::newRow("just above zero") << 0.0001 << 1 << R;
    QTest::newRow("1250 closes bar 7") << 1250.0 << 6 << R;
    QTest::newRow("1250.5 is OL") << 1250.5 << 7 << R;
    QTest::newRow("largest double is OL") << std::numeric_limits<double>::max() << 7 << R;
    QTest::newRow("lowest double is below every bin")
        << std::numeric_limits<double>::lowest() << -1 << R;
    QTest::newRow("+infinity is over range, OL")
        << std::numeric_limits<double>::infinity() << 7 << R;
    QTest::newRow("-infinity is over range, -OL")
        << -std::numeric_limits<double>::infinity() << 0 << R;
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << -1 << R;
    QTest::newRow("1300 in a range of 5000") << 1300.0 << 2 << 5000.0;
    QTest::newRow("5000 closes bar 7 of a range of 5000") << 5000.0 << 6 << 5000.0;
    QTest::newRow("5000.5 is OL in a range of 5000") << 5000.5 << 7 << 5000.0;
    QTest::newRow("+infinity is OL in a range of 5000")
        << std::numeric_limits<double>::infinity() << 7 << 5000.0;
}

void TestHistogram::binning()
{
    QFETCH(double, value);
    QFETCH(int, bar);
    QFETCH(double, rangeUm);

    QList<int> expected = QVector<int>(8, 0).toList();
    if (bar >= 0)
        expected[bar] = 1;

    Histogram histogram;
    histogram.setRanges(Histogram::standardRanges(rangeUm));
    histogram.addValue(value);
    QCOMPARE(counts(histogram), expected);
}

// Counting value by value must give what a full pass over all values gives, also with
// overlapping intervals where one value counts twice.
void TestHistogram::countsMatchFullRebinning()
{
    const Ranges ranges = {{0, 10}, {5, 15}, {10, 20}, {-1e9, 1e9}};
    QRandomGenerator random(6814);
    QList<double> values;
    Histogram histogram;
    histogram.setRanges(ranges);
    for (int i = 0; i < 2000; ++i) {
        // Whole numbers hit the bounds often.
        const double value = i % 3 ? random.bounded(-5, 25) : -5 + random.bounded(30.0);
        values.append(value);
        if (i % 2)
            histogram.addValue(value);
        else
            histogram.addValues({value});
    }
    for (int b = 0; b < ranges.size(); ++b) {
        const int expected = int(std::count_if(values.cbegin(), values.cend(), [&](double v) {
            return ranges[b].first < v && v <= ranges[b].second;
        }));
        QCOMPARE(histogram.count(b), expected);
    }
    const QList<int> incremental = counts(histogram);
    histogram.clear();
    histogram.addValues(values);
    QCOMPARE(counts(histogram), incremental);
}

void TestHistogram::addValuesAddsToPresentValues()
{
    Histogram histogram;
    histogram.setRanges(thicknessRanges());
    histogram.addValues({100, 300});
    histogram.addValues({150, 1300});
    histogram.addValue(-1);
    QCOMPARE(counts(histogram), (QList<int>{1, 2, 1, 0, 0, 0, 0, 1}));
    // Binning afresh sees all five values.
    histogram.setRanges(thicknessRanges());
    QCOMPARE(counts(histogram), (QList<int>{1, 2, 1, 0, 0, 0, 0, 1}));

    histogram.clear();
    QCOMPARE(counts(histogram), (QList<int>{0, 0, 0, 0, 0, 0, 0, 0}));
    histogram.addValues({700});
    QCOMPARE(counts(histogram), (QList<int>{0, 0, 0, 0, 1, 0, 0, 0}));
}

// Over-range values go to the end bars also when no interval would hold them, and every way of
// adding them counts the same.
void TestHistogram::overRangeCountsInTheEndBarsWhateverTheirBounds()
{
    const double inf = std::numeric_limits<double>::infinity();
    Histogram histogram;
    histogram.setRanges({{0, 10}, {10, 20}, {20, 30}});
    histogram.addValue(inf);
    histogram.addValue(-inf);
    histogram.addValues({5, inf, 15, inf, -inf, 25});
    QCOMPARE(counts(histogram), (QList<int>{1 + 2, 1, 1 + 3}));
    histogram.setRanges({{0, 10}, {10, 20}, {20, inf}});
    QCOMPARE(counts(histogram), (QList<int>{3, 1, 4}));
    histogram.clear();
    histogram.addValues({inf});
    QCOMPARE(counts(histogram), (QList<int>{0, 0, 1}));
}

void TestHistogram::layout_data()
{
    QTest::addColumn<int>("plotWidth");
    QTest::addColumn<int>("largestCount");
    QTest::addColumn<int>("maxCount");
    QTest::addColumn<double>("pxPerCount");
    QTest::addColumn<int>("labelStep");
    QTest::addColumn<int>("ticks");

    QTest::newRow("401 px, 40 values") << 401 << 40 << 40 << 10.0 << 5 << 9;
    QTest::newRow("no values, 51 px") << 51 << 0 << 1 << 50.0 << 1 << 2;
    QTest::newRow("no values, 50 px") << 50 << 0 << 1 << 49.0 << 2 << 0;
    QTest::newRow("401 px, 3 values") << 401 << 3 << 3 << 400.0 / 3 << 1 << 3;
    QTest::newRow("401 px, 4000 values") << 401 << 4000 << 4000 << 0.1 << 500 << 9;
    QTest::newRow("one pixel") << 1 << 5 << 5 << 0.0 << 1 << 0;
    QTest::newRow("narrower than the margins") << -30 << 5 << 5 << 0.0 << 1 << 0;
}

void TestHistogram::layout()
{
    QFETCH(int, plotWidth);
    QFETCH(int, largestCount);

    auto histogram = makeHistogram(plotWidth, 400);
    histogram->addValues(QVector<double>(largestCount, 300).toList());
    histogram->layoutBars();

    QTEST(histogram->maxCount(), "maxCount");
    QTEST(histogram->pxPerCount(), "pxPerCount");
    QTEST(histogram->labelStep(), "labelStep");
    QTEST(histogram->countTickCount(), "ticks");
    if (histogram->countTickCount() > 1) {
        QCOMPARE(histogram->countTickX(0), -1);
        QCOMPARE(histogram->countTickX(1),
                 int(histogram->labelStep() * histogram->pxPerCount() - 1));
    }

    // However narrow, the plot paints, with bars of at least one pixel.
    histogram->grab();
    QVERIFY(!histogram->pixmap().isNull());
    QVERIFY(histogram->bar(2)->rect().width() >= 1.0);
}

void TestHistogram::barGeometry()
{
    auto histogram = makeHistogram(401, 400);
    histogram->addValues(QVector<double>(40, 300).toList());
    histogram->addValues({900, 900, 900});
    histogram->layoutBars();

    QCOMPARE(histogram->intervalCount(), 8);
    QCOMPARE(histogram->slotHeight(), 50.0);
    QCOMPARE(histogram->bar(2)->rect(), QRectF(0, -145, 400, 40));
    QCOMPARE(histogram->bar(5)->rect(), QRectF(0, -295, 30, 40));
    QCOMPARE(histogram->bar(0)->rect(), QRectF(0, -45, 1, 40));
    QCOMPARE(histogram->bar(7)->rect(), QRectF(0, -395, 1, 40));
    QCOMPARE(histogram->countTickX(8), 399);

    // Lengths are cut, not rounded: 2 of 3 counts over 400 pixels is 266.67.
    histogram->clear();
    histogram->addValues({300, 300, 300, 500, 500});
    histogram->layoutBars();
    QCOMPARE(histogram->bar(3)->rect().width(), 266.0);
}

void TestHistogram::noValues()
{
    auto histogram = makeHistogram(401, 400);
    histogram->layoutBars();
    QCOMPARE(histogram->maxCount(), 1);
    for (int i = 0; i < histogram->barCount(); ++i) {
        QCOMPARE(histogram->count(i), 0);
        QCOMPARE(histogram->bar(i)->rect().width(), 1.0);
        QCOMPARE(histogram->bar(i)->text(), QStringLiteral("0 "));
    }
}

void TestHistogram::intervalLabels_data()
{
    QTest::addColumn<int>("decimals");
    QTest::addColumn<int>("bar");
    QTest::addColumn<QString>("bottom");
    QTest::addColumn<QString>("top");

    QTest::newRow("-OL bar") << 1 << 0 << "-OL "
                             << "";
    QTest::newRow("OL bar") << 2 << 7 << ""
                            << "OL ";
    QTest::newRow("first inner bar, micrometres") << 1 << 1 << "0.0x"
                                                  << "200.0 ";
    QTest::newRow("bar 3, micrometres") << 1 << 2 << "200.0x"
                                        << "400.0 ";
    QTest::newRow("bar 3, mils") << 2 << 2 << "200.00x"
                                 << "400.00 ";
    QTest::newRow("bar 7, mils") << 2 << 6 << "1000.00x"
                                 << "1250.00 ";
}

void TestHistogram::intervalLabels()
{
    QFETCH(int, decimals);
    QFETCH(int, bar);

    Histogram histogram;
    histogram.setRanges(thicknessRanges());
    histogram.setDecimals(decimals);
    QTEST(histogram.bottomLabel(bar), "bottom");
    QTEST(histogram.topLabel(bar), "top");
}

void TestHistogram::midMarkOnTallInnerBarsOnly()
{
    const int lineHeight = QFontMetrics(Histogram().font()).height();
    // Bars are 0.8 of a slot high, a tenth of the plot height with eight slots.
    auto tall = makeHistogram(401, 30 * lineHeight + 1);
    tall->layoutBars();
    QVERIFY(!tall->hasMidMark(0, lineHeight));
    for (int i = 1; i < 7; ++i)
        QVERIFY(tall->hasMidMark(i, lineHeight));
    QVERIFY(!tall->hasMidMark(7, lineHeight));

    auto low = makeHistogram(401, 30 * lineHeight - 2);
    low->layoutBars();
    for (int i = 0; i < 8; ++i)
        QVERIFY(!low->hasMidMark(i, lineHeight));
}

void TestHistogram::countLabelMovesBesideNarrowBar()
{
    auto histogram = makeHistogram(401, 400);
    histogram->addValues(QVector<double>(1000, 300).toList());
    histogram->addValue(700);
    histogram->layoutBars();
    const QFontMetrics metrics(histogram->font());

    const HistogramBar *wide = histogram->bar(2);
    QCOMPARE(wide->textRect(metrics), wide->rect());

    const HistogramBar *narrow = histogram->bar(4);
    QCOMPARE(narrow->rect().width(), 1.0);
    const QRectF beside = narrow->textRect(metrics);
    QCOMPARE(beside.left(), 1.0 + metrics.horizontalAdvance(QLatin1Char(' ')) / 2);
    QCOMPARE(beside.width(), 1.0 + metrics.horizontalAdvance(QStringLiteral("1 ")));

    // In the picture the count is blue on white to the right of the bar.
    const QImage image = histogram->grab().toImage();
    const QPoint from = toWidget(*histogram, beside.topLeft());
    const QPoint to = toWidget(*histogram, beside.bottomRight());
    int bluePixels = 0;
    for (int y = from.y(); y < to.y(); ++y) {
        for (int x = from.x(); x < to.x(); ++x)
            bluePixels += isBlueText(image.pixel(x, y));
    }
    QVERIFY(bluePixels > 0);
}

void TestHistogram::renderedPicture()
{
    auto histogram = makeHistogram(401, 400);
    histogram->setXTitle(QStringLiteral("Rate"));
    histogram->setYTitle(QStringLiteral("Thickness(\u03BCm)"));
    histogram->addValues(QVector<double>(40, 300).toList());
    histogram->addValues({900, 900, 900});
    const QImage image = histogram->grab().toImage();
    QCOMPARE(histogram->pixmap().size(), histogram->size());

    const QRgb white = qRgb(255, 255, 255);
    const QRgb orange = qRgb(250, 150, 0);
    QCOMPARE(image.pixel(5, 5), white);
    QCOMPARE(image.pixel(histogram->width() - 5, 30), white);
    // Bar 3 spans the plot width; sample it left of its centred count.
    QCOMPARE(image.pixel(toWidget(*histogram, {20, -125})), orange);
    QCOMPARE(image.pixel(toWidget(*histogram, {380, -125})), orange);
    // Bar 6 is 30 pixels long; white beyond it.
    QCOMPARE(image.pixel(toWidget(*histogram, {2, -275})), orange);
    QCOMPARE(image.pixel(toWidget(*histogram, {60, -275})), white);
    // Gaps between the bars stay white.
    QCOMPARE(image.pixel(toWidget(*histogram, {20, -150})), white);
    // The count axis runs one pixel below the plot, the value axis one pixel left of it.
    QCOMPARE(image.pixel(toWidget(*histogram, {200, 1})), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(toWidget(*histogram, {-1, -200})), qRgb(0, 0, 0));

    int blueInBar = 0;
    for (int x = 180; x < 220; ++x) {
        for (int y = -145; y < -105; ++y)
            blueInBar += isBlueText(image.pixel(toWidget(*histogram, {double(x), double(y)})));
    }
    QVERIFY(blueInBar > 0);
}

void TestHistogram::repaintsOnlyAfterChange()
{
    auto histogram = makeHistogram(401, 400);
    histogram->setXTitle(QStringLiteral("Rate"));
    histogram->grab();
    const qint64 first = histogram->pixmap().cacheKey();
    histogram->grab();
    QCOMPARE(histogram->pixmap().cacheKey(), first);

    histogram->setXTitle(QStringLiteral("Rate"));
    histogram->grab();
    QCOMPARE(histogram->pixmap().cacheKey(), first);

    histogram->addValue(100);
    histogram->grab();
    QVERIFY(histogram->pixmap().cacheKey() != first);
}

void TestHistogram::savePixmapRoundTrip()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString fileName = dir.filePath(QStringLiteral("histogram.png"));

    auto histogram = makeHistogram(401, 400);
    QVERIFY(!histogram->savePixmap(fileName));
    histogram->addValues({100, 300, 300, 1500});
    histogram->grab();
    QVERIFY(histogram->savePixmap(fileName));
    QVERIFY(!histogram->savePixmap(dir.filePath(QStringLiteral("missing/histogram.png"))));

    const QImage saved(fileName);
    QCOMPARE(saved.size(), histogram->size());
    QCOMPARE(saved.convertToFormat(QImage::Format_RGB32),
             histogram->pixmap().toImage().convertToFormat(QImage::Format_RGB32));
}

void TestHistogram::standardRanges_data()
{
    QTest::addColumn<double>("rangeUm");
    QTest::addColumn<QList<double>>("bounds");

    // The upper bounds of every interval but the last, which is open-ended.
    QList<double> window;
    for (const QPair<double, double> &range : thicknessRanges().mid(0, 7))
        window << range.second;
    QTest::newRow("the logger's own gauge: the bands it always had") << DefaultRange << window;
    QTest::newRow("5000") << 5000.0 << QList<double>{0, 800, 1600, 2400, 3200, 4000, 5000};
    QTest::newRow("a whole number of bands")
        << 1000.0 << QList<double>{0, 200, 400, 600, 800, 1000};
    QTest::newRow("the largest range")
        << 100000.0 << QList<double>{0, 20000, 40000, 60000, 80000, 100000};
}

void TestHistogram::standardRanges()
{
    QFETCH(double, rangeUm);
    QFETCH(QList<double>, bounds);
    const Ranges ranges = Histogram::standardRanges(rangeUm);
    QCOMPARE(ranges.size(), bounds.size() + 1);
    QCOMPARE(ranges.first().first, std::numeric_limits<double>::lowest());
    QCOMPARE(ranges.last().second, std::numeric_limits<double>::max());
    for (int i = 0; i < bounds.size(); ++i) {
        QCOMPARE(ranges.at(i).second, bounds.at(i));
        QCOMPARE(ranges.at(i + 1).first, ranges.at(i).second);
    }
}

void TestHistogram::rangesAroundLimits_data()
{
    QTest::addColumn<double>("lowest");
    QTest::addColumn<double>("highest");
    QTest::addColumn<QList<double>>("bounds");
    QTest::addColumn<double>("rangeUm");

    // The upper bounds of every interval but the last, which is open-ended.
    QTest::newRow("100 to 200 um")
        << 100.0 << 200.0
        << QList<double>{0, 50, 75, 100, 125, 150, 175, 200, 225, 250, 275, 300, 1250}
        << DefaultRange;
    QTest::newRow("from 0") << 0.0 << 100.0
                            << QList<double>{0, 15, 30, 45, 60, 75, 90, 105, 120, 135, 150, 1250}
                            << DefaultRange;
    QTest::newRow("rounded bounds")
        << 96.0 << 200.0
        << QList<double>{0, 30, 60, 90, 120, 150, 180, 210, 240, 270, 300, 330, 1250}
        << DefaultRange;
    QTest::newRow("mils") << 3.94 << 7.87 << QList<double>{0,    1.5, 3,    4.5, 6,    7.5, 9,
                                                           10.5, 12,  13.5, 15,  16.5, 1250}
                          << DefaultRange;
    QTest::newRow("beyond the over-range limit")
        << 400.0 << 1000.0
        << QList<double>{0, 150, 300, 450, 600, 750, 900, 1050, 1200, 1350, 1500, 1650}
        << DefaultRange;
    QTest::newRow("100 to 200 um, a range of 5000")
        << 100.0 << 200.0
        << QList<double>{0, 50, 75, 100, 125, 150, 175, 200, 225, 250, 275, 300, 5000} << 5000.0;
    QTest::newRow("beyond 1250, within a range of 5000")
        << 400.0 << 1000.0
        << QList<double>{0, 150, 300, 450, 600, 750, 900, 1050, 1200, 1350, 1500, 1650, 5000}
        << 5000.0;
}

void TestHistogram::rangesAroundLimits()
{
    QFETCH(double, lowest);
    QFETCH(double, highest);
    QFETCH(QList<double>, bounds);
    QFETCH(double, rangeUm);
    const QList<QPair<double, double>> ranges = Histogram::rangesAround(lowest, highest, rangeUm);
    QCOMPARE(ranges.size(), bounds.size() + 1);
    QCOMPARE(ranges.first().first, std::numeric_limits<double>::lowest());
    QCOMPARE(ranges.last().second, std::numeric_limits<double>::max());
    for (int i = 0; i < bounds.size(); ++i) {
        QVERIFY2(qAbs(ranges.at(i).second - bounds.at(i)) < 1e-9, qPrintable(QString::number(i)));
        QCOMPARE(ranges.at(i + 1).first, ranges.at(i).second);
    }
}

void TestHistogram::limitsMarked()
{
    auto histogram = makeHistogram(400, 280);
    histogram->setRanges(Histogram::rangesAround(100, 200, DefaultRange));
    histogram->addValues({60, 110, 110, 150, 190, 250, 1300});
    histogram->setMarkLines({{100.0, CoatingRequirement::Line::Limit, QStringLiteral("Min")},
                             {150.0, CoatingRequirement::Line::Nominal, QString()},
                             {200.0, CoatingRequirement::Line::Limit, QStringLiteral("Max")}});
    QCOMPARE(counts(*histogram), (QList<int>{0, 0, 1, 0, 2, 1, 0, 1, 0, 1, 0, 0, 0, 1}));
    const QImage image = histogram->grab().toImage();
    // 14 slots of 20 pixels: 100 closes the fourth interval, 200 the eighth.
    QCOMPARE(histogram->valueY(100), -80.0);
    QCOMPARE(histogram->valueY(200), -160.0);
    QVERIFY(std::isnan(histogram->valueY(-5)));
    QVERIFY(std::isnan(histogram->valueY(2000)));
    for (double limit : {100.0, 200.0}) {
        const QPoint at = toWidget(*histogram, QPointF(300, histogram->valueY(limit)));
        int red = 0;
        for (int x = at.x() - 100; x < at.x(); ++x)
            red += qRed(image.pixel(x, at.y())) > 150 && qGreen(image.pixel(x, at.y())) < 80;
        QVERIFY2(red > 30, qPrintable(QString::number(red)));
    }
}

QTEST_MAIN(TestHistogram)
#include "tst_histogram.moc"
