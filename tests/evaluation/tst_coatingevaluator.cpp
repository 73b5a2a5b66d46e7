#include <QtTest>

#include "coatingevaluator.h"
#include "coatingrequirement.h"
#include "coatingrule.h"
#include "coatingrules.h"
#include "dmmdata.h"

Q_DECLARE_METATYPE(CoatingRequirement)
Q_DECLARE_METATYPE(CoatingVerdict::State)

namespace {

const QString Micrometre = QStringLiteral("\u03BCm");
const QString Mil = QStringLiteral("mil");

CoatingRequirement limits(double minimum, double maximum, const QString &unit = Micrometre)
{
    CoatingRequirement requirement(QStringLiteral("limits"), unit);
    requirement.setValue(QStringLiteral("minimum"), minimum);
    requirement.setValue(QStringLiteral("maximum"), maximum);
    return requirement;
}

CoatingRequirement iso(double nominal, double maximum = 0.0, double roughness = 0.0,
                       const QString &unit = Micrometre)
{
    CoatingRequirement requirement(QStringLiteral("iso19840"), unit);
    requirement.setValue(QStringLiteral("nominal"), nominal);
    if (maximum > 0.0)
        requirement.setValue(QStringLiteral("maximum"), maximum);
    requirement.setValue(QStringLiteral("roughness"), roughness);
    return requirement;
}

CoatingRequirement sspc(double minimum, double maximum, int perSpot = 3, int perArea = 5)
{
    CoatingRequirement requirement(QStringLiteral("sspcpa2"), Micrometre);
    requirement.setValue(QStringLiteral("minimum"), minimum);
    requirement.setValue(QStringLiteral("maximum"), maximum);
    requirement.setValue(QStringLiteral("readingsPerSpot"), perSpot);
    requirement.setValue(QStringLiteral("spotsPerArea"), perArea);
    return requirement;
}

CoatingRequirement pspc(double nominal, double maximum = 0.0, const QString &unit = Micrometre)
{
    CoatingRequirement requirement(QStringLiteral("imopspc"), unit);
    requirement.setValue(QStringLiteral("nominal"), nominal);
    if (maximum > 0.0)
        requirement.setValue(QStringLiteral("maximum"), maximum);
    return requirement;
}

// "120 OL x3 -OL X" -> readings; "OL" and "-OL" are over range, "v xN" repeats v N times, "X" is
// a reading the inspector excluded.
void feed(CoatingEvaluator *evaluator, const QString &readings)
{
    double value = 0.0;
    bool overRange = false;
    for (const QString &word : readings.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (word == QLatin1String("X")) {
            evaluator->addExcluded();
            continue;
        }
        if (word.startsWith(QLatin1Char('x'))) {
            for (int r = 1; r < word.mid(1).toInt(); ++r)
                evaluator->add(value, overRange);
            continue;
        }
        overRange = word.endsWith(QLatin1String("OL"));
        value = overRange ? 0.0 : word.toDouble();
        evaluator->add(value, overRange);
    }
}

// One character per reading: . unmarked, L low, H high, n below the nominal, O over range, X
// excluded.
QString marks(const CoatingEvaluator &evaluator)
{
    static const char letters[] = {'.', 'L', 'H', 'n', 'O', 'X'};
    QString text;
    for (int i = 0; i < evaluator.readingCount(); ++i)
        text += QLatin1Char(letters[evaluator.mark(i)]);
    return text;
}

} // namespace

class TestCoatingEvaluator : public QObject
{
    Q_OBJECT

private slots:
    void verdict_data();
    void verdict();
    void failureListsTheFirstReadingsOnly();
    void readingsAreJudgedInTheRequirementsUnit();
    void problem_data();
    void problem();
    void conversion();
    void lines_data();
    void lines();
    void describe_data();
    void describe();
    void valuesAreThoseOfTheRule();
    void rulesAreRegistered();
    void noRequirementJudgesNothing();
};

