#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class QAbstractItemModel;
class QPixmap;
class QVariant;
struct ReportColumn;

// The printable A4 report of one item: a picture page (scene picture, histogram, chart), a
// summary page when there is a summary, then ruled table pages of the readings with a date-time
// stamp, then the exclusion trail when there is one, all with "page/total" numbers.
// All lengths are in the PDF writer's device units (its default 1200 dpi).
class PdfReport
{
public:
    struct Layout
    {
        int m = 0;         // left and right margin of the table pages
        int rowH = 0;      // height of one table row
        int rpp = 0;       // table rows per page
        int tp = 0;        // table pages
        int total = 0;     // pages of the whole report
        int fh = 0;        // height of the 12-point report font
        int picH = 0;      // height of each picture on page 1
        QList<int> widths; // width of each table column
    };

    PdfReport() = delete;

    // The table's columns No., Time, Value, Unit and Basis with the shares 2 : 3 : 3 : 2 : 2;
    // the caller owns them.
    static QList<ReportColumn *> newColumns();

    // pageWidth/pageHeight: the writer's paintable size; baseFontHeight: the painter's initial
    // font; weights: the columns' shares of the table width, one per table column.
    static Layout layout(int pageWidth, int pageHeight, int baseFontHeight, int reportFontHeight,
                         const QList<int> &weights, int rows);

    // The text a table cell shows for the model's display data.
    static QString cellText(const QVariant &data);

    // Writes the report of the model's rows to fileName. Returns false, and leaves fileName as
    // it was (missing, or an earlier report), when the file cannot be written in full; an empty
    // or missing sceneFile, or a null histogram or chart, only leaves that picture out. Summary
    // rows (label, value) get a page of their own after the pictures; without them there is none.
    // Rows the model gives a struck-out font or a text colour are printed so. The lines of an
    // exclusion trail follow the table on pages of their own.
    static bool write(const QString &fileName, const QString &sceneFile,
                      const QAbstractItemModel &model, const QPixmap &histogram,
                      const QPixmap &chart, const QList<ReportColumn *> &columns,
                      const QList<QPair<QString, QString>> &summary = {},
                      const QStringList &trail = {});
};
