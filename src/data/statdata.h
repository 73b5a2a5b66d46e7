#pragma once

#include <QString>

// Summary of an item's readings; the texts are ready to show beside "Num:", "Avg:", "Min:", "Max:",
// "SD:" (the sample standard deviation) and "CV:" (the coefficient of variation, with "%").
// num counts every reading taken; the average, minimum, maximum and spread are over the in-range
// readings that are not excluded, overRange counts the others ("OL" and "-OL") and excluded
// those the inspector left out. With every reading excluded, avg, min and max read "-".
struct StatData
{
    int num = 0;
    QString avg = QStringLiteral("0");
    QString min = QStringLiteral("0");
    QString max = QStringLiteral("0");
    int overRange = 0;
    int excluded = 0;
    // "-" while there are fewer than two in-range values, or, for cv, no mean above 0.
    QString sd = QStringLiteral("-");
    QString cv = QStringLiteral("-");
};