void TestCoatingEvaluator::verdict_data()
{
    QTest::addColumn<CoatingRequirement>("requirement");
    QTest::addColumn<QString>("readings");
    QTest::addColumn<CoatingVerdict::State>("state");
    QTest::addColumn<QString>("headline");
    QTest::addColumn<int>("failures");
    QTest::addColumn<QString>("marks");
    QTest::addColumn<int>("overRange");

    const auto Pass = CoatingVerdict::Pass;
    const auto Fail = CoatingVerdict::Fail;
    const auto Pending = CoatingVerdict::Pending;
    const QString mil = Mil;

    QTest::newRow("limits, none yet")
        << limits(100, 200) << "" << Pending << "PENDING: no readings yet" << 0 << "" << 0;
    QTest::newRow("limits, on both limits")
        << limits(100, 200) << "100 150 200" << Pass << "PASS" << 0 << "..." << 0;
    QTest::newRow("limits, below")
        << limits(100, 200) << "150 99.9 150" << Fail
        << QString("FAIL: 1 reading below the minimum 100.0 " + Micrometre) << 1 << ".L." << 0;
    QTest::newRow("limits, above and below")
        << limits(100, 200) << "200.1 50 250" << Fail
        << QString("FAIL: 1 reading below the minimum 100.0 " + Micrometre) << 2 << "HLH" << 0;
    QTest::newRow("limits, over range counted, not judged")
        << limits(100, 200) << "150 OL -OL" << Pass << "PASS" << 0 << ".OO" << 2;
    QTest::newRow("limits, only over range")
        << limits(100, 200) << "OL" << Pending << "PENDING: no readings in range" << 0 << "O" << 1;
    QTest::newRow("limits, an excluded reading is not judged")
        << limits(100, 200) << "150 X 150" << Pass << "PASS" << 0 << ".X." << 0;
    QTest::newRow("limits, every reading excluded")
        << limits(100, 200) << "X X" << Pending << "PENDING: no readings in range" << 0 << "XX"
        << 0;
    QTest::newRow("limits, excluded and over range only")
        << limits(100, 200) << "X OL" << Pending << "PENDING: no readings in range" << 0 << "XO"
        << 1;
    QTest::newRow("limits, mil on the limits")
        << limits(3.94, 7.87, mil) << "3.94 7.87" << Pass << "PASS" << 0 << ".." << 0;
    QTest::newRow("limits, mil below")
        << limits(3.94, 7.87, mil) << "3.93" << Fail << "FAIL: 1 reading below the minimum 3.94 mil"
        << 1 << "L" << 0;

    QTest::newRow("iso, only over range")
        << iso(100) << "OL" << Pending << "PENDING: no readings in range" << 0 << "O" << 1;
    QTest::newRow("iso, an excluded reading is not judged")
        << iso(100, 300) << "X 120" << Pass << "PASS" << 0 << "X." << 0;
    QTest::newRow("iso, exactly 80 %")
        << iso(100, 300) << "80 120 x5" << Pass << "PASS" << 0 << "n....." << 0;
    QTest::newRow("iso, below 80 %")
        << iso(100, 300) << "79.9 125 x5" << Fail
        << QString("FAIL: 1 reading below 80 % of the NDFT (80.0 " + Micrometre + ")") << 1
        << "L....." << 0;
    QTest::newRow("iso, exactly 20 % below the NDFT")
        << iso(100) << "90 110 x4" << Fail
        << QString("FAIL: 1 of 5 readings (20 %) below the NDFT 100.0 " + Micrometre +
                   "; fewer than 20 % may be")
        << 1 << "n...." << 0;
    QTest::newRow("iso, under 20 % below the NDFT")
        << iso(100) << "90 110 x5" << Pass << "PASS" << 0 << "n....." << 0;
    QTest::newRow("iso, mean below the NDFT")
        << iso(100) << "80 100 x9" << Fail
        << QString("FAIL: mean 98.0 " + Micrometre + " below the NDFT 100.0 " + Micrometre) << 1
        << "n........." << 0;
    // Shown with one decimal the mean would read as the NDFT itself.
    QTest::newRow("iso, mean just below the NDFT")
        << iso(100) << "99.96 99.97 100 x3" << Fail
        << QString("FAIL: mean 99.99 " + Micrometre + " below the NDFT 100.0 " + Micrometre) << 2
        << "nn..." << 0;
    QTest::newRow("iso, above the maximum")
        << iso(100, 300) << "120 300.1 120 x3" << Fail
        << QString("FAIL: 1 reading above the maximum 300.0 " + Micrometre) << 1 << ".H..." << 0;
    QTest::newRow("iso, on the maximum")
        << iso(100, 300) << "120 300" << Pass << "PASS" << 0 << ".." << 0;
    QTest::newRow("iso, no maximum set")
        << iso(100) << "120 900" << Pass << "PASS" << 0 << ".." << 0;
    QTest::newRow("iso, roughness subtracted, exactly 80 %")
        << iso(100, 0, 25) << "105 130 x5" << Pass << "PASS" << 0 << "n....." << 0;
    QTest::newRow("iso, roughness subtracted, below 80 %")
        << iso(100, 0, 25) << "104.9 130 x5" << Fail
        << QString("FAIL: 1 reading below 80 % of the NDFT (80.0 " + Micrometre +
                   ") (readings less 25.0 " + Micrometre + " roughness)")
        << 1 << "L....." << 0;
    QTest::newRow("iso, mil exactly 80 %")
        << iso(4.72, 0, 0, mil) << "3.776 5 x5" << Pass << "PASS" << 0 << "n....." << 0;
    QTest::newRow("iso, over range not judged")
        << iso(100, 300) << "-OL 120 OL" << Pass << "PASS" << 0 << "O.O" << 2;

    QTest::newRow("sspc, unfinished spot")
        << sspc(100, 200) << "100 100" << Pending
        << "PENDING: area 1: 0 of 5 spots, spot 1: 2 of 3 readings" << 0 << ".." << 0;
    QTest::newRow("sspc, one area")
        << sspc(100, 200) << "150 x15" << Pass << "PASS" << 0 << "..............." << 0;
    QTest::newRow("sspc, next area pending")
        << sspc(100, 200) << "150 x16" << Pending
        << "PENDING: area 2: 0 of 5 spots, spot 6: 1 of 3 readings" << 0 << "................" << 0;
    QTest::newRow("sspc, spot exactly 80 % of the minimum")
        << sspc(100, 200) << "70 80 90 150 x12" << Pass << "PASS" << 0 << "..............." << 0;
    QTest::newRow("sspc, spot exactly 120 % of the maximum")
        << sspc(100, 200) << "240 x3 150 x12" << Pass << "PASS" << 0 << "..............." << 0;
    QTest::newRow("sspc, spot below")
        << sspc(100, 200) << "60 70 80" << Fail
        << QString("FAIL: spot 1 mean 70.0 " + Micrometre + " below 80 % of the minimum (80.0 " +
                   Micrometre + ")")
        << 1 << "LLL" << 0;
    QTest::newRow("sspc, spot above, twice")
        << sspc(100, 200) << "150 x3 250 x6" << Fail
        << QString("FAIL: spot 2 mean 250.0 " + Micrometre + " above 120 % of the maximum (240.0 " +
                   Micrometre + ") (2 spots in all)")
        << 1 << "...HHHHHH" << 0;
    QTest::newRow("sspc, area below") << sspc(100, 200) << "95 x15" << Fail
                                      << QString("FAIL: area 1 mean 95.0 " + Micrometre +
                                                 " below the minimum 100.0 " + Micrometre)
                                      << 1 << "LLLLLLLLLLLLLLL" << 0;
    QTest::newRow("sspc, over range skipped in the spots")
        << sspc(100, 200) << "150 OL 150 150" << Pending
        << "PENDING: area 1: 1 of 5 spots, spot 2: 0 of 3 readings" << 0 << ".O.." << 1;
    QTest::newRow("sspc, an excluded reading does not fill a spot")
        << sspc(100, 200) << "150 X 150" << Pending
        << "PENDING: area 1: 0 of 5 spots, spot 1: 2 of 3 readings" << 0 << ".X." << 0;
    QTest::newRow("sspc, the next reading fills the spot")
        << sspc(100, 200) << "150 X 150 150" << Pending
        << "PENDING: area 1: 1 of 5 spots, spot 2: 0 of 3 readings" << 0 << ".X.." << 0;
    QTest::newRow("sspc, a spot is judged without its excluded reading")
        << sspc(100, 200) << "150 X 150 150 x13" << Pass << "PASS" << 0 << ".X.............." << 0;
    QTest::newRow("sspc, only over range: no spot is begun")
        << sspc(100, 200) << "OL -OL" << Pending << "PENDING: no readings in range" << 0 << "OO"
        << 2;
    QTest::newRow("sspc, small spots and areas")
        << sspc(100, 200, 1, 2) << "150 150" << Pass << "PASS" << 0 << ".." << 0;

    QTest::newRow("pspc, none yet")
        << pspc(100) << "" << Pending << "PENDING: no readings yet" << 0 << "" << 0;
    QTest::newRow("pspc, only over range")
        << pspc(100) << "OL" << Pending << "PENDING: no readings in range" << 0 << "O" << 1;
    QTest::newRow("pspc, an excluded reading is not one of the 10")
        << pspc(100) << "95 X 100 x9" << Pass << "PASS" << 0 << "nX........." << 0;
    QTest::newRow("pspc, 1 of 10 below the NDFT, above 90 %")
        << pspc(100) << "95 100 x9" << Pass << "PASS" << 0 << "n........." << 0;
    QTest::newRow("pspc, 2 of 10 below the NDFT")
        << pspc(100) << "95 100 x8 99" << Fail
        << QString("FAIL: 2 of 10 readings (20 %) below the NDFT 100.0 " + Micrometre +
                   "; at most 10 % may be")
        << 1 << "n........n" << 0;
    QTest::newRow("pspc, 10 of 100 below the NDFT")
        << pspc(100) << "95 x10 100 x90" << Pass << "PASS" << 0
        << QString(10, 'n') + QString(90, '.') << 0;
    QTest::newRow("pspc, 11 of 100 below the NDFT")
        << pspc(100) << "95 x11 100 x89" << Fail
        << QString("FAIL: 11 of 100 readings (11 %) below the NDFT 100.0 " + Micrometre +
                   "; at most 10 % may be")
        << 1 << QString(11, 'n') + QString(89, '.') << 0;
    QTest::newRow("pspc, exactly 90 %")
        << pspc(100) << "90 100 x9" << Pass << "PASS" << 0 << "n........." << 0;
    QTest::newRow("pspc, below 90 %")
        << pspc(100) << "89.9 100 x9" << Fail
        << QString("FAIL: 1 reading below 90 % of the NDFT (90.0 " + Micrometre + ")") << 1
        << "L........." << 0;
    QTest::newRow("pspc, above the maximum")
        << pspc(100, 200) << "150 200.1 150" << Fail
        << QString("FAIL: 1 reading above the maximum 200.0 " + Micrometre) << 1 << ".H." << 0;
    QTest::newRow("pspc, on the maximum")
        << pspc(100, 200) << "100 200" << Pass << "PASS" << 0 << ".." << 0;
    QTest::newRow("pspc, no maximum set")
        << pspc(100) << "100 900" << Pass << "PASS" << 0 << ".." << 0;
    QTest::newRow("pspc, every criterion broken")
        << pspc(100, 200) << "80 80 300" << Fail
        << QString("FAIL: 2 readings below 90 % of the NDFT (90.0 " + Micrometre + ")") << 3
        << "LLH" << 0;
    QTest::newRow("pspc, over range not judged")
        << pspc(100, 200) << "-OL 120 OL" << Pass << "PASS" << 0 << "O.O" << 2;
    QTest::newRow("pspc, mil exactly 90 %")
        << pspc(4.72, 0, mil) << "4.248 4.72 x9" << Pass << "PASS" << 0 << "n........." << 0;
    QTest::newRow("pspc, mil below 90 %")
        << pspc(4.72, 0, mil) << "4.24 4.72 x9" << Fail
        << "FAIL: 1 reading below 90 % of the NDFT (4.25 mil)" << 1 << "L........." << 0;
}

