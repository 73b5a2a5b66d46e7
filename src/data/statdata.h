#pragma once

#include <QString>

// Summary of an item's readings; the texts are ready to show beside "Num:", "Avg:", "Min:", "Max:".
// num counts every reading; the average, minimum and maximum are over the in-range readings only,
// and overRange counts the others ("OL" and "-OL").
struct StatData
{
    int num = 0;
    QString avg = QStringLiteral("0");
    QString min = QStringLiteral("0");
    QString max = QStringLiteral("0");
    int overRange = 0;
};
