// Prints what judging a reading costs: each rule's evaluator fed an item of readings, then the
// time of one more reading (the evaluator's add() and the verdict the live panel shows after it),
// and the same through ItemData::appendReading, which also updates the statistics.
//
// Usage: bench_evaluation [readingsHeld [timedReadings]]

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "benchsupport.h"
#include "coatingevaluator.h"
#include "coatingrule.h"
#include "coatingrules.h"
#include "dmmdata.h"
#include "itemdata.h"

namespace {

constexpr quint32 Seed = 6814;

// The same values for every rule; each takes those of its fields.
CoatingRequirement requirement(const CoatingRule *rule)
{
    CoatingRequirement requirement(rule->key(), QStringLiteral("\u03BCm"));
    requirement.setValue(QStringLiteral("nominal"), 120.0);
    requirement.setValue(QStringLiteral("minimum"), 100.0);
    requirement.setValue(QStringLiteral("maximum"), 200.0);
    requirement.setValue(QStringLiteral("roughness"), 25.0);
    return requirement;
}

// Readings scattered around 125 um; the callers make one in fifty over range.
std::vector<double> thicknesses(int count, std::mt19937 &random)
{
    std::normal_distribution<double> thickness(125.0, 10.0);
    std::vector<double> values(static_cast<size_t>(count));
    for (double &value : values)
        value = thickness(random);
    return values;
}

void print(const char *what, const std::vector<double> &ns)
{
    const bench::Figures f = bench::summarise(ns);
    std::printf("  %-34s median %7.3f  90th percentile %7.3f  worst %8.3f us\n", what,
                f.median / 1e3, f.p90 / 1e3, f.worst / 1e3);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int held = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    const int timed = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 10000;
    std::mt19937 random(Seed);
    const std::vector<double> before = thicknesses(held, random);
    const std::vector<double> after = thicknesses(timed, random);

    std::printf("one more reading into %d readings, %d times\n", held, timed);
    for (const CoatingRule *rule : CoatingRules::all()) {
        std::printf("%s\n", qPrintable(rule->name()));
        CoatingEvaluator evaluator(requirement(rule));
        for (size_t i = 0; i < before.size(); ++i)
            evaluator.add(before[i], i % 50 == 49);
        std::vector<double> addNs;
        std::vector<double> verdictNs;
        QElapsedTimer clock;
        for (size_t i = 0; i < after.size(); ++i) {
            clock.start();
            evaluator.add(after[i], i % 50 == 49);
            addNs.push_back(double(clock.nsecsElapsed()));
            clock.start();
            const CoatingVerdict verdict = evaluator.verdict();
            verdictNs.push_back(double(clock.nsecsElapsed()));
            if (verdict.state == CoatingVerdict::NotJudged)
                return 1;
        }
        print("evaluator add()", addNs);
        print("verdict() with its texts", verdictNs);

        ItemData item(QStringLiteral("Measure1"), ItemData::MeasureData);
        item.setUnit(QStringLiteral("\u03BCm"));
        item.setRequirement(requirement(rule));
        const auto reading = [](double um) {
            auto *data = new DmmData;
            data->setUmValue(um);
            data->setMilValue(um / 25.4);
            return data;
        };
        for (double value : before)
            item.appendReading(reading(value), false);
        item.updateStatistics();
        std::vector<double> appendNs;
        for (double value : after) {
            DmmData *data = reading(value);
            clock.start();
            item.appendReading(data, true);
            const CoatingVerdict verdict = item.evaluation().verdict();
            appendNs.push_back(double(clock.nsecsElapsed()));
            if (verdict.state == CoatingVerdict::NotJudged)
                return 1;
        }
        print("item: append, statistics, verdict", appendNs);
    }
    return 0;
}