void TestCoatingEvaluator::verdict()
{
    QFETCH(CoatingRequirement, requirement);
    QFETCH(QString, readings);
    QVERIFY2(requirement.problem().isEmpty(), qPrintable(requirement.problem()));
    CoatingEvaluator evaluator(requirement);
    feed(&evaluator, readings);
    const CoatingVerdict verdict = evaluator.verdict();
    QTEST(verdict.state, "state");
    QTEST(evaluator.state(), "state");
    QTEST(verdict.headline(), "headline");
    QTEST(verdict.failures.size(), "failures");
    QTEST(marks(evaluator), "marks");
    QTEST(verdict.overRange, "overRange");
}

void TestCoatingEvaluator::failureListsTheFirstReadingsOnly()
{
    CoatingEvaluator evaluator(limits(100, 200));
    feed(&evaluator, "150 50 x25");
    const CoatingVerdict verdict = evaluator.verdict();
    QCOMPARE(verdict.failures.size(), 1);
    QCOMPARE(verdict.failures.first().readingCount, 25);
    QCOMPARE(verdict.failures.first().readings.size(), CoatingEvaluator::MaxListed);
    QCOMPARE(verdict.failures.first().readings.first(), 2);
    QCOMPARE(CoatingVerdict::readingList(verdict.failures.first()),
             QStringLiteral("No. 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, "
                            "20, 21 and 5 more"));
}

