#pragma once

#include <QString>

// Summary of an item's readings; the texts are ready to show beside "Num:", "Avg:", "Min:", "Max:",
// "SD:" (the sample standard deviation) and "CV:" (the coefficient of variation, with "%").
// num counts every reading; the average, minimum, maximum and spread are over the in-range
// readings only, and overRange counts the others ("OL" and "-OL").
struct StatData
{
    int num = 0;
    QString avg = QStringLiteral("0");
    QString min = QStringLiteral("0");
    QString max = QStringLiteral("0");
    int overRange = 0;
    // "-" while there are fewer than two in-range values, or, for cv, no mean above 0.
    QString sd = QStringLiteral("-");
    QString cv = QStringLiteral("-");
};
