#include "pdfreport.h"

#include <algorithm>
#include <numeric>

#include <QAbstractItemModel>
#include <QBrush>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QSaveFile>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPixmap>
#include <QStringList>
#include <QVariant>

#include "reportcolumn.h"

namespace {

const QString stampFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");

// Fast scaling: the pictures are screen grabs and are blown up to print resolution, smoothing
// would only cost time.
QImage scaledPicture(const QImage &picture, int height)
{
    if (picture.isNull() || height <= 0)
        return QImage();
    return picture.scaledToHeight(height, Qt::FastTransformation);
}

// Draws label with its baseline at y and the picture below it; returns where the next block starts.
int drawLabelledPicture(QPainter &painter, const PdfReport::Layout &lay, int y,
                        const QString &label, const QImage &picture)
{
    painter.drawText(0, y, label);
    y += lay.fh;
    const QImage scaled = scaledPicture(picture, lay.picH);
    if (!scaled.isNull())
        painter.drawImage(0, y, scaled);
    return y + scaled.height();
}

// "page/total", right-aligned against the table's right edge, below the last row a page can hold.
void drawPageNumber(QPainter &painter, const PdfReport::Layout &lay, int pageWidth, int page)
{
    const QString text = QStringLiteral("%1/%2").arg(page).arg(lay.total);
    const int w = painter.fontMetrics().horizontalAdvance(text);
    painter.drawText(QRect(pageWidth - lay.m - w, (lay.rpp + 4) * lay.rowH, w, lay.rowH),
                     Qt::AlignRight | Qt::AlignBottom, text);
}

void drawPicturePage(QPainter &painter, const PdfReport::Layout &lay, int pageWidth,
                     const QString &sceneFile, const QPixmap &histogram, const QPixmap &chart)
{
    int y = lay.fh;
    // The label stays even when the file is no readable image: the user sees what went missing.
    if (!sceneFile.isEmpty() && QFile::exists(sceneFile))
        y = drawLabelledPicture(painter, lay, y,
                                QCoreApplication::translate("Widget", "Scene picture:"),
                                QImage(sceneFile));
    y += 2 * lay.fh;
    if (!histogram.isNull())
        y = drawLabelledPicture(painter, lay, y,
                                QCoreApplication::translate("Widget", "Histogram:"),
                                histogram.toImage());
    y += 2 * lay.fh;
    if (!chart.isNull())
        drawLabelledPicture(painter, lay, y, QCoreApplication::translate("Widget", "Chart:"),
                            chart.toImage());
    drawPageNumber(painter, lay, pageWidth, 1);
}

// One table page holding the model rows from firstRow on; page is its number in the report.
void drawTablePage(QPainter &painter, const PdfReport::Layout &lay, int pageWidth,
                   const QAbstractItemModel &model, const QList<ReportColumn *> &columns,
                   int firstRow, int page)
{
    const int rowH = lay.rowH;
    const int right = pageWidth - lay.m;

    const QString stamp = QDateTime::currentDateTime().toString(stampFormat);
    const int stampW = painter.fontMetrics().horizontalAdvance(stamp);
    painter.drawText(QRect(right - stampW, 0, stampW, 3 * rowH), Qt::AlignRight | Qt::AlignBottom,
                     stamp);
    drawPageNumber(painter, lay, pageWidth, page);

    painter.drawLine(lay.m, 3 * rowH, right, 3 * rowH);
    painter.drawLine(lay.m, 4 * rowH, right, 4 * rowH);

    const int k = std::min(lay.rpp, model.rowCount() - firstRow);
    const int bottom = (k + 4) * rowH;
    int x = lay.m;
    for (int c = 0; c < lay.widths.size(); ++c) {
        painter.drawLine(x, 3 * rowH, x, bottom);
        painter.drawText(QRect(x, 3 * rowH, lay.widths.at(c), rowH), Qt::AlignCenter,
                         columns.at(c)->title);
        x += lay.widths.at(c);
    }
    // The truncated widths may fall a few units short; the border still closes at the margin.
    painter.drawLine(right, 3 * rowH, right, bottom);

    for (int i = 0; i < k; ++i) {
        const int g = firstRow + i;
        const int y = (4 + i) * rowH;
        x = lay.m;
        // A row the model strikes through and greys (an excluded reading) is printed so too.
        const QVariant rowFont = model.data(model.index(g, 0), Qt::FontRole);
        const QVariant rowColor = model.data(model.index(g, 0), Qt::ForegroundRole);
        painter.save();
        if (rowFont.isValid()) {
            QFont font = painter.font();
            font.setStrikeOut(rowFont.value<QFont>().strikeOut());
            painter.setFont(font);
        }
        if (rowColor.isValid()) {
            QPen pen = painter.pen();
            pen.setColor(rowColor.value<QBrush>().color());
            painter.setPen(pen);
        }
        for (int c = 0; c < lay.widths.size(); ++c) {
            painter.drawText(QRect(x, y, lay.widths.at(c), rowH),
                             Qt::AlignHCenter | Qt::AlignBottom,
                             PdfReport::cellText(model.data(model.index(g, c))));
            x += lay.widths.at(c);
        }
        painter.restore();
        painter.drawLine(lay.m, y + rowH, right, y + rowH);
    }
}

// Lines first on of the exclusion trail under a title, as many as a table page has rows.
void drawTrailPage(QPainter &painter, const PdfReport::Layout &lay, int pageWidth,
                   const QStringList &trail, int first, int page)
{
    painter.drawText(QRect(lay.m, 2 * lay.rowH, pageWidth - 2 * lay.m, lay.rowH),
                     Qt::AlignLeft | Qt::AlignBottom,
                     QCoreApplication::translate("Widget", "Exclusion trail"));
    const int last = std::min(trail.size(), first + lay.rpp);
    for (int i = first; i < last; ++i)
        painter.drawText(QRect(lay.m, (4 + i - first) * lay.rowH, pageWidth - 2 * lay.m, lay.rowH),
                         Qt::AlignLeft | Qt::AlignBottom, trail.at(i));
    drawPageNumber(painter, lay, pageWidth, page);
}

// The summary as a two-column list under a title; long values wrap within their column.
void drawSummaryPage(QPainter &painter, const PdfReport::Layout &lay, int pageWidth,
                     const QList<QPair<QString, QString>> &summary, int page)
{
    const int labelWidth = (pageWidth - 2 * lay.m) * 3 / 10;
    const int valueLeft = lay.m + labelWidth;
    const int valueWidth = pageWidth - lay.m - valueLeft;
    int y = 2 * lay.rowH;
    QFont title = painter.font();
    title.setBold(true);
    painter.save();
    painter.setFont(title);
    painter.drawText(QRect(lay.m, y, pageWidth - 2 * lay.m, 2 * lay.fh),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     QCoreApplication::translate("Widget", "Summary"));
    painter.restore();
    y += 3 * lay.fh;
    for (const QPair<QString, QString> &row : summary) {
        const QRect valueBox(valueLeft, y, valueWidth, 100 * lay.fh);
        const QRect used =
            painter.boundingRect(valueBox, Qt::AlignLeft | Qt::TextWordWrap, row.second);
        const int height = std::max(lay.fh, used.height());
        painter.drawText(QRect(lay.m, y, labelWidth, height), Qt::AlignLeft | Qt::AlignTop,
                         row.first);
        painter.drawText(QRect(valueLeft, y, valueWidth, height),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, row.second);
        y += height + lay.fh / 2;
    }
    drawPageNumber(painter, lay, pageWidth, page);
}

bool drawReport(QPainter &painter, QPdfWriter &writer, const QString &sceneFile,
                const QAbstractItemModel &model, const QPixmap &histogram, const QPixmap &chart,
                const QList<ReportColumn *> &columns, const QList<QPair<QString, QString>> &summary,
                const QStringList &trail)
{
    const int baseFontHeight = painter.fontMetrics().height();
    QFont reportFont = painter.font();
    reportFont.setPointSize(12);
    painter.setFont(reportFont);

    const int columnCount = std::min(model.columnCount(), columns.size());
    QList<int> weights;
    for (int c = 0; c < columnCount; ++c)
        weights.append(columns.at(c)->weight);
    PdfReport::Layout lay =
        PdfReport::layout(writer.width(), writer.height(), baseFontHeight,
                          painter.fontMetrics().height(), weights, model.rowCount());
    const int summaryPages = summary.isEmpty() ? 0 : 1;
    const int trailPages = (trail.size() + lay.rpp - 1) / lay.rpp;
    lay.total += summaryPages + trailPages;

    drawPicturePage(painter, lay, writer.width(), sceneFile, histogram, chart);
    if (summaryPages > 0) {
        if (!writer.newPage())
            return false;
        drawSummaryPage(painter, lay, writer.width(), summary, 2);
    }
    if (lay.tp > 0) {
        if (!writer.newPage())
            return false;
        QPen pen = painter.pen();
        pen.setWidth(2);
        painter.setPen(pen);
        for (int p = 0; p < lay.tp; ++p) {
            drawTablePage(painter, lay, writer.width(), model, columns, p * lay.rpp,
                          p + 2 + summaryPages);
            if (p < lay.tp - 1 && !writer.newPage())
                return false;
        }
    }
    for (int p = 0; p < trailPages; ++p) {
        if (!writer.newPage())
            return false;
        drawTrailPage(painter, lay, writer.width(), trail, p * lay.rpp,
                      p + 2 + summaryPages + lay.tp);
    }
    return true;
}

} // namespace