void TestCoatingEvaluator::readingsAreJudgedInTheRequirementsUnit()
{
    DmmData reading;
    reading.setUmValue(99.0);
    reading.setMilValue(5.0);
    CoatingEvaluator micrometres(limits(100, 200));
    micrometres.add(reading);
    QCOMPARE(micrometres.mark(0), CoatingEvaluator::Low);
    CoatingEvaluator mils(limits(3.94, 7.87, Mil));
    mils.add(reading);
    QCOMPARE(mils.mark(0), CoatingEvaluator::Unmarked);
    reading.setOverload(-1);
    mils.add(reading);
    QCOMPARE(mils.mark(1), CoatingEvaluator::OverRange);
    QCOMPARE(mils.overRangeCount(), 1);
    QCOMPARE(mils.mark(2), CoatingEvaluator::Unmarked);
}

void TestCoatingEvaluator::problem_data()
{
    QTest::addColumn<CoatingRequirement>("requirement");
    QTest::addColumn<bool>("valid");

    QTest::newRow("none") << CoatingRequirement() << true;
    QTest::newRow("limits") << limits(100, 200) << true;
    QTest::newRow("limits, equal") << limits(100, 100) << true;
    QTest::newRow("limits, from 0") << limits(0, 100) << true;
    QTest::newRow("limits, minimum above maximum") << limits(201, 200) << false;
    QTest::newRow("limits, negative") << limits(-1, 200) << false;
    QTest::newRow("limits, no room") << limits(0, 0) << false;
    QTest::newRow("limits, not a number") << limits(qQNaN(), 200) << false;
    CoatingRequirement nominal = limits(100, 200);
    nominal.setValue(QStringLiteral("nominal"), 150);
    QTest::newRow("limits, nominal inside") << nominal << true;
    nominal.setValue(QStringLiteral("nominal"), 250);
    QTest::newRow("limits, nominal outside") << nominal << false;
    QTest::newRow("iso") << iso(100, 300, 25) << true;
    QTest::newRow("iso, NDFT 0") << iso(0) << false;
    QTest::newRow("iso, maximum below NDFT") << iso(100, 99) << false;
    QTest::newRow("iso, roughness as thick as the coat") << iso(100, 0, 100) << false;
    QTest::newRow("iso, negative roughness") << iso(100, 0, -10) << false;
    CoatingRequirement noNominal = iso(100);
    noNominal.clearValue(QStringLiteral("nominal"));
    QTest::newRow("iso, NDFT left empty") << noNominal << false;
    CoatingRequirement spot = sspc(100, 200);
    QTest::newRow("sspc") << spot << true;
    spot.setValue(QStringLiteral("spotLowerPercent"), 1);
    spot.setValue(QStringLiteral("spotUpperPercent"), 1000);
    QTest::newRow("sspc, percentages 1 and 1000") << spot << true;
    spot.setValue(QStringLiteral("spotLowerPercent"), 0.5);
    QTest::newRow("sspc, percentage below 1") << spot << false;
    spot.setValue(QStringLiteral("spotLowerPercent"), 80);
    spot.setValue(QStringLiteral("spotUpperPercent"), 1001);
    QTest::newRow("sspc, percentage above 1000") << spot << false;
    spot.setValue(QStringLiteral("spotUpperPercent"), 10);
    QTest::newRow("sspc, restriction without room") << spot << false;
    QTest::newRow("sspc, no readings per spot") << sspc(100, 200, 0) << false;
    QTest::newRow("sspc, no spots per area") << sspc(100, 200, 3, 0) << false;
    QTest::newRow("sspc, minimum above maximum") << sspc(300, 200) << false;
    QTest::newRow("pspc") << pspc(100) << true;
    QTest::newRow("pspc, maximum equal to NDFT") << pspc(100, 100) << true;
    QTest::newRow("pspc, NDFT 0") << pspc(0) << false;
    QTest::newRow("pspc, NDFT not a number") << pspc(qQNaN()) << false;
    QTest::newRow("pspc, maximum below NDFT") << pspc(100, 99) << false;
    noNominal = pspc(100);
    noNominal.clearValue(QStringLiteral("nominal"));
    QTest::newRow("pspc, NDFT left empty") << noNominal << false;
}

