#pragma once

#include <QString>
#include <QVector>

#include "reportelement.h"

// What the layout pass put on one page, and the item its header names (none on the cover and
// the signature page).
struct ReportPage
{
    QString itemName;
    QVector<ReportElement> elements;
};
