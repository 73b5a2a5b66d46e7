#pragma once

#include <QColor>
#include <QRectF>
#include <QString>

// One thing placed on a report page by the layout pass, in device units; the paint pass draws it
// as placed. Tables of readings are one element per page, whatever their number of rows.
struct ReportElement
{
    enum Kind {
        Text,           // one line, cut with "…" to fit
        WrappedText,    // lines first to first + count - 1 of a wrapped text
        Rule,           // a line along the rectangle's bottom edge
        Picture,        // the logo (item -1) or photo `first` of an item, aspect kept
        HistogramPlot,  // the item's histogram
        ChartPlot,      // the item's chart
        ReadingsHeader, // the column heads of the readings table
        ReadingRows     // rows first to first + count - 1 of the item's readings table
    };

    Kind kind = Text;
    QRectF rect;
    QString text;
    int font = 0; // an InspectionReport::FontRole
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    QColor color = Qt::black;
    int item = -1; // index into the report's items
    int first = 0;
    int count = 0;
};
