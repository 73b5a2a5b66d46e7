#include <cmath>
#include <limits>
#include <memory>

#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
// Mouse events go through the window system, so a drag carries its button like a real one.
#define QTEST_QPA_MOUSE_HANDLING
#include <QtTest>

#include "chartaxes.h"
#include "chartcursor.h"
#include "chartline.h"
#include "chartpoint.h"
#include "dmmchart.h"

// The time chart as a widget: scales and ticks for real plot sizes, hover, zoom by dragging, the
// composed picture and its files.
class TestDMMChart : public QObject
{
    Q_OBJECT

private slots:
    void timeAxis_data();
    void timeAxis();
    void valueAxis();
    void valueRange_data();
    void valueRange();
    void valuesReplacedFromAPoint_data();
    void valuesReplacedFromAPoint();
    void markLinesSpanTheValueAxis_data();
    void markLinesSpanTheValueAxis();
    void indexAt_data();
    void indexAt();
    void indexAtFollowsNearestRule();
    void hoverOverMargins();
    void hoverShowsAndHidesIndicator();
    void moveOnSamePointDropsIndicator();
    void indicatorLabelsStayInsidePlot();
    void pressHidesIndicator();
    void zoomNestsAndEnds();
    void zoomFromFirstPointKeepsTwo();
    void clickWithoutMoveDoesNotZoom();
    void pointsFasterThanRepaintsEndInFullPicture();
    void newPointsWaitWhileZoomed();
    void newPointsWaitWhileDragging();
    void clearEndsZoom();
    void emptyChartIgnoresMouse();
    void tinyPlotAreaPaintsAxesOnly();
    void renderedPicture();
    void overRangeBreaksTheLineAndMarksTheEdge();
    void overRangeIndicatorText_data();
    void overRangeIndicatorText();
    void renderPixmapWhileHidden();
    void singleNewPointsEndInTheFreshPicture();
    void savePixmapWritesFiles();
};

namespace {

const QDateTime Start(QDate(2024, 3, 1), QTime(10, 0, 0));
const QRgb White = qRgb(255, 255, 255);
const QRgb Black = qRgb(0, 0, 0);
const QRgb Orange = qRgb(250, 150, 0);
const QRgb Blue = qRgb(0, 100, 250);

QList<ChartPoint *> makePoints(const QVector<double> &values, int firstSecond = 0)
{
    QList<ChartPoint *> points;
    for (int i = 0; i < values.size(); ++i) {
        const double value = values.at(i);
        points.append(new ChartPoint(value, Start.addSecs(firstSecond + i),
                                     QStringLiteral("%1μm Fe").arg(value, 0, 'f', 1)));
    }
    return points;
}

QVector<double> constant(int count, double value)
{
    return QVector<double>(count, value);
}

// A shown and painted chart whose plot area is plotWidth x plotHeight at (60, 40), the default
// margins.
std::unique_ptr<DMMChart> makeChart(int plotWidth, int plotHeight,
                                    const QVector<double> &values = {})
{
    auto chart = std::make_unique<DMMChart>();
    chart->resize(plotWidth + 80, plotHeight + 80);
    chart->show();
    if (!QTest::qWaitForWindowExposed(chart.get()))
        qWarning("chart window not exposed");
    // Moves to where the last test left the mouse would be dropped as no move at all.
    QTest::mouseMove(chart.get(), QPoint(1, 1));
    chart->addPoints(makePoints(values));
    chart->repaint();
    return chart;
}

QRgb pixel(const DMMChart &chart, int x, int y)
{
    return chart.pixmap().toImage().pixel(x, y) | 0xff000000;
}

// Widget position of visible point i at height y of the plot area.
QPoint pointPosition(const DMMChart &chart, int index, int y = 100)
{
    return QPoint(chart.plotRect().left() + chart.line(0)->pixelX(index),
                  chart.plotRect().top() + y);
}

int inkIn(const QImage &image, const QRect &rect)
{
    int ink = 0;
    const QRect clipped = rect & image.rect();
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        for (int x = clipped.left(); x <= clipped.right(); ++x)
            ink += (image.pixel(x, y) | 0xff000000) != White;
    }
    return ink;
}

void drag(DMMChart *chart, const QPoint &from, const QPoint &to)
{
    QTest::mousePress(chart, Qt::LeftButton, {}, from);
    QTest::mouseMove(chart, to);
    QTest::mouseRelease(chart, Qt::LeftButton, {}, to);
    chart->repaint();
}

} // namespace

void TestDMMChart::timeAxis_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("xScale");
    QTest::addColumn<int>("xTickPoints");
    QTest::addColumn<double>("xGridPx");
    QTest::addColumn<int>("xDivs");
    QTest::addColumn<QStringList>("labels");

    QTest::newRow("100 points on 600 px")
        << 100 << 6.0 << 20 << 120.0 << 5
        << QStringList{"10:00:00", "10:00:20", "10:00:40", "10:01:00", "10:01:20"};
    QTest::newRow("2000 points on 600 px")
        << 2000 << 0.3 << 300 << 90.0 << 6
        << QStringList{"10:00:00", "10:05:00", "10:10:00", "10:15:00", "10:20:00", "10:25:00"};
    QTest::newRow("one point") << 1 << 600.0 << 1 << 600.0 << 1 << QStringList{"10:00:00"};
    QTest::newRow("no points") << 0 << 0.0 << 0 << 0.0 << 0 << QStringList();
}

