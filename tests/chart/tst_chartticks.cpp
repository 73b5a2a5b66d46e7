#include <cmath>
#include <limits>
#include <random>

#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <QtTest>

#include "chartaxes.h"
#include "chartline.h"
#include "chartpoint.h"
#include "common/columnenvelope.h"
#include "dmmchart.h"
#include "overrangemarkers.h"
#include "polylinestamps.h"

// Tick spacing, value labels and the line thinning of the time chart: plain functions.
class TestChartTicks : public QObject
{
    Q_OBJECT

private slots:
    void pointStep_data();
    void pointStep();
    void valueStep_data();
    void valueStep();
    void valueLabel_data();
    void valueLabel();
    void envelopeKeepsPixels_data();
    void envelopeKeepsPixels();
    void envelopeKeepsShortLines();
    void envelopeKeepsSmallTurns();
    void lineEnvelopeIsTheColumnEnvelope_data();
    void lineEnvelopeIsTheColumnEnvelope();
    void lineSpansKeepPixels_data();
    void lineSpansKeepPixels();
    void lineSpansKeepSmallTurns();
    void stampsKeepPixels_data();
    void stampsKeepPixels();
    void markerRectsKeepPixels_data();
    void markerRectsKeepPixels();
};

void TestChartTicks::pointStep_data()
{
    QTest::addColumn<double>("scale");
    QTest::addColumn<int>("step");

    QTest::newRow("wide points take every point") << 100.0 << 1;
    QTest::newRow("exactly 80 pixels qualifies") << 40.0 << 2;
    QTest::newRow("100 points on 600 px") << 6.0 << 20;
    QTest::newRow("40 is the last entry") << 2.0 << 40;
    QTest::newRow("first multiple of 50") << 1.6 << 50;
    QTest::newRow("2000 points on 600 px") << 0.3 << 300;
    QTest::newRow("100000 points on 920 px") << 920.0 / 100000 << 8700;
    QTest::newRow("no width") << 0.0 << 0;
    QTest::newRow("negative width") << -3.0 << 0;
}

void TestChartTicks::pointStep()
{
    QFETCH(double, scale);
    QFETCH(int, step);
    QCOMPARE(ChartAxes::pointStep(scale, 80), step);
}

void TestChartTicks::valueStep_data()
{
    QTest::addColumn<double>("scale");
    QTest::addColumn<double>("step");

    QTest::newRow("300 px for -1.1 .. 1.1") << 300 / 2.2 << 0.3;
    QTest::newRow("smallest entry") << 3.0e6 << 0.00001;
    QTest::newRow("nothing between 0.01 and 0.1") << 1000.0 << 0.1;
    QTest::newRow("0.8 stands alone") << 40.0 << 0.8;
    QTest::newRow("40 is the last entry") << 0.75 << 40.0;
    QTest::newRow("first multiple of 50") << 0.6 << 50.0;
    QTest::newRow("150 after 100") << 0.25 << 150.0;
    QTest::newRow("exact multiple") << 0.01 << 3000.0;
    QTest::newRow("no height") << 0.0 << 0.0;
    QTest::newRow("not a number") << std::nan("") << 0.0;
}

void TestChartTicks::valueStep()
{
    QFETCH(double, scale);
    QFETCH(double, step);
    QCOMPARE(ChartAxes::valueStep(scale, 30), step);
}

void TestChartTicks::valueLabel_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("label");

    QTest::newRow("one decimal") << 0.9 << 1 << "0.9";
    QTest::newRow("sum of steps rounds") << 3 * 0.3 << 1 << "0.9";
    QTest::newRow("below the baseline") << -0.6 << 1 << "-0.6";
    QTest::newRow("baseline below is not -0") << -0.0 << 1 << "0.0";
    QTest::newRow("mils") << 12.0 << 2 << "12.00";
    QTest::newRow("just under a thousand") << 950.0 << 1 << "950.0";
    QTest::newRow("30 ticks of 50") << 1500.0 << 1 << "1.5k";
    QTest::newRow("thousands below") << -1500.0 << 1 << "-1.5k";
    QTest::newRow("a million") << 1000000.0 << 1 << "1.0M";
    QTest::newRow("millions below") << -2500000.0 << 2 << "-2.50M";
}

void TestChartTicks::valueLabel()
{
    QFETCH(double, value);
    QFETCH(int, decimals);
    QFETCH(QString, label);
    QCOMPARE(ChartAxes::valueLabel(value, decimals), label);
}

