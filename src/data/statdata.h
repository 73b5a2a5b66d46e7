#pragma once

#include <QString>

// Summary of an item's readings; the texts are ready to show beside "Num:", "Avg:", "Min:", "Max:",
// "SD:" (the sample standard deviation) and "CV:" (the coefficient of variation, with "%").
struct StatData
{
    int num = 0;
    QString avg = QStringLiteral("0");
    QString min = QStringLiteral("0");
    QString max = QStringLiteral("0");
    // "-" while there are fewer than two values, or, for cv, no mean above 0.
    QString sd = QStringLiteral("-");
    QString cv = QStringLiteral("-");
};
