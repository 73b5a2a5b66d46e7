#pragma once

#include <QList>
#include <QString>

// The judgement of an item's readings against its requirement, with a reason for each failed
// criterion and the readings (numbered from 1, as in the table) that caused it.
struct CoatingVerdict
{
    enum State { NotJudged, Pending, Pass, Fail };

    struct Failure
    {
        QString text;
        // The first readings that caused the failure, at most CoatingEvaluator::MaxListed.
        QList<int> readings;
        // All readings that caused it; 0 when the criterion is about the readings as a whole.
        int readingCount = 0;
    };

    State state = NotJudged;
    QList<Failure> failures;
    // What a pending verdict waits for.
    QString pending;
    int overRange = 0;

    // "PASS", "FAIL", "PENDING" or empty when there is no requirement.
    QString stateText() const;
    // The state with the first reason, as the live panel shows it.
    QString headline() const;
    // "No. 3, 7, 12 and 5 more" for a failure's readings; empty when it lists none.
    static QString readingList(const Failure &failure);
};