namespace {

QImage stroke(const QPolygon &polyline, const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(QPen(QColor(250, 150, 0), 1));
    painter.drawPolyline(polyline);
    return image;
}

// Vertices the way the chart lays them out: one per reading, evenly spread over the width.
QPolygon layOut(const QVector<double> &rows, int left, int width)
{
    QPolygon polyline(rows.size());
    const double xScale = double(width) / rows.size();
    for (int k = 0; k < rows.size(); ++k)
        polyline[k] = QPoint(int(k * xScale + left), int(rows.at(k)));
    return polyline;
}

// Small zigzags, repeated rows and single steps crowded into few columns: where the stroke rules
// for the ends of steps show. Rows lie in 100 .. 112.
struct Zigzag
{
    QVector<double> rows;
    int columns = 1;
};

Zigzag randomZigzag(std::mt19937 &random)
{
    const int amplitude = 1 + int(random() % 12);
    const int count = 5 + int(random() % 300);
    Zigzag zigzag;
    zigzag.columns = 1 + int(random() % 40);
    const int mode = int(random() % 3);
    std::uniform_int_distribution<int> anyRow(100, 100 + amplitude);
    int y = 100 + amplitude / 2;
    for (int i = 0; i < count; ++i) {
        if (mode == 0)
            y = anyRow(random);
        else if (mode == 1)
            y = std::clamp(y + int(random() % 3) - 1, 100, 100 + amplitude);
        else if (random() % 4 == 0)
            y = anyRow(random);
        zigzag.rows.append(y);
    }
    return zigzag;
}

} // namespace

void TestChartTicks::envelopeKeepsPixels_data()
{
    QTest::addColumn<QVector<double>>("rows");

    std::mt19937 random(6814);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    const int n = 100000;
    QVector<double> walk, scatter, sine, flat, spikes, steps;
    double y = 300;
    for (int i = 0; i < n; ++i) {
        y = std::clamp(y + 3 * noise(random), 40.0, 560.0);
        walk.append(y);
        scatter.append(300 + 250 * noise(random));
        sine.append(300 + 200 * std::sin(i / 700.0) + 4 * noise(random));
        flat.append(300);
        spikes.append(i % 997 == 0 ? 60 : 300);
        steps.append(100 + 50 * ((i / 5000) % 8));
    }
    QTest::newRow("random walk") << walk;
    QTest::newRow("scatter") << scatter;
    QTest::newRow("sine with noise") << sine;
    QTest::newRow("flat") << flat;
    QTest::newRow("lone spikes") << spikes;
    QTest::newRow("steps") << steps;
}

void TestChartTicks::envelopeKeepsPixels()
{
    QFETCH(QVector<double>, rows);
    const QPolygon polyline = layOut(rows, 70, 920);
    const QPolygon envelope = charttest::columnEnvelope(polyline);

    // Whole first and last columns, at most six vertices in each of the others.
    const int perColumn = int(std::ceil(rows.size() / 920.0));
    QVERIFY(envelope.size() <= 6 * 921 + 2 * perColumn);
    QCOMPARE(envelope.first(), polyline.first());
    QCOMPARE(envelope.last(), polyline.last());
    const QSize size(1000, 600);
    QCOMPARE(stroke(envelope, size), stroke(polyline, size));
}

void TestChartTicks::envelopeKeepsShortLines()
{
    // Fewer readings than pixel columns: nothing may be dropped.
    const QVector<double> rows{300, 120, 480, 480, 90, 301, 302, 550};
    const QPolygon polyline = layOut(rows, 70, 920);
    QCOMPARE(charttest::columnEnvelope(polyline), polyline);
    QVERIFY(charttest::columnEnvelope(QPolygon()).isEmpty());
}

void TestChartTicks::envelopeKeepsSmallTurns()
{
    std::mt19937 random(2);
    const QSize size(60, 130);
    for (int round = 0; round < 3000; ++round) {
        const Zigzag zigzag = randomZigzag(random);
        const QPolygon narrow = layOut(zigzag.rows, 10, zigzag.columns);
        if (stroke(charttest::columnEnvelope(narrow), size) != stroke(narrow, size))
            QFAIL(qPrintable(QStringLiteral("round %1 differs").arg(round)));
    }
}

void TestChartTicks::lineEnvelopeIsTheColumnEnvelope_data()
{
    envelopeKeepsPixels_data();
}

