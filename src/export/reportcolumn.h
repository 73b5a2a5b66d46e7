#pragma once

#include <QRect>
#include <QString>

// One column of the PDF report's reading table: its heading and its share of the table width.
struct ReportColumn
{
    QString title;
    QRect rect;
    int weight = 0;
};