void TestDMMChart::timeAxis()
{
    QFETCH(int, count);
    QFETCH(double, xScale);
    QFETCH(int, xTickPoints);
    QFETCH(double, xGridPx);
    QFETCH(int, xDivs);
    QFETCH(QStringList, labels);

    auto chart = makeChart(600, 300, constant(count, 10.0));

    QCOMPARE(chart->xScale(), xScale);
    QCOMPARE(chart->xDivs(), xDivs);
    if (count > 0) {
        QCOMPARE(chart->xTickPoints(), xTickPoints);
        QCOMPARE(chart->xGridPx(), xGridPx);
    }
    QCOMPARE(chart->timeLabels(), labels);

    // The ticks stand 5 pixels below the plot at every grid step, and nowhere between.
    const int tickRow = chart->plotRect().bottom() + 3;
    for (int i = 0; i < xDivs; ++i) {
        const int x = int(i * xGridPx + chart->plotRect().left() + 0.5);
        QCOMPARE(pixel(*chart, x, tickRow), Black);
        QCOMPARE(pixel(*chart, x + 2, tickRow), White);
    }
}

void TestDMMChart::valueAxis()
{
    auto chart = makeChart(600, 300, constant(20, 0.5));

    QCOMPARE(chart->yMin(), -1.1);
    QCOMPARE(chart->yMax(), 1.1);
    QCOMPARE(chart->yScale(), 300 / 2.2);
    QCOMPARE(chart->yStep(), 0.3);
    QCOMPARE(chart->yDivsUp(), 3);
    QCOMPARE(chart->yDivsDown(), 3);
    QCOMPARE(ChartAxes::valueLabel(3 * chart->yStep(), chart->decimals()), QStringLiteral("0.9"));
    QCOMPARE(ChartAxes::valueLabel(-2 * chart->yStep(), chart->decimals()), QStringLiteral("-0.6"));

    // Ticks left of the plot at the baseline and three steps either side of it.
    const int tickX = chart->plotRect().left() - 3;
    for (int j = -3; j <= 3; ++j) {
        const int y = int(chart->baselineY() - j * chart->yGridPx());
        QCOMPARE(pixel(*chart, tickX, y), Black);
        QCOMPARE(pixel(*chart, tickX, y + 3), White);
    }
    QCOMPARE(pixel(*chart, tickX, int(chart->baselineY() - 4 * chart->yGridPx())), White);
}

void TestDMMChart::valueRange_data()
{
    QTest::addColumn<QVector<double>>("values");
    QTest::addColumn<double>("yMin");
    QTest::addColumn<double>("yMax");

    QTest::newRow("empty") << QVector<double>() << -1.1 << 1.1;
    QTest::newRow("one point") << QVector<double>{0.5} << -1.1 << 1.1;
    QTest::newRow("all 50") << constant(10, 50.0) << -1.1 << 55.0;
    QTest::newRow("all negative") << QVector<double>{-20, -5} << -22.0 << 1.1;
    QTest::newRow("both sides") << QVector<double>{-5, 300, 12} << -5.5 << 330.0;
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("over range scales nothing")
        << QVector<double>{inf, 50, -inf, 20} << -1.1 << 55.0;
    QTest::newRow("all over range") << QVector<double>{inf, -inf} << -1.1 << 1.1;
}

void TestDMMChart::valueRange()
{
    QFETCH(QVector<double>, values);
    QFETCH(double, yMin);
    QFETCH(double, yMax);

    auto chart = makeChart(600, 300, values);
    QCOMPARE(chart->yMin(), yMin);
    QCOMPARE(chart->yMax(), yMax);
    QCOMPARE(chart->yScale(), 300 / (yMax - yMin));
    QCOMPARE(chart->baselineY(), int(40 + 300 / (yMax - yMin) * yMax));
}

void TestDMMChart::valuesReplacedFromAPoint_data()
{
    QTest::addColumn<QVector<double>>("before");
    QTest::addColumn<int>("first");
    QTest::addColumn<QVector<double>>("replacing");

    const double nan = std::nan("");
    const double inf = std::numeric_limits<double>::infinity();
    QVector<double> gap = constant(200, 100.0);
    for (int i = 60; i < 70; ++i)
        gap[i] = nan;
    QTest::newRow("an open run joined across blocks") << gap << 60 << constant(10, 120.0);
    QTest::newRow("the largest value replaced")
        << QVector<double>{10, 500, 20} << 1 << QVector<double>{30};
    QTest::newRow("over range in and out")
        << QVector<double>{inf, 50, -inf, 20} << 0 << QVector<double>{40, -inf};
    QTest::newRow("past the last point")
        << QVector<double>{10, 20} << 1 << QVector<double>{30, 40, 50};
}