// What a line computes from its blocks is exactly the envelope of the polyline through all its
// points, for every stretch between over-range points (or through them where many points share
// a pixel column), whole or in windows.
void TestChartTicks::lineEnvelopeIsTheColumnEnvelope()
{
    QFETCH(QVector<double>, rows);
    const double inf = std::numeric_limits<double>::infinity();
    std::mt19937 random(1002);
    for (const int overRangeEvery : {0, 50, 5000}) {
        QVector<double> values;
        for (int k = 0; k < rows.size(); ++k) {
            const bool over = overRangeEvery > 0 && random() % overRangeEvery == 0;
            // Rows grow downwards: the value -r lies on row r.
            values.append(over ? (k % 2 ? inf : -inf) : -rows.at(k));
        }
        DMMChart chart;
        QList<ChartPoint *> points;
        for (double value : values)
            points.append(new ChartPoint(value, QDateTime(), QVariant()));
        chart.addPoints(points);
        const ChartLine *line = chart.line(0);

        for (const QPair<int, int> window :
             {qMakePair(0, int(values.size()) - 1), qMakePair(777, 31234), qMakePair(100, 1500),
              qMakePair(5, 70)}) {
            const int width = 920;
            const ChartLine::PixelMap map{double(width) / (window.second - window.first + 1), 70, 0,
                                          1.0};
            // Over-range points break the line only while a gap of one would be a pixel wide.
            const bool breaks = map.xScale >= 0.5;
            QCOMPARE(ChartLine::breaksAtIrregular(map.xScale), breaks);
            QVector<QPolygon> expected;
            QPolygon run;
            for (int i = window.first; i <= window.second; ++i) {
                if (std::isinf(values.at(i))) {
                    if (breaks && !run.isEmpty()) {
                        expected.append(charttest::columnEnvelope(run));
                        run.clear();
                    }
                    continue;
                }
                run.append(
                    QPoint(int((i - window.first) * map.xScale + map.left), int(rows.at(i))));
            }
            if (!run.isEmpty())
                expected.append(charttest::columnEnvelope(run));
            QVector<QPolygon> drawn;
            line->envelope(window.first, window.second, map,
                           [&drawn](const QPolygon &polyline) { drawn.append(polyline); });
            QCOMPARE(drawn.size(), expected.size());
            for (int p = 0; p < drawn.size(); ++p)
                QCOMPARE(drawn.at(p), expected.at(p));
        }
    }
}

namespace {

// The line through values[first..last] on an image: every point stroked (a polyline per stretch
// where over-range points break the line), or as the chart draws it, thinned with column spans.
QImage strokeLine(const QVector<double> &values, int first, int last,
                  const ChartLine::PixelMap &map, const QSize &size, bool spans)
{
    DMMChart chart;
    QList<ChartPoint *> points;
    for (double value : values)
        points.append(new ChartPoint(value, QDateTime(), QVariant()));
    chart.addPoints(points);
    const QColor color(250, 150, 0);
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(QPen(color, 1));
    const auto draw = [&painter](const QPolygon &polyline) {
        if (polyline.size() == 1)
            painter.drawPoint(polyline.first());
        else
            painter.drawPolyline(polyline);
    };
    if (spans) {
        PolylineStamps stamps;
        chart.line(0)->envelope(
            first, last, map,
            [&](const QPolygon &polyline) {
                if (polyline.size() == 1 || !stamps.draw(&image, polyline, color.rgb()))
                    draw(polyline);
            },
            [&](int x, int top, int bottom) {
                painter.fillRect(x, top, 1, bottom - top + 1, color);
            });
        return image;
    }
    const bool breaks = ChartLine::breaksAtIrregular(map.xScale);
    QPolygon run;
    for (int i = first; i <= last; ++i) {
        if (std::isinf(values.at(i))) {
            if (breaks && !run.isEmpty()) {
                draw(run);
                run.clear();
            }
            continue;
        }
        run.append(QPoint(DMMChart::truncPixel((i - first) * map.xScale + map.left),
                          DMMChart::truncPixel(map.baseline - map.yScale * values.at(i))));
    }
    if (!run.isEmpty())
        draw(run);
    return image;
}

} // namespace

void TestChartTicks::lineSpansKeepPixels_data()
{
    envelopeKeepsPixels_data();
}

// Spans filled in crowded columns leave the same pixels as stroking every point, whole or in
// windows, with over-range points here and there.
void TestChartTicks::lineSpansKeepPixels()
{
    QFETCH(QVector<double>, rows);
    const double inf = std::numeric_limits<double>::infinity();
    std::mt19937 random(1002);
    for (const int overRangeEvery : {0, 50}) {
        QVector<double> values;
        for (int k = 0; k < rows.size(); ++k) {
            const bool over = overRangeEvery > 0 && random() % overRangeEvery == 0;
            values.append(over ? (k % 2 ? inf : -inf) : -rows.at(k));
        }
        for (const QPair<int, int> window :
             {qMakePair(0, int(values.size()) - 1), qMakePair(777, 31234), qMakePair(5, 3000)}) {
            const ChartLine::PixelMap map{920.0 / (window.second - window.first + 1), 70, 0, 1.0};
            const QSize size(1000, 600);
            QCOMPARE(strokeLine(values, window.first, window.second, map, size, true),
                     strokeLine(values, window.first, window.second, map, size, false));
        }
    }
}