void TestCoatingEvaluator::problem()
{
    QFETCH(CoatingRequirement, requirement);
    QFETCH(bool, valid);
    QCOMPARE(requirement.problem().isEmpty(), valid);
}

void TestCoatingEvaluator::conversion()
{
    const CoatingRequirement micrometres = iso(120, 360, 25);
    const CoatingRequirement mils = micrometres.convertedTo(Mil);
    QCOMPARE(mils.unit(), Mil);
    QCOMPARE(mils.value("nominal"), 4.72);
    QCOMPARE(mils.value("maximum"), 14.17);
    QCOMPARE(mils.value("roughness"), 0.98);
    QCOMPARE(mils.format(mils.value("nominal")), QStringLiteral("4.72 mil"));
    const CoatingRequirement back = mils.convertedTo(Micrometre);
    QCOMPARE(back.value("nominal"), 119.9);
    QCOMPARE(micrometres.convertedTo(Micrometre), micrometres);
    QVERIFY(back != micrometres);
    const CoatingRequirement spots = sspc(100, 200).convertedTo(Mil);
    QCOMPARE(spots.value("minimum"), 3.94);
    QCOMPARE(spots.value("readingsPerSpot"), 3.0);
    QCOMPARE(spots.value("spotUpperPercent"), 120.0);
    QCOMPARE(pspc(120).convertedTo(Mil), pspc(4.72, 0, Mil));
}