// Values replaced in place leave the line as it would be had it been made with them.
void TestDMMChart::valuesReplacedFromAPoint()
{
    QFETCH(QVector<double>, before);
    QFETCH(int, first);
    QFETCH(QVector<double>, replacing);

    QVector<double> after = before;
    for (int i = 0; i < replacing.size() && first + i < after.size(); ++i)
        after[first + i] = replacing.at(i);
    auto chart = makeChart(600, 300, before);
    chart->setValues(replacing, first);
    chart->repaint();
    auto made = makeChart(600, 300, after);
    const ChartLine *line = chart->line(0);
    const ChartLine *expected = made->line(0);
    QCOMPARE(line->values().size(), after.size());
    for (int i = 0; i < after.size(); ++i)
        QVERIFY(line->values().at(i) == after.at(i) ||
                (std::isnan(line->values().at(i)) && std::isnan(after.at(i))));
    QCOMPARE(line->irregularIndexes(), expected->irregularIndexes());
    QCOMPARE(chart->yMin(), made->yMin());
    QCOMPARE(chart->yMax(), made->yMax());
    QCOMPARE(chart->pixmap().toImage(), made->pixmap().toImage());
}

void TestDMMChart::markLinesSpanTheValueAxis_data()
{
    QTest::addColumn<QVector<double>>("values");
    QTest::addColumn<double>("yMin");
    QTest::addColumn<double>("yMax");

    QTest::newRow("a coat between its limits") << constant(10, 150.0) << 90.0 << 210.0;
    QTest::newRow("readings beyond the limits") << QVector<double>{50, 150, 260} << 29.0 << 281.0;
    QTest::newRow("no readings yet") << QVector<double>() << 90.0 << 210.0;
}

// With limits 100 and 200 the axis spans readings and limits with a tenth to spare, not 0.
void TestDMMChart::markLinesSpanTheValueAxis()
{
    QFETCH(QVector<double>, values);
    QFETCH(double, yMin);
    QFETCH(double, yMax);

    auto chart = makeChart(600, 300, values);
    chart->setMarkLines({{100.0, CoatingRequirement::Line::Limit, QStringLiteral("Min")},
                         {200.0, CoatingRequirement::Line::Limit, QStringLiteral("Max")}});
    chart->repaint();
    QVERIFY(qAbs(chart->yMin() - yMin) < 1e-9);
    QVERIFY(qAbs(chart->yMax() - yMax) < 1e-9);
    const QImage image = chart->pixmap().toImage();
    for (double limit : {100.0, 200.0}) {
        const int y = chart->valueY(limit);
        QVERIFY(y > chart->plotRect().top() && y < chart->plotRect().bottom());
        int red = 0;
        for (int x = chart->plotRect().left(); x < chart->plotRect().left() + 200; ++x)
            red += qRed(image.pixel(x, y)) > 150 && qGreen(image.pixel(x, y)) < 80;
        QVERIFY2(red > 50, qPrintable(QString::number(red)));
    }
    // Every value label stands within the plot's height: none for the hidden range below.
    QCOMPARE(chart->baselineY() > chart->plotRect().bottom(), yMin > 0);

    chart->setMarkLines({});
    chart->repaint();
    QVERIFY(chart->yMin() <= -1.1);
}

void TestDMMChart::indexAt_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("index");

    QTest::newRow("left of the plot") << 2 << -10 << 0;
    QTest::newRow("right of the plot") << 2 << 700 << 1;
    QTest::newRow("first point") << 2 << 0 << 0;
    QTest::newRow("on the second point") << 2 << 300 << 1;
    QTest::newRow("tie goes left") << 2 << 150 << 0;
    QTest::newRow("just past the middle") << 2 << 151 << 1;
    QTest::newRow("beyond the last point") << 2 << 599 << 1;
    QTest::newRow("right edge") << 2 << 600 << 1;
    QTest::newRow("tie between 1 and 2") << 3 << 300 << 1;
    QTest::newRow("shared pixel columns") << 2000 << 3 << 9;
    QTest::newRow("no points") << 0 << 10 << -1;
}

void TestDMMChart::indexAt()
{
    QFETCH(int, count);
    QFETCH(int, x);
    QFETCH(int, index);

    auto chart = makeChart(600, 300, constant(count, 1.0));
    QCOMPARE(chart->indexAt(x), index);
}

