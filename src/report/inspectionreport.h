#pragma once

#include <functional>

#include <QColor>
#include <QCoreApplication>
#include <QDateTime>
#include <QFont>
#include <QList>
#include <QPageSize>
#include <QRectF>
#include <QString>
#include <QVector>

#include "jobdetails.h"
#include "reportpage.h"

class ItemData;
class QPagedPaintDevice;
class QPaintDevice;
class QPainter;

// The inspection report of a job: a cover page with the job's details and a summary of the items,
// a section per item (statistics and verdict, histogram, chart, notes and photos, readings), and
// a signature block, every page with a header and "Page X of Y". It paints on any paged device,
// a PDF writer or a printer. All pages are laid out first, so the page count is known before the
// first page is painted; only the readings table grows with the readings, and it is laid out by
// arithmetic on its fixed row height.
class InspectionReport
{
    Q_DECLARE_TR_FUNCTIONS(InspectionReport)

public:
    enum Readings { NoReadings, ReadingsOutOfLimits, AllReadings };
    enum FontRole {
        BodyFont,
        BoldFont,
        SmallFont,
        SmallBoldFont,
        HeadingFont,
        TitleFont,
        FontRoles
    };

    struct Options
    {
        bool cover = true;
        bool statistics = true;
        bool histogram = true;
        bool chart = true;
        bool notes = true;
        Readings readings = NoReadings;
        QPageSize::PageSizeId paper = QPageSize::A4;
        // Shown in the footer and on the cover; the time of painting when null.
        QDateTime made;
    };

    // Called after each painted page with the pages done and the total; false stops painting.
    using Progress = std::function<bool(int done, int total)>;

    // The items are not owned and must outlive the report.
    InspectionReport(const JobDetails &job, const QList<const ItemData *> &items,
                     const Options &options);

    // "RQ-6814 Logger 1.02": the footer's and the PDF's creator.
    static QString producer();
    // Letter in the United States and Canada, A4 elsewhere.
    static QPageSize::PageSizeId defaultPaper(const QLocale &locale);
    // The verdict in words and its colour: pass green, fail red, pending amber, none grey.
    static QString verdictText(const ItemData &item);
    static QColor verdictColor(const ItemData &item);
    // The rows the readings table of item has with that choice.
    static int tableRows(const ItemData &item, Readings readings);

    QString title() const;
    // The page's paper and margins, set on the device before laying out or painting.
    void setUp(QPagedPaintDevice *device) const;
    // The page breaks on the device as set up.
    const QVector<ReportPage> &layOut(QPaintDevice *device);
    const QVector<ReportPage> &pages() const { return m_pages; }
    // The area between header and footer, in the device units of the last layOut().
    QRectF bodyRect() const { return m_body; }

    // Lays out and paints every page on the device as it is set up (setUp(), or a printer the
    // user set up). False when stopped or when the device
    // refused a new page.
    bool paint(QPagedPaintDevice *device, const Progress &progress = Progress());
    // Writes the PDF to fileName through a temporary file that replaces it only when complete.
    // Empty on success, else what went wrong, for the user; an earlier file stays as it was.
    QString save(const QString &fileName, const Progress &progress = Progress());

private:
    class Flow;

    void layOutCover(Flow &flow);
    void layOutItem(Flow &flow, int index);
    void layOutReadings(Flow &flow, int index);
    void layOutSignatures(Flow &flow);
    void paintPage(QPainter &painter, int page) const;
    void paintElement(QPainter &painter, const ReportElement &element) const;
    void paintReadingsHeader(QPainter &painter, const QRectF &rect) const;
    void paintReadingRows(QPainter &painter, const ReportElement &element) const;
    // The readings (numbered from 0) the table of item index shows, when not all of them.
    int tableReading(int index, int row) const;
    QVector<qreal> readingColumns(qreal width) const;
    QByteArray xmpMetadata() const;

    JobDetails m_job;
    QList<const ItemData *> m_items;
    Options m_options;
    QFont m_fonts[FontRoles];
    QPaintDevice *m_device = nullptr;
    qreal m_dpi = 72;
    QRectF m_page;
    QRectF m_body;
    qreal m_rowHeight = 0;
    QVector<QVector<int>> m_outOfLimits;
    QVector<ReportPage> m_pages;
};
