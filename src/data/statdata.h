#pragma once

#include <QString>

// Summary of an item's readings; the texts are ready to show beside "Num:", "Avg:", "Min:", "Max:".
struct StatData
{
    int num = 0;
    QString avg = QStringLiteral("0");
    QString min = QStringLiteral("0");
    QString max = QStringLiteral("0");
};