void TestDMMChart::indexAtFollowsNearestRule()
{
    // Every x of a few layouts against the rule: the first point on x, else the nearer of the
    // two around it with ties to the left, else the last.
    for (int count : {1, 7, 599, 2000, 5003}) {
        auto chart = makeChart(600, 300, constant(count, 1.0));
        QVector<QPoint> pixels;
        for (int k = 0; k < chart->line(0)->pixelPointCount(); ++k)
            pixels.append(QPoint(chart->line(0)->pixelX(k), 0));
        QCOMPARE(pixels.size(), count);
        for (int x = 0; x <= 600; ++x) {
            int expected = pixels.size() - 1;
            for (int i = 0; i < pixels.size(); ++i) {
                if (pixels.at(i).x() == x) {
                    expected = i;
                    break;
                }
                if (pixels.at(i).x() > x) {
                    const int j = std::max(i - 1, 0);
                    expected = (x - pixels.at(j).x() > pixels.at(i).x() - x) ? i : j;
                    break;
                }
            }
            QCOMPARE(chart->indexAt(x), expected);
        }
    }
}

void TestDMMChart::hoverOverMargins()
{
    auto chart = makeChart(600, 300, constant(50, 5.0));

    QTest::mouseMove(chart.get(), QPoint(5, 100));
    QVERIFY(chart->indicatorVisible());
    QCOMPARE(chart->indicatorIndex(), 0);
    QTest::mouseMove(chart.get(), QPoint(chart->width() - 3, 100));
    QVERIFY(chart->indicatorVisible());
    QCOMPARE(chart->indicatorIndex(), 49);
}

void TestDMMChart::hoverShowsAndHidesIndicator()
{
    auto chart = makeChart(600, 300, constant(100, 5.0));
    const QPoint onPoint10 = pointPosition(*chart, 10);
    QCOMPARE(pixel(*chart, onPoint10.x(), onPoint10.y()), White);

    QElapsedTimer shown;
    shown.start();
    QTest::mouseMove(chart.get(), onPoint10);
    chart->repaint();
    QVERIFY(chart->indicatorVisible());
    QCOMPARE(chart->indicatorIndex(), 10);
    // The cursor line runs the plot's full height.
    QCOMPARE(pixel(*chart, onPoint10.x(), chart->plotRect().top()), Blue);
    QCOMPARE(pixel(*chart, onPoint10.x(), onPoint10.y()), Blue);
    QCOMPARE(pixel(*chart, onPoint10.x(), chart->plotRect().bottom()), Blue);
    QCOMPARE(pixel(*chart, onPoint10.x() + 6, onPoint10.y()), White);

    // The timer takes the cursor away about three seconds after it was shown; a coarse timer may
    // fire up to 5 % early.
    QTRY_VERIFY_WITH_TIMEOUT(pixel(*chart, onPoint10.x(), onPoint10.y()) == White, 6000);
    QVERIFY2(shown.elapsed() >= 2850, qPrintable(QString::number(shown.elapsed())));
    QVERIFY(!chart->indicatorVisible());
}

void TestDMMChart::moveOnSamePointDropsIndicator()
{
    auto chart = makeChart(600, 300, constant(100, 5.0));
    const QPoint onPoint10 = pointPosition(*chart, 10);
    QTest::mouseMove(chart.get(), onPoint10);
    chart->repaint();
    QCOMPARE(pixel(*chart, onPoint10.x(), onPoint10.y()), Blue);

    // Staying on the same point repaints nothing, but the next picture has no cursor.
    QTest::mouseMove(chart.get(), onPoint10 + QPoint(1, 0));
    QCOMPARE(chart->indicatorIndex(), 10);
    QVERIFY(!chart->indicatorVisible());
    chart->repaint();
    QCOMPARE(pixel(*chart, onPoint10.x(), onPoint10.y()), White);

    // Moving on to another point brings it back there.
    const QPoint onPoint11 = pointPosition(*chart, 11);
    QTest::mouseMove(chart.get(), onPoint11);
    chart->repaint();
    QCOMPARE(chart->indicatorIndex(), 11);
    QCOMPARE(pixel(*chart, onPoint11.x(), onPoint11.y()), Blue);
}

void TestDMMChart::indicatorLabelsStayInsidePlot()
{
    auto chart = makeChart(600, 300, constant(100, 5.0));
    const int top = chart->plotRect().top();
    const int labelHeight = QFontMetrics(chart->font()).height();

    // Near the left the label stands right of the cursor line, in the top margin.
    const QPoint first = pointPosition(*chart, 10);
    QTest::mouseMove(chart.get(), first);
    chart->repaint();
    QImage image = chart->pixmap().toImage();
    QVERIFY(inkIn(image, QRect(first.x() + 2, top - 2 * labelHeight, 100, 2 * labelHeight)) > 20);
    QCOMPARE(inkIn(image, QRect(first.x() - 40, 0, 38, top - 1)), 0);

    // On the last point it would cross the plot's right edge, so it moves to the left.
    const QPoint last = pointPosition(*chart, 99);
    QTest::mouseMove(chart.get(), last);
    chart->repaint();
    QCOMPARE(chart->indicatorIndex(), 99);
    image = chart->pixmap().toImage();
    QVERIFY(inkIn(image, QRect(last.x() - 102, top - 2 * labelHeight, 100, 2 * labelHeight)) > 20);
    QCOMPARE(inkIn(image, QRect(last.x() + 1, 0, chart->width(), top - 1)), 0);
}