void TestCoatingEvaluator::lines_data()
{
    QTest::addColumn<CoatingRequirement>("requirement");
    // "value kind label" per line, kind L for a limit, N for a nominal and S for a spot line.
    QTest::addColumn<QString>("lines");

    QTest::newRow("none") << CoatingRequirement() << "";
    QTest::newRow("limits") << limits(100, 200) << "100 L Min|200 L Max";
    CoatingRequirement nominal = limits(100, 200);
    nominal.setValue(QStringLiteral("nominal"), 150);
    QTest::newRow("limits with nominal") << nominal << "100 L Min|200 L Max|150 N Nominal";
    QTest::newRow("iso") << iso(100, 300, 25) << "105 L 80% NDFT|325 L Max|125 N NDFT";
    QTest::newRow("iso without maximum") << iso(100) << "80 L 80% NDFT|100 N NDFT";
    QTest::newRow("sspc") << sspc(100, 200) << "100 L Min|200 L Max|80 S Spot min|240 S Spot max";
    QTest::newRow("pspc") << pspc(100, 200) << "90 L 90% NDFT|200 L Max|100 N NDFT";
    QTest::newRow("pspc without maximum, mil")
        << pspc(4.72, 0, Mil) << "4.248 L 90% NDFT|4.72 N NDFT";
}

void TestCoatingEvaluator::lines()
{
    QFETCH(CoatingRequirement, requirement);
    static const char kinds[] = {'L', 'N', 'S'};
    QStringList lines;
    for (const CoatingRequirement::Line &line : requirement.lines())
        lines << QStringLiteral("%1 %2 %3")
                     .arg(QString::number(line.value), QString(QLatin1Char(kinds[line.kind])),
                          line.label);
    QTEST(lines.join(QLatin1Char('|')), "lines");
}

