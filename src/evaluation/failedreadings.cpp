#include "failedreadings.h"

#include "coatingevaluator.h"

void FailedReadings::add(int index)
{
    ++count;
    note(index);
}

void FailedReadings::note(int index)
{
    ++readingCount;
    if (readings.size() < CoatingEvaluator::MaxListed)
        readings.append(index + 1);
}

CoatingVerdict::Failure FailedReadings::failure(const QString &text) const
{
    return {text, readings, readingCount};
}