void TestDMMChart::pressHidesIndicator()
{
    auto chart = makeChart(600, 300, constant(100, 5.0));
    const QPoint onPoint = pointPosition(*chart, 30);
    QTest::mouseMove(chart.get(), onPoint);
    chart->repaint();
    QCOMPARE(pixel(*chart, onPoint.x(), onPoint.y()), Blue);

    QTest::mousePress(chart.get(), Qt::LeftButton, {}, onPoint);
    chart->repaint();
    QVERIFY(!chart->indicatorVisible());
    QCOMPARE(chart->indicatorIndex(), -1);
    QCOMPARE(pixel(*chart, onPoint.x(), onPoint.y()), White);
    QTest::mouseRelease(chart.get(), Qt::LeftButton, {}, onPoint);
}

void TestDMMChart::zoomNestsAndEnds()
{
    auto chart = makeChart(600, 300, constant(100, 5.0));
    const QPoint origin = chart->plotRect().topLeft();

    // Points sit every 6 pixels: a band from point 10 to just before point 50.
    QTest::mousePress(chart.get(), Qt::LeftButton, {}, origin + QPoint(60, 10));
    QVERIFY(chart->selecting());
    QTest::mouseMove(chart.get(), origin + QPoint(300, 200));
    chart->repaint();
    // The band's dotted outline is on the picture while dragging.
    const QImage band = chart->pixmap().toImage();
    QVERIFY(inkIn(band, QRect(origin.x() + 100, origin.y() + 10, 150, 1)) > 30);
    QVERIFY(inkIn(band, QRect(origin.x() + 100, origin.y() + 200, 150, 1)) > 30);
    QTest::mouseRelease(chart.get(), Qt::LeftButton, {}, origin + QPoint(300, 200));
    chart->repaint();
    QVERIFY(!chart->selecting());
    QVERIFY(chart->zoomed());
    QCOMPARE(chart->firstIndex(), 10);
    QCOMPARE(chart->lastIndex(), 49);
    QCOMPARE(chart->xScale(), 15.0);
    QCOMPARE(chart->timeLabels().first(), QStringLiteral("10:00:10"));
    QCOMPARE(inkIn(chart->pixmap().toImage(), QRect(origin.x() + 100, origin.y() + 200, 150, 1)),
             0);

    // A second band inside the zoom counts from the zoom's first point.
    drag(chart.get(), origin + QPoint(150, 5), origin + QPoint(450, 250));
    QVERIFY(chart->zoomed());
    QCOMPARE(chart->firstIndex(), 20);
    QCOMPARE(chart->lastIndex(), 39);
    QCOMPARE(chart->timeLabels().first(), QStringLiteral("10:00:20"));

    // Dragging to the left shows everything again.
    drag(chart.get(), origin + QPoint(400, 100), origin + QPoint(100, 150));
    QVERIFY(!chart->zoomed());
    QCOMPARE(chart->firstIndex(), 0);
    QCOMPARE(chart->lastIndex(), 99);
    QCOMPARE(chart->xScale(), 6.0);
}

void TestDMMChart::zoomFromFirstPointKeepsTwo()
{
    auto chart = makeChart(600, 300, constant(100, 5.0));
    const QPoint origin = chart->plotRect().topLeft();

    // Ends before the second point, yet the zoom keeps two points.
    drag(chart.get(), origin + QPoint(0, 10), origin + QPoint(3, 200));
    QVERIFY(chart->zoomed());
    QCOMPARE(chart->firstIndex(), 0);
    QCOMPARE(chart->lastIndex(), 1);
    QCOMPARE(chart->xScale(), 300.0);

    // Two points cannot be narrowed further: the window stays.
    drag(chart.get(), origin + QPoint(310, 10), origin + QPoint(500, 200));
    QVERIFY(chart->zoomed());
    QCOMPARE(chart->firstIndex(), 0);
    QCOMPARE(chart->lastIndex(), 1);
}

void TestDMMChart::clickWithoutMoveDoesNotZoom()
{
    auto chart = makeChart(600, 300, constant(100, 5.0));
    const QPoint origin = chart->plotRect().topLeft();

    // A drag leaves its end point behind; the next click must not reuse it.
    drag(chart.get(), origin + QPoint(60, 10), origin + QPoint(300, 200));
    QVERIFY(chart->zoomed());
    QTest::mouseClick(chart.get(), Qt::LeftButton, {}, origin + QPoint(20, 20));
    chart->repaint();
    QVERIFY(!chart->selecting());
    QVERIFY(!chart->zoomed());
    QCOMPARE(chart->lastIndex(), 99);

    QTest::mouseClick(chart.get(), Qt::LeftButton, {}, origin + QPoint(20, 20));
    chart->repaint();
    QVERIFY(!chart->zoomed());
}