QList<ReportColumn *> PdfReport::newColumns()
{
    QList<ReportColumn *> columns;
    const QList<QPair<QString, int>> shares = {{QStringLiteral("No."), 2},
                                               {QStringLiteral("Time"), 3},
                                               {QStringLiteral("Value"), 3},
                                               {QStringLiteral("Unit"), 2},
                                               {QStringLiteral("Basis"), 2}};
    for (const auto &share : shares)
        columns.append(new ReportColumn{share.first, QRect(), share.second});
    return columns;
}

PdfReport::Layout PdfReport::layout(int pageWidth, int pageHeight, int baseFontHeight,
                                    int reportFontHeight, const QList<int> &weights, int rows)
{
    Layout lay;
    lay.m = pageWidth / 20;
    lay.rowH = 2 * baseFontHeight;
    // A font too large for six rows on a page would give no table row at all; keep one.
    lay.rpp = lay.rowH > 0 ? std::max(1, (pageHeight - 5 * lay.rowH) / lay.rowH) : 1;
    lay.tp = (std::max(rows, 0) + lay.rpp - 1) / lay.rpp;
    lay.total = lay.tp + 1;
    lay.fh = reportFontHeight;
    lay.picH = pageHeight / 3 - 4 * lay.fh;

    const int weightSum = std::accumulate(weights.cbegin(), weights.cend(), 0);
    const double unit = weightSum > 0 ? double(pageWidth - 2 * lay.m) / weightSum : 0.0;
    for (int weight : weights)
        lay.widths.append(int(weight * unit));
    return lay;
}

QString PdfReport::cellText(const QVariant &data)
{
    switch (data.userType()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::QChar:
        return QString::number(data.toInt());
    case QMetaType::QDateTime:
        return data.toDateTime().toString(stampFormat);
    default:
        return data.toString();
    }
}

bool PdfReport::write(const QString &fileName, const QString &sceneFile,
                      const QAbstractItemModel &model, const QPixmap &histogram,
                      const QPixmap &chart, const QList<ReportColumn *> &columns,
                      const QList<QPair<QString, QString>> &summary, const QStringList &trail)
{
    // The report goes to a temporary file that replaces fileName only once it is complete, so a
    // failed export (a full disk) leaves an earlier report of that name as it was.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;

    bool ok = false;
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        QPainter painter;
        if (painter.begin(&writer)) {
            ok = drawReport(painter, writer, sceneFile, model, histogram, chart, columns, summary,
                            trail);
            // end() writes the document's trailer; a failure there leaves a broken file.
            ok = painter.end() && ok;
        }
    }
    if (ok && file.error() == QFileDevice::NoError)
        return file.commit();
    file.cancelWriting();
    return false;
}