void TestChartTicks::lineSpansKeepSmallTurns()
{
    // The same zigzags as spans of a pixel or two beside the steps into and out of a column, cut
    // where a column is crowded, with over-range readings in two rounds of three.
    std::mt19937 random(3);
    const QSize size(60, 130);
    for (int round = 0; round < 3000; ++round) {
        const Zigzag zigzag = randomZigzag(random);
        QVector<double> values;
        const int overRangeEvery = round % 3 == 0 ? 0 : 5 + round % 30;
        for (const double row : zigzag.rows) {
            const bool over = overRangeEvery > 0 && random() % overRangeEvery == 0;
            values.append(over ? (random() % 2 ? qInf() : -qInf()) : -row);
        }
        const int count = values.size();
        const ChartLine::PixelMap map{double(zigzag.columns) / count, 10, 0, 1.0};
        if (strokeLine(values, 0, count - 1, map, size, true) !=
            strokeLine(values, 0, count - 1, map, size, false))
            QFAIL(qPrintable(QStringLiteral("round %1 differs").arg(round)));
    }
}

void TestChartTicks::stampsKeepPixels_data()
{
    QTest::addColumn<int>("maxStep");
    QTest::addColumn<int>("maxDx");
    QTest::newRow("steps between columns") << 30 << 1;
    QTest::newRow("small turns") << 2 << 1;
    QTest::newRow("shallow and steep") << 12 << 12;
}

// A stamped polyline sets what the painter sets, anywhere on the image; near the edge, or too
// long, it is left to the painter.
void TestChartTicks::stampsKeepPixels()
{
    QFETCH(int, maxStep);
    QFETCH(int, maxDx);
    std::mt19937 random(11);
    const QColor color(250, 150, 0);
    PolylineStamps stamps;
    int stamped = 0;
    for (int round = 0; round < 2000; ++round) {
        QPolygon polyline;
        QPoint p(40 + int(random() % 80), 40 + int(random() % 80));
        const int vertices = 2 + int(random() % (PolylineStamps::MaxVertices + 1));
        for (int v = 0; v < vertices; ++v) {
            polyline.append(p);
            p += QPoint(int(random() % (maxDx + 1)) - int(random() % 2),
                        int(random() % (2 * maxStep + 1)) - maxStep);
        }
        QImage painted(160, 160, QImage::Format_RGB32);
        painted.fill(Qt::white);
        QImage set = painted;
        QPainter painter(&painted);
        painter.setPen(QPen(color, 1));
        painter.drawPolyline(polyline);
        painter.end();
        if (stamps.draw(&set, polyline, color.rgb())) {
            ++stamped;
            QCOMPARE(set, painted);
        } else {
            QVERIFY(vertices > PolylineStamps::MaxVertices ||
                    !QRect(2, 2, 156, 156).contains(polyline.boundingRect()));
        }
    }
    QVERIFY(stamped > 1000);
}

void TestChartTicks::markerRectsKeepPixels_data()
{
    QTest::addColumn<QVector<int>>("columns");
    QVector<int> crowded, scattered;
    std::mt19937 random(7);
    for (int x = 5; x < 300; x += 1 + int(random() % 4))
        crowded.append(x);
    for (int x = 5; x < 300; x += 1 + int(random() % 15))
        scattered.append(x);
    QTest::newRow("none") << QVector<int>();
    QTest::newRow("one") << QVector<int>{40};
    QTest::newRow("apart, touching, overlapping") << QVector<int>{10, 30, 37, 44, 46, 47, 60};
    QTest::newRow("crowded") << crowded;
    QTest::newRow("scattered") << scattered;
}

// One rectangle per run of markers covers what painting every marker covers, pointing up or
// down.
void TestChartTicks::markerRectsKeepPixels()
{
    QFETCH(QVector<int>, columns);
    for (const QPolygon &marker : {QPolygon({QPoint(-3, 25), QPoint(3, 25), QPoint(0, 20)}),
                                   QPolygon({QPoint(-3, 15), QPoint(3, 15), QPoint(0, 20)})}) {
        QImage each(320, 40, QImage::Format_RGB32);
        each.fill(Qt::white);
        QImage merged = each;
        QPainter painter(&each);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::red);
        for (int x : columns)
            painter.drawPolygon(marker.translated(x, 0));
        painter.end();
        const QVector<QRect> rects = OverRangeMarkers::markerRects(marker, columns);
        painter.begin(&merged);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::red);
        painter.drawRects(rects.constData(), rects.size());
        painter.end();
        QCOMPARE(merged, each);
        QVERIFY(rects.size() <= 6 * columns.size());
    }
}

QTEST_MAIN(TestChartTicks)
#include "tst_chartticks.moc"