void TestDMMChart::pointsFasterThanRepaintsEndInFullPicture()
{
    // Points arriving in bursts faster than a large line redraws, as in a download: redraws
    // between bursts may be skipped, but the picture the chart settles on shows every point.
    // One time stamp for all keeps the bursts quick to build.
    const auto burstOf = [](const QVector<double> &values) {
        QList<ChartPoint *> points;
        for (double value : values)
            points.append(new ChartPoint(value, Start, QString()));
        return points;
    };
    auto chart = makeChart(600, 300);
    QVector<double> values;
    for (int burst = 0; burst < 40; ++burst) {
        QVector<double> part;
        for (int i = 0; i < 2500; ++i)
            part.append(100.0 + (burst * 37 + i * 13) % 101);
        chart->addPoints(burstOf(part));
        values += part;
        QCoreApplication::processEvents();
    }
    QTRY_COMPARE(chart->line(0)->pixelPointCount(), values.size());
    QTest::qWait(50);

    auto reference = makeChart(600, 300);
    reference->addPoints(burstOf(values));
    reference->repaint();
    QCOMPARE(chart->pixmap().toImage(), reference->pixmap().toImage());
}

void TestDMMChart::newPointsWaitWhileZoomed()
{
    auto chart = makeChart(600, 300, constant(100, 5.0));
    const QPoint origin = chart->plotRect().topLeft();
    drag(chart.get(), origin + QPoint(60, 10), origin + QPoint(300, 200));
    const QPixmap zoomedPicture = chart->pixmap().copy();

    chart->addPoint(makePoints({500.0}, 100).first());
    chart->addPoints(makePoints(constant(4, 400.0), 101));
    chart->repaint();
    QCOMPARE(chart->line(0)->pointCount(), 105);
    QCOMPARE(chart->firstIndex(), 10);
    QCOMPARE(chart->lastIndex(), 49);
    QCOMPARE(chart->yMax(), 5.5);
    QCOMPARE(chart->pixmap().toImage(), zoomedPicture.toImage());

    drag(chart.get(), origin + QPoint(300, 200), origin + QPoint(100, 100));
    QCOMPARE(chart->lastIndex(), 104);
    QCOMPARE(chart->yMax(), 550.0);
}

void TestDMMChart::newPointsWaitWhileDragging()
{
    auto chart = makeChart(600, 300, constant(100, 5.0));
    const QPoint origin = chart->plotRect().topLeft();

    QTest::mousePress(chart.get(), Qt::LeftButton, {}, origin + QPoint(300, 200));
    chart->addPoint(makePoints({7.0}, 100).first());
    QTest::mouseMove(chart.get(), origin + QPoint(200, 100));
    chart->repaint();
    QCOMPARE(chart->lastIndex(), 99);
    QTest::mouseRelease(chart.get(), Qt::LeftButton, {}, origin + QPoint(200, 100));
    chart->repaint();
    QCOMPARE(chart->lastIndex(), 100);
}

void TestDMMChart::clearEndsZoom()
{
    auto chart = makeChart(600, 300, constant(100, 5.0));
    const QPoint origin = chart->plotRect().topLeft();
    drag(chart.get(), origin + QPoint(300, 10), origin + QPoint(590, 200));
    QVERIFY(chart->zoomed());
    QCOMPARE(chart->lastIndex(), 98);
    QTest::mouseMove(chart.get(), origin + QPoint(580, 100));
    chart->repaint();
    QVERIFY(chart->indicatorVisible());

    // The next item is shorter than the zoom window was.
    chart->clear();
    chart->addPoints(makePoints(constant(5, 2.0)));
    chart->repaint();
    QVERIFY(!chart->zoomed());
    QCOMPARE(chart->firstIndex(), 0);
    QCOMPARE(chart->lastIndex(), 4);
    QVERIFY(!chart->indicatorVisible());
    QCOMPARE(chart->line(0)->pixelPointCount(), 5);

    chart->clear();
    chart->repaint();
    QCOMPARE(chart->lastIndex(), -1);
    QVERIFY(!chart->hasData());
}

void TestDMMChart::emptyChartIgnoresMouse()
{
    auto chart = makeChart(600, 300);
    const QImage before = chart->pixmap().toImage();
    QTest::mouseMove(chart.get(), QPoint(200, 100));
    QTest::mousePress(chart.get(), Qt::LeftButton, {}, QPoint(200, 100));
    QVERIFY(!chart->selecting());
    QTest::mouseMove(chart.get(), QPoint(400, 200));
    QTest::mouseRelease(chart.get(), Qt::LeftButton, {}, QPoint(400, 200));
    chart->repaint();
    QVERIFY(!chart->indicatorVisible());
    QVERIFY(!chart->zoomed());
    QCOMPARE(chart->pixmap().toImage(), before);
    // Without data the value axis has its baseline tick only.
    QCOMPARE(chart->yDivsUp(), 0);
    QCOMPARE(chart->yDivsDown(), 0);
    QCOMPARE(pixel(*chart, chart->plotRect().left() - 3, chart->baselineY()), Black);
}