void TestCoatingEvaluator::describe_data()
{
    QTest::addColumn<CoatingRequirement>("requirement");
    // "label: value" per row of the report.
    QTest::addColumn<QString>("rows");

    const QString um = QLatin1Char(' ') + Micrometre;
    QTest::newRow("none") << CoatingRequirement() << "Rule: None";
    QTest::newRow("limits") << limits(100, 200)
                            << "Rule: Minimum and maximum|Minimum: 100.0" + um + "|Maximum: 200.0" +
                                   um;
    CoatingRequirement nominal = limits(100, 200);
    nominal.setValue(QStringLiteral("nominal"), 150);
    QTest::newRow("limits with nominal") << nominal
                                         << "Rule: Minimum and maximum|Nominal (NDFT): 150.0" + um +
                                                "|Minimum: 100.0" + um + "|Maximum: 200.0" + um;
    QTest::newRow("iso") << iso(100, 0, 25)
                         << "Rule: ISO 19840|Nominal (NDFT): 100.0" + um +
                                "|Maximum: none|Roughness correction: 25.0" + um;
    QTest::newRow("sspc") << sspc(100, 200)
                          << "Rule: SSPC-PA 2|Minimum: 100.0" + um + "|Maximum: 200.0" + um +
                                 "|Readings per spot: 3|Spots per area: 5|Spot restriction: 80 % "
                                 "of the minimum (80.0" +
                                 um + ") to 120 % of the maximum (240.0" + um + ")";
    QTest::newRow("pspc") << pspc(4.72, 14.17, Mil)
                          << "Rule: IMO PSPC 90/10|Nominal (NDFT): 4.72 mil|Maximum: 14.17 mil";
    QTest::newRow("pspc without maximum")
        << pspc(100) << "Rule: IMO PSPC 90/10|Nominal (NDFT): 100.0" + um + "|Maximum: none";
}

void TestCoatingEvaluator::describe()
{
    QFETCH(CoatingRequirement, requirement);
    QStringList rows;
    for (const auto &row : requirement.describe())
        rows << row.first + QStringLiteral(": ") + row.second;
    QTEST(rows.join(QLatin1Char('|')), "rows");
}

void TestCoatingEvaluator::valuesAreThoseOfTheRule()
{
    const CoatingRequirement original = limits(100, 200);
    CoatingRequirement copy = original;
    copy.setValue(QStringLiteral("minimum"), 120);
    QCOMPARE(original.value("minimum"), 100.0);
    QCOMPARE(copy.value("minimum"), 120.0);
    QVERIFY(copy != original);
    // A key of another rule changes nothing.
    copy.setValue(QStringLiteral("roughness"), 25);
    QVERIFY(!copy.has("roughness"));
    QCOMPARE(copy.value("roughness"), 0.0);
    QVERIFY(!copy.has("nominal"));
    copy.setValue(QStringLiteral("nominal"), 150);
    QVERIFY(copy.has("nominal"));
    copy.clearValue(QStringLiteral("nominal"));
    QVERIFY(!copy.has("nominal"));
    QCOMPARE(copy.value("nominal"), 0.0);
    QVERIFY(!CoatingRequirement(QStringLiteral("iso12944"), Micrometre).isSet());
    QCOMPARE(CoatingRequirement().ruleKey(), QString());
    QCOMPARE(pspc(100).ruleKey(), QStringLiteral("imopspc"));
}

void TestCoatingEvaluator::rulesAreRegistered()
{
    QStringList keys;
    QStringList names;
    QHash<QString, CoatingRule::Field> byKey;
    for (const CoatingRule *rule : CoatingRules::all()) {
        QCOMPARE(CoatingRules::indexOf(rule->key()), keys.size());
        keys << rule->key();
        names << rule->name();
        QCOMPARE(CoatingRules::create(rule->key())->key(), rule->key());
        QCOMPARE(rule->unit(), Micrometre);
        // Rules that share a key mean the same value by it, as the dialog and the workspace do.
        for (const CoatingRule::Field &field : rule->fields()) {
            const CoatingRule::Field first = byKey.value(field.key, field);
            QCOMPARE(field.name, first.name);
            QCOMPARE(field.kind, first.kind);
            QCOMPARE(field.initial, first.initial);
            byKey.insert(field.key, first);
        }
    }
    QCOMPARE(keys, QStringList({"limits", "iso19840", "sspcpa2", "imopspc"}));
    QCOMPARE(names,
             QStringList({"Minimum and maximum", "ISO 19840", "SSPC-PA 2", "IMO PSPC 90/10"}));
    QCOMPARE(CoatingRules::indexOf(QStringLiteral("iso12944")), -1);
    QVERIFY(!CoatingRules::create(QStringLiteral("iso12944")));
}

void TestCoatingEvaluator::noRequirementJudgesNothing()
{
    CoatingEvaluator evaluator;
    feed(&evaluator, "10 OL 2000");
    QCOMPARE(evaluator.state(), CoatingVerdict::NotJudged);
    QVERIFY(evaluator.verdict().headline().isEmpty());
    QCOMPARE(marks(evaluator), QStringLiteral(".O."));
}

QTEST_GUILESS_MAIN(TestCoatingEvaluator)
#include "tst_coatingevaluator.moc"
