#pragma once

#include <QList>
#include <QString>
#include <QVariantList>

class DmmData;

// Reads readings back from a workbook in the layout WorkbookExporter writes. The caller decides
// what to do with the header row and with rows that give no reading.
class WorkbookImporter
{
public:
    enum class Outcome { Complete, Partial, Unreadable };

    WorkbookImporter() = delete;

    // The readings of the data rows, new and owned by the caller, up to the first row that gives
    // none (Partial); blank rows at the end are no readings. Unreadable, with no readings, for
    // anything that is not a sound, readable workbook.
    static Outcome readReadings(const QString &fileName, QList<DmmData *> *readings);

    // The first sheet's used range, header row included, cut to the five columns a reading is
    // read from. False for anything that is not a sound, readable workbook.
    static bool readRows(const QString &fileName, QList<QVariantList> *rows);

    // A new reading, owned by the caller, from a sheet row (No., Time, Value, Unit, Basis); the
    // row number is not used. nullptr when the row has fewer than five cells, its time is
    // neither a valid date-time nor text in the form "yyyy-MM-dd hh:mm:ss", or its value reads
    // as NaN or infinite.
    static DmmData *readingFromRow(const QVariantList &row);

    // True when every cell is empty, as in empty rows below the table.
    static bool isBlankRow(const QVariantList &row);
};