void TestDMMChart::tinyPlotAreaPaintsAxesOnly()
{
    for (const QSize &size : {QSize(70, 60), QSize(80, 80), QSize(300, 75)}) {
        DMMChart chart;
        chart.setXTitle(QStringLiteral("Time"));
        chart.setYTitle(QStringLiteral("Thickness(μm)"));
        chart.resize(size);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        chart.addPoints(makePoints({3, 80, 12}));
        chart.repaint();
        QVERIFY(!chart.pixmap().isNull());
        QCOMPARE(chart.xScale(), 0.0);
        QCOMPARE(chart.yScale(), 0.0);
        QCOMPARE(chart.xDivs(), 0);
        QCOMPARE(chart.yDivsUp(), -1);
        QCOMPARE(chart.yDivsDown(), -1);

        QTest::mouseMove(&chart, QPoint(65, 45));
        QTest::mousePress(&chart, Qt::LeftButton, {}, QPoint(62, 42));
        QTest::mouseMove(&chart, QPoint(68, 58));
        QTest::mouseRelease(&chart, Qt::LeftButton, {}, QPoint(68, 58));
        chart.repaint();
        QVERIFY(!chart.pixmap().isNull());
        QVERIFY(chart.firstIndex() >= 0);
        QVERIFY(chart.lastIndex() <= 2);
    }
}

void TestDMMChart::renderedPicture()
{
    auto chart = makeChart(600, 300);
    chart->setXTitle(QStringLiteral("Time"));
    chart->setYTitle(QStringLiteral("Thickness(μm)"));
    QVector<double> values(300, 50.0);
    for (int i = 150; i < 300; ++i)
        values[i] = -20.0;
    chart->addPoints(makePoints(values));
    chart->repaint();

    const QRect plot = chart->plotRect();
    QCOMPARE(chart->yMin(), -22.0);
    QCOMPARE(chart->yMax(), 55.0);
    const int row50 = int(chart->baselineY() - chart->yScale() * 50);
    const int rowMinus20 = int(chart->baselineY() + chart->yScale() * 20);

    // White background, black axes one pixel outside the plot, the orange line on its rows.
    QCOMPARE(pixel(*chart, 5, 5), White);
    QCOMPARE(pixel(*chart, plot.left() + 2, plot.top() + 2), White);
    QCOMPARE(pixel(*chart, plot.left() - 1, plot.center().y()), Black);
    QCOMPARE(pixel(*chart, plot.center().x(), plot.bottom() + 1), Black);
    QCOMPARE(pixel(*chart, plot.left() + 100, row50), Orange);
    QCOMPARE(pixel(*chart, plot.left() + 100, row50 - 1), White);
    QCOMPARE(pixel(*chart, plot.left() + 500, rowMinus20), Orange);
    // The drop between points 149 and 150 is drawn across the rows between them.
    const int dropRow = (row50 + rowMinus20) / 2;
    QVERIFY(pixel(*chart, plot.left() + 298, dropRow) == Orange ||
            pixel(*chart, plot.left() + 299, dropRow) == Orange);

    // Titles: the time title centred under the plot, the value title in the left margin.
    const QImage image = chart->pixmap().toImage();
    const int h = QFontMetrics(chart->font()).height();
    QVERIFY(inkIn(image, QRect(plot.center().x() - 20, plot.bottom() + h + 2, 40, h)) > 10);
    QVERIFY(inkIn(image, QRect(0, plot.center().y() - 30, 20, 60)) > 10);
}

// Points 50 ("OL") and 70 ("-OL") of 100: no line runs through them, a marker stands at the top
// and the bottom edge, and the line goes on either side.
void TestDMMChart::overRangeBreaksTheLineAndMarksTheEdge()
{
    const double inf = std::numeric_limits<double>::infinity();
    QVector<double> values = constant(100, 47.0);
    values[50] = inf;
    values[70] = -inf;
    values[71] = -inf;
    auto chart = makeChart(600, 300, values);
    const QRect plot = chart->plotRect();
    QCOMPARE(chart->yMax(), 47.0 * 1.1);
    const int row47 = int(chart->baselineY() - chart->yScale() * 47);
    const QRgb red = qRgb(220, 0, 0);

    // 6 pixels per point: point k stands at plot.left() + 6k.
    QCOMPARE(pixel(*chart, plot.left() + 6 * 49, row47), Orange);
    QCOMPARE(pixel(*chart, plot.left() + 6 * 50, row47), White);
    QCOMPARE(pixel(*chart, plot.left() + 6 * 50 + 3, row47), White);
    QCOMPARE(pixel(*chart, plot.left() + 6 * 51, row47), Orange);
    QCOMPARE(pixel(*chart, plot.left() + 6 * 71, row47), White);
    QCOMPARE(pixel(*chart, plot.left() + 6 * 72 + 1, row47), Orange);
    // Nothing drops to the baseline.
    QCOMPARE(pixel(*chart, plot.left() + 6 * 50, chart->baselineY() - 1), White);

    QCOMPARE(chart->overRangeColumns(chart->line(0), true), QVector<int>{plot.left() + 6 * 50});
    QCOMPARE(chart->overRangeColumns(chart->line(0), false),
             (QVector<int>{plot.left() + 6 * 70, plot.left() + 6 * 71}));
    QCOMPARE(pixel(*chart, plot.left() + 6 * 50, plot.top() + 3), red);
    QCOMPARE(pixel(*chart, plot.left() + 6 * 70, plot.bottom() - 3), red);
    QCOMPARE(pixel(*chart, plot.left() + 6 * 30, plot.top() + 3), White);
    QCOMPARE(pixel(*chart, plot.left() + 6 * 30, plot.bottom() - 3), White);

    // Hovering over the over-range point shows its time and "OL".
    QTest::mouseMove(chart.get(), pointPosition(*chart, 50));
    chart->repaint();
    QCOMPARE(chart->indicatorIndex(), 50);
    QCOMPARE(ChartCursor::indicatorText(chart->line(0)->point(50)), QStringLiteral("OL"));
}

