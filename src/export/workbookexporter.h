#pragma once

#include <QList>
#include <QPair>
#include <QString>

class QAbstractItemModel;

// Writes a reading table to an .xls workbook in the layout the import reads back: the header
// row "No.", "Time", "Value", "Unit", "Basis", then one table row per sheet row. Column A keeps
// the row numbers as numbers, column B holds the times as date-time values shown as
// "yyyy-MM-dd hh:mm:ss", the remaining columns hold text formatted as text ("@"); the columns
// are fitted to their contents.
class WorkbookExporter
{
public:
    WorkbookExporter() = delete;

    // An .xls sheet has 65,536 rows, one of which is the header.
    static constexpr int MaxDataRows = 65535;

    // Writes the display data of every row and column of model. False, leaving fileName as it
    // was, when the model has more rows than a sheet holds or the file can't be written.
    // Summary rows, when there are any, go as label and value to a second sheet "Summary"; the
    // first sheet stays the same with or without them.
    static bool exportTable(const QAbstractItemModel &model, const QString &fileName,
                            const QList<QPair<QString, QString>> &summary = {});
};
