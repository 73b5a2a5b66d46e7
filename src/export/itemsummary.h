#pragma once

#include <QList>
#include <QPair>
#include <QString>

class ItemData;

// The summary of an item judged against its requirement, as label and value rows: the item,
// its unit, basis and time span, its statistics, the requirement and the verdict with every
// failed criterion and the readings that caused it. The PDF report and the workbook show the
// same rows.
class ItemSummary
{
public:
    using Rows = QList<QPair<QString, QString>>;

    ItemSummary() = delete;

    // No rows for an item without a requirement.
    static Rows rows(const ItemData &item);
};