void TestDMMChart::overRangeIndicatorText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("in range") << 12.5 << "12.5\u03BCm Fe";
    QTest::newRow("OL") << std::numeric_limits<double>::infinity() << "OL";
    QTest::newRow("-OL") << -std::numeric_limits<double>::infinity() << "-OL";
}

void TestDMMChart::overRangeIndicatorText()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    const ChartPoint point(value, Start, QStringLiteral("12.5\u03BCm Fe"));
    QCOMPARE(ChartCursor::indicatorText(point), expected);
}

// A chart that was never shown composes its picture at its own size when asked to.
void TestDMMChart::renderPixmapWhileHidden()
{
    DMMChart hidden;
    hidden.resize(680, 380);
    hidden.addPoints(makePoints({10, 20, std::numeric_limits<double>::infinity(), 30}));
    QVERIFY(hidden.pixmap().isNull());
    hidden.renderPixmap();
    QCOMPARE(hidden.pixmap().size(), QSize(680, 380));
    QCOMPARE(hidden.plotRect(), QRect(60, 40, 600, 300));

    auto shown = makeChart(600, 300, {10, 20, std::numeric_limits<double>::infinity(), 30});
    QCOMPARE(hidden.pixmap().toImage(), shown->pixmap().toImage());
}

// A million points, then new points one by one, each drawn: the picture is the one a fresh chart
// draws from all of them at once. One point in fifty is over range.
void TestDMMChart::singleNewPointsEndInTheFreshPicture()
{
    const int count = 1000000;
    const int single = 40;
    const auto value = [](int i) {
        return i % 50 == 49 ? std::numeric_limits<double>::infinity()
                            : 120 + 25 * std::sin(i / 5000.0) + int(i * 7919LL % 13) - 6;
    };
    const auto point = [&](int i) {
        return new ChartPoint(value(i), Start.addSecs(i), QVariant());
    };
    DMMChart incremental;
    DMMChart fresh;
    for (DMMChart *chart : {&incremental, &fresh})
        chart->resize(1000, 600);
    QList<ChartPoint *> points;
    for (int i = 0; i < count - single; ++i)
        points.append(point(i));
    incremental.addPoints(points);
    incremental.renderPixmap();
    for (int i = count - single; i < count; ++i) {
        incremental.addPoint(point(i));
        incremental.renderPixmap();
    }
    points.clear();
    for (int i = 0; i < count; ++i)
        points.append(point(i));
    fresh.addPoints(points);
    fresh.renderPixmap();
    QCOMPARE(incremental.pointCount(), count);
    QCOMPARE(incremental.pixmap().toImage(), fresh.pixmap().toImage());
}

void TestDMMChart::savePixmapWritesFiles()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    DMMChart unpainted;
    QVERIFY(!unpainted.savePixmap(dir.filePath(QStringLiteral("never.png"))));

    auto chart = makeChart(600, 300, constant(100, 20.0));

    const QString png = dir.filePath(QStringLiteral("chart.png"));
    QVERIFY(chart->savePixmap(png));
    const QImage fromPng(png);
    QCOMPARE(fromPng.size(), chart->size());
    QCOMPARE(fromPng.convertToFormat(QImage::Format_RGB32),
             chart->pixmap().toImage().convertToFormat(QImage::Format_RGB32));

    const QString jpg = dir.filePath(QStringLiteral("chart.jpg"));
    QVERIFY(chart->savePixmap(jpg));
    QFile file(jpg);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.read(3), QByteArray("\xff\xd8\xff"));
    const QImage fromJpg(jpg);
    QCOMPARE(fromJpg.size(), chart->size());
    QVERIFY(qGray(fromJpg.pixel(5, 5)) > 240);

    QVERIFY(!chart->savePixmap(dir.filePath(QStringLiteral("missing/chart.png"))));
}

QTEST_MAIN(TestDMMChart)
#include "tst_dmmchart.moc"
