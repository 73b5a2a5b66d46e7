#pragma once

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

#include "csvexporter.h"

class ItemData;

// Writes items to an Excel workbook (.xlsx) that spreadsheets compute with: a sheet per item,
// named after it, with No., Time, Value, Unit, Basis and Over range, and Mark when the item has a
// requirement, and Excluded with the reason of each reading left out of the statistics. Times are
// date-time cells, values number cells shown with the item's decimals; an over-range reading has no
// value and "OL" or "-OL" as Over range. A "Summary" sheet lists every item with its statistics,
// requirement and verdict, and an "Exclusion trail" sheet, when there is one, every exclusion and
// re-inclusion with who made it and when. Rows are written as they are made, so memory does not
// grow with the items.
class XlsxExporter
{
    Q_DECLARE_TR_FUNCTIONS(XlsxExporter)

public:
    // A sheet has 1,048,576 rows, one of which is the header; a larger item goes on over further
    // sheets.
    static constexpr int MaxDataRows = 1048575;

    XlsxExporter() = delete;

    // The item's name made valid for a sheet (at most 31 characters, none of []:*?/\, no quote at
    // either end) and unique among taken without case, which it joins. part > 1 names a further
    // sheet of the same item: "Measure1 (2)".
    static QString sheetName(const QString &itemName, int part, QStringList *taken);

    // Writes fileName in full or not at all: a failed or cancelled export keeps what was there.
    // *notes tells what the user should know of a complete export (items spread over sheets).
    static bool writeFile(const QString &fileName, const QList<const ItemData *> &items,
                          const CsvExporter::Progress &progress, QString *error,
                          QStringList *notes);
};
