#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

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
    // exclusions adds the count of excluded readings when there are any; the .xls keeps the rows
    // it always had.
    static Rows rows(const ItemData &item, bool exclusions = true);
    // The same rows for every item: one without a requirement has its statistics, its
    // over-range count and "None" for the requirement.
    static Rows reportRows(const ItemData &item, bool exclusions = true);
    // The item's exclusion trail, a line per change, oldest first: "No. 5 excluded (Wrong part)
    // by jdoe, 2026-03-29 10:15:00".
    static QStringList trailLines(const ItemData &item);
    // The labels of the verdict's row and of each failed criterion's.
    static QString verdictLabel();
    static QString failedLabel();
};
