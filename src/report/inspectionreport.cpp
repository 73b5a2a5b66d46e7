#include "inspectionreport.h"

#include <algorithm>
#include <cmath>

#include <QDir>
#include <QFontMetricsF>
#include <QImage>
#include <QLocale>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include "dmmdata.h"
#include "itemdata.h"
#include "itemsummary.h"
#include "pagechart.h"
#include "pagehistogram.h"
#include "reporttext.h"

namespace {

const QString TimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");
// Paper margins in millimetres: every printer can print inside them.
const QMarginsF PaperMargins(15, 12, 15, 12);

const QColor PassColor(0, 128, 0);
const QColor FailColor(200, 0, 0);
const QColor PendingColor(190, 110, 0);
const QColor NoneColor(120, 120, 120);
const QColor RuleColor(150, 150, 150);
const QColor HeaderFill(230, 230, 230);
// Lines of the exclusion trail laid out as one text.
constexpr int TrailLinesPerText = 50;

// Shares of the table width: item, readings, over range, mean, min, max, SD, CV, requirement,
// verdict.
constexpr qreal SummaryShares[] = {0.15, 0.09, 0.10, 0.08, 0.08, 0.08, 0.07, 0.07, 0.17, 0.11};
// No., time, value, unit, basis, mark.
constexpr qreal ReadingShares[] = {0.10, 0.28, 0.16, 0.10, 0.14, 0.22};

// The readings the table marks red or amber: out of the limits, or below the nominal value,
// which a rule may allow for some readings only.
bool isOutOfLimits(CoatingEvaluator::Mark mark)
{
    return mark == CoatingEvaluator::Low || mark == CoatingEvaluator::High ||
           mark == CoatingEvaluator::BelowNominal;
}

// A statistic of the in-range readings, or "-" when there are none.
QString statistic(const ItemData &item, const QString &text)
{
    const StatData *statistics = item.statistics();
    return statistics->num > statistics->overRange ? text : QStringLiteral("-");
}

} // namespace

// The layout pass's cursor: where the next element goes, and a new page when it does not fit.
class InspectionReport::Flow
{
public:
    explicit Flow(InspectionReport &report)
        : m_report(report)
        , y(report.m_body.top())
    {
    }

    InspectionReport &m_report;
    qreal y;
    QString itemName;
    // Repeats a table's column heads at the top of each page it continues on.
    std::function<void()> onNewPage;

    qreal mm(qreal millimetres) const { return millimetres * m_report.m_dpi / 25.4; }
    qreal left() const { return m_report.m_body.left(); }
    qreal width() const { return m_report.m_body.width(); }
    qreal top() const { return m_report.m_body.top(); }
    qreal room() const { return m_report.m_body.bottom() - y; }
    qreal lineHeight(int font) const
    {
        return QFontMetricsF(m_report.m_fonts[font], m_report.m_device).lineSpacing();
    }

    void newPage()
    {
        m_report.m_pages.append({itemName, {}});
        y = top();
        if (onNewPage)
            onNewPage();
    }
    // A new page unless height fits below y or the page is still empty.
    void ensure(qreal height)
    {
        if (m_report.m_pages.isEmpty() || (height > room() && y > top() + 0.5))
            newPage();
    }
    void add(const ReportElement &element) { m_report.m_pages.last().elements.append(element); }

    void text(const QRectF &rect, const QString &text, int font,
              Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter,
              const QColor &color = Qt::black)
    {
        ReportElement element;
        element.rect = rect;
        element.text = text;
        element.font = font;
        element.alignment = alignment;
        element.color = color;
        add(element);
    }

    // Places a wrapped text from y on, continued on the next pages where it runs over.
    void wrapped(const QString &text, int font, qreal x, qreal width,
                 const QColor &color = Qt::black)
    {
        const ReportText layout(text, m_report.m_fonts[font], width, m_report.m_device);
        for (int first = 0; first < layout.lineCount();) {
            if (room() < layout.lineHeight())
                newPage();
            const int count = layout.linesFitting(first, room());
            ReportElement element;
            element.kind = ReportElement::WrappedText;
            element.rect = QRectF(x, y, width, count * layout.lineHeight());
            element.text = text;
            element.font = font;
            element.color = color;
            element.first = first;
            element.count = count;
            add(element);
            y += count * layout.lineHeight();
            first += count;
        }
    }

    // A label beside its value, both wrapped; the value may continue on the next pages.
    void row(const QString &label, const QString &value, const QColor &color = Qt::black)
    {
        const qreal labelWidth = std::min(mm(55), width() * 0.35);
        const qreal gap = mm(3);
        const ReportText labelText(label, m_report.m_fonts[BoldFont], labelWidth - gap,
                                   m_report.m_device);
        const ReportText valueText(value, m_report.m_fonts[BodyFont], width() - labelWidth,
                                   m_report.m_device);
        // Rows of a few lines stay together; longer ones start where they are.
        ensure(
            std::min(std::max(labelText.height(), valueText.height()), 3 * valueText.lineHeight()));
        const int page = m_report.m_pages.size();
        const qreal rowTop = y;
        wrapped(label, BoldFont, left(), labelWidth - gap);
        const qreal labelBottom = y;
        if (m_report.m_pages.size() == page)
            y = rowTop;
        wrapped(value, BodyFont, left() + labelWidth, width() - labelWidth, color);
        if (m_report.m_pages.size() == page)
            y = std::max(y, labelBottom);
        y += mm(1);
    }

    // A heading kept on the page with at least two lines of what follows.
    void heading(const QString &title)
    {
        const qreal height = lineHeight(HeadingFont);
        ensure(height * 1.4 + 2 * lineHeight(BodyFont));
        y += height * 0.2;
        text(QRectF(left(), y, width(), height), title, HeadingFont);
        y += height * 1.2;
    }

    void rule(qreal x, qreal atY, qreal length)
    {
        ReportElement element;
        element.kind = ReportElement::Rule;
        element.rect = QRectF(x, atY, length, 0);
        element.color = RuleColor;
        add(element);
    }
};

InspectionReport::InspectionReport(const JobDetails &job, const QList<const ItemData *> &items,
                                   const Options &options)
    : m_job(job)
    , m_items(items)
    , m_options(options)
{
    if (!m_options.made.isValid())
        m_options.made = QDateTime::currentDateTime();
    const struct
    {
        qreal points;
        bool bold;
    } roles[FontRoles] = {{9.5, false}, {9.5, true}, {7, false}, {7, true}, {13, true}, {20, true}};
    for (int role = 0; role < FontRoles; ++role) {
        // DejaVu Sans covers Latin, Greek, Cyrillic, Hebrew and Arabic; other scripts fall back to
        // whichever installed font has them.
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSizeF(roles[role].points);
        font.setBold(roles[role].bold);
        // Without ligatures the PDF's text is found and copied as typed ("fi", not "ﬁ"); a
        // spacing of any size turns them off for the scripts that can do without.
        font.setLetterSpacing(QFont::AbsoluteSpacing, 0.02);
        m_fonts[role] = font;
    }
}

QString InspectionReport::producer()
{
    return QStringLiteral("RQ-6814 Logger %1").arg(QStringLiteral(RQ_LOGGER_VERSION));
}

QPageSize::PageSizeId InspectionReport::defaultPaper(const QLocale &locale)
{
    const QLocale::Country country = locale.country();
    return country == QLocale::UnitedStates || country == QLocale::Canada ? QPageSize::Letter
                                                                          : QPageSize::A4;
}

QString InspectionReport::verdictText(const ItemData &item)
{
    switch (item.evaluation().state()) {
    case CoatingVerdict::Pass:
        return tr("PASS");
    case CoatingVerdict::Fail:
        return tr("FAIL");
    case CoatingVerdict::Pending:
        return tr("PENDING");
    case CoatingVerdict::NotJudged:
        break;
    }
    return tr("NONE");
}

QColor InspectionReport::verdictColor(const ItemData &item)
{
    switch (item.evaluation().state()) {
    case CoatingVerdict::Pass:
        return PassColor;
    case CoatingVerdict::Fail:
        return FailColor;
    case CoatingVerdict::Pending:
        return PendingColor;
    case CoatingVerdict::NotJudged:
        break;
    }
    return NoneColor;
}

int InspectionReport::tableRows(const ItemData &item, Readings readings)
{
    switch (readings) {
    case NoReadings:
        return 0;
    case AllReadings:
        return item.readings().size();
    case ReadingsOutOfLimits:
        break;
    }
    const CoatingEvaluator &evaluation = item.evaluation();
    int rows = 0;
    for (int i = 0; i < evaluation.readingCount(); ++i)
        rows += int(isOutOfLimits(evaluation.mark(i)));
    return rows;
}

QString InspectionReport::title() const
{
    const QString project = m_job.value(JobDetails::Project).simplified();
    return project.isEmpty() ? tr("Inspection report")
                             : tr("Inspection report \u2013 %1").arg(project);
}

void InspectionReport::setUp(QPagedPaintDevice *device) const
{
    device->setPageSize(QPageSize(m_options.paper));
    device->setPageOrientation(QPageLayout::Portrait);
    device->setPageMargins(PaperMargins, QPageLayout::Millimeter);
}

const QVector<ReportPage> &InspectionReport::layOut(QPaintDevice *device)
{
    m_device = device;
    m_dpi = device->logicalDpiY();
    m_page = QRectF(0, 0, device->width(), device->height());
    const qreal small = QFontMetricsF(m_fonts[SmallFont], device).lineSpacing();
    const qreal gap = 4 * m_dpi / 25.4;
    m_body = m_page.adjusted(0, small + gap, 0, -(small + gap));
    m_rowHeight = small * 1.3;
    m_pages.clear();

    m_outOfLimits.clear();
    m_outOfLimits.resize(m_items.size());
    if (m_options.readings == ReadingsOutOfLimits) {
        for (int i = 0; i < m_items.size(); ++i) {
            const CoatingEvaluator &evaluation = m_items.at(i)->evaluation();
            for (int r = 0; r < evaluation.readingCount(); ++r)
                if (isOutOfLimits(evaluation.mark(r)))
                    m_outOfLimits[i].append(r);
        }
    }

    Flow flow(*this);
    if (m_options.cover)
        layOutCover(flow);
    for (int i = 0; i < m_items.size(); ++i)
        layOutItem(flow, i);
    layOutSignatures(flow);
    return m_pages;
}

void InspectionReport::layOutCover(Flow &flow)
{
    flow.itemName.clear();
    flow.newPage();
    const qreal logoWidth = flow.mm(50);
    const qreal logoHeight = flow.mm(25);
    const qreal textWidth = flow.width() - logoWidth - flow.mm(5);
    if (!m_job.logo().isEmpty()) {
        ReportElement logo;
        logo.kind = ReportElement::Picture;
        logo.rect = QRectF(flow.left() + flow.width() - logoWidth, flow.y, logoWidth, logoHeight);
        flow.add(logo);
    }
    const qreal titleHeight = flow.lineHeight(TitleFont);
    flow.text(QRectF(flow.left(), flow.y, textWidth, titleHeight), tr("Inspection report"),
              TitleFont);
    flow.y += titleHeight * 1.2;
    const QString company = m_job.value(JobDetails::Company);
    if (!company.isEmpty())
        flow.wrapped(company, HeadingFont, flow.left(), textWidth);
    flow.y = std::max(flow.y, flow.top() + logoHeight) + flow.mm(5);

    flow.row(tr("Date of report"), QLocale().toString(m_options.made.date(), QLocale::LongFormat));
    for (int f = 0; f < JobDetails::FieldCount; ++f) {
        const auto field = JobDetails::Field(f);
        if (!m_job.value(field).trimmed().isEmpty())
            flow.row(JobDetails::label(field), m_job.value(field));
    }
    if (m_items.isEmpty())
        return;

    flow.heading(tr("Items"));
    QVector<qreal> xs{flow.left()};
    for (qreal share : SummaryShares)
        xs.append(xs.last() + share * flow.width());
    const qreal cellPad = flow.mm(1);
    const qreal rowHeight = m_rowHeight;
    const auto cells = [&](const QStringList &texts, int font, int verdictColumn,
                           const QColor &verdict) {
        for (int c = 0; c < texts.size(); ++c) {
            const Qt::Alignment alignment =
                (c == 0 || c >= 8 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter;
            flow.text(QRectF(xs.at(c) + cellPad, flow.y, xs.at(c + 1) - xs.at(c) - 2 * cellPad,
                             rowHeight),
                      texts.at(c), font, alignment, c == verdictColumn ? verdict : Qt::black);
        }
        flow.y += rowHeight;
        flow.rule(flow.left(), flow.y, flow.width());
    };
    const QStringList heads{tr("Item"),        tr("Readings"), tr("Over range"), tr("Mean"),
                            tr("Min"),         tr("Max"),      tr("SD"),         tr("CV"),
                            tr("Requirement"), tr("Verdict")};
    const auto header = [&] { cells(heads, SmallBoldFont, -1, Qt::black); };
    flow.ensure(3 * rowHeight);
    header();
    flow.onNewPage = header;
    for (const ItemData *item : qAsConst(m_items)) {
        const StatData *s = item->statistics();
        const QString requirement =
            item->requirement().isSet() ? item->requirement().ruleName() : tr("None");
        flow.ensure(rowHeight);
        cells({item->name(), QString::number(s->num), QString::number(s->overRange),
               statistic(*item, s->avg), statistic(*item, s->min), statistic(*item, s->max), s->sd,
               s->cv, requirement, verdictText(*item)},
              SmallFont, 9, verdictColor(*item));
    }
    flow.onNewPage = nullptr;
}

void InspectionReport::layOutItem(Flow &flow, int index)
{
    const ItemData &item = *m_items.at(index);
    const bool notes = m_options.notes && !item.notes().isEmpty();
    if (!m_options.statistics && !m_options.histogram && !m_options.chart && !notes &&
        m_options.readings == NoReadings)
        return;
    flow.itemName = item.name();
    flow.newPage();
    flow.wrapped(item.name(), HeadingFont, flow.left(), flow.width());
    flow.y += flow.mm(3);

    if (m_options.statistics) {
        for (const QPair<QString, QString> &row : ItemSummary::reportRows(item)) {
            QColor color = Qt::black;
            if (row.first == ItemSummary::verdictLabel())
                color = verdictColor(item);
            else if (row.first == ItemSummary::failedLabel())
                color = FailColor;
            flow.row(row.first,
                     row.first == ItemSummary::verdictLabel() ? verdictText(item) : row.second,
                     color);
        }
    }
    const qreal plotHeight = flow.mm(68);
    const auto plot = [&](ReportElement::Kind kind) {
        flow.ensure(plotHeight + flow.mm(4));
        flow.y += flow.mm(4);
        ReportElement element;
        element.kind = kind;
        element.item = index;
        element.rect = QRectF(flow.left(), flow.y, flow.width(), plotHeight);
        flow.add(element);
        flow.y += plotHeight;
    };
    if (m_options.histogram)
        plot(ReportElement::HistogramPlot);
    if (m_options.chart)
        plot(ReportElement::ChartPlot);

    if (notes) {
        flow.heading(tr("Notes"));
        if (!item.notes().text.isEmpty())
            flow.wrapped(item.notes().text, BodyFont, flow.left(), flow.width());
        const QList<ItemPhoto> &photos = item.notes().photos;
        const qreal gap = flow.mm(5);
        const qreal width = (flow.width() - gap) / 2;
        const qreal height = flow.mm(62);
        const qreal caption = flow.lineHeight(SmallFont);
        qreal rowTop = flow.y;
        for (int i = 0; i < photos.size(); ++i) {
            if (i % 2 == 0) {
                flow.ensure(gap + height + caption);
                rowTop = flow.y + gap;
            }
            const qreal x = flow.left() + (i % 2) * (width + gap);
            ReportElement picture;
            picture.kind = ReportElement::Picture;
            picture.rect = QRectF(x, rowTop, width, height);
            picture.item = index;
            picture.first = i;
            flow.add(picture);
            flow.text(QRectF(x, rowTop + height, width, caption), photos.at(i).name, SmallFont,
                      Qt::AlignHCenter | Qt::AlignVCenter);
            flow.y = rowTop + height + caption;
        }
        flow.y += flow.mm(2);
    }
    if (!item.exclusionTrail().isEmpty()) {
        flow.heading(tr("Excluded readings (%1 now)").arg(item.excludedCount()));
        // In pieces: painting lays out an element's whole text, however little of it the page
        // shows.
        const QStringList lines = ItemSummary::trailLines(item);
        for (int first = 0; first < lines.size(); first += TrailLinesPerText)
            flow.wrapped(lines.mid(first, TrailLinesPerText).join(QLatin1Char('\n')), BodyFont,
                         flow.left(), flow.width());
    }
    if (m_options.readings != NoReadings)
        layOutReadings(flow, index);
}

void InspectionReport::layOutReadings(Flow &flow, int index)
{
    const ItemData &item = *m_items.at(index);
    const int rows =
        m_options.readings == AllReadings ? item.readings().size() : m_outOfLimits.at(index).size();
    flow.heading(m_options.readings == AllReadings
                     ? tr("Readings (%1)").arg(rows)
                     : tr("Readings out of limits or below the nominal value (%1 of %2)")
                           .arg(rows)
                           .arg(item.readings().size()));
    if (rows == 0) {
        flow.wrapped(tr("None."), BodyFont, flow.left(), flow.width());
        return;
    }
    const qreal headerHeight = m_rowHeight * 1.2;
    for (int first = 0; first < rows;) {
        if (flow.room() < headerHeight + m_rowHeight)
            flow.newPage();
        ReportElement header;
        header.kind = ReportElement::ReadingsHeader;
        header.item = index;
        header.rect = QRectF(flow.left(), flow.y, flow.width(), headerHeight);
        flow.add(header);
        flow.y += headerHeight;
        const int count = std::min(rows - first, std::max(1, int(flow.room() / m_rowHeight)));
        ReportElement body;
        body.kind = ReportElement::ReadingRows;
        body.item = index;
        body.first = first;
        body.count = count;
        body.rect = QRectF(flow.left(), flow.y, flow.width(), count * m_rowHeight);
        flow.add(body);
        flow.y += count * m_rowHeight;
        first += count;
    }
}

void InspectionReport::layOutSignatures(Flow &flow)
{
    const qreal line = flow.lineHeight(BodyFont);
    const qreal space = line * 2.2;
    // The whole block on one page.
    flow.ensure(flow.lineHeight(HeadingFont) * 1.4 + 9 * space);
    flow.heading(tr("Signatures"));
    const qreal labelWidth = flow.mm(45);
    const qreal lineLength = std::min(flow.mm(100), flow.width() - labelWidth);
    const auto signatureLine = [&](const QString &label, const QString &value) {
        flow.y += space - line;
        flow.text(QRectF(flow.left(), flow.y, labelWidth, line), label, BodyFont);
        flow.text(QRectF(flow.left() + labelWidth, flow.y, lineLength, line), value, BodyFont);
        flow.rule(flow.left() + labelWidth, flow.y + line, lineLength);
        flow.y += line;
    };
    const qreal top = flow.y;
    flow.text(QRectF(flow.left(), flow.y, flow.width(), line), tr("Inspector"), BoldFont);
    flow.y += line;
    signatureLine(tr("Name"), m_job.value(JobDetails::Inspector));
    signatureLine(tr("Date"), QString());
    signatureLine(tr("Signature"), QString());
    flow.y = std::max(flow.y, top) + space;
    flow.text(QRectF(flow.left(), flow.y, flow.width(), line),
              tr("Accepted by the client or supervisor"), BoldFont);
    flow.y += line;
    signatureLine(tr("Name"), QString());
    signatureLine(tr("Date"), QString());
    signatureLine(tr("Signature"), QString());
}

bool InspectionReport::paint(QPagedPaintDevice *device, const Progress &progress)
{
    layOut(device);
    QPainter painter;
    if (!painter.begin(device))
        return false;
    bool ok = true;
    for (int page = 0; page < m_pages.size() && ok; ++page) {
        if (page > 0 && !device->newPage()) {
            ok = false;
            break;
        }
        paintPage(painter, page);
        if (progress && !progress(page + 1, m_pages.size()))
            ok = false;
    }
    return painter.end() && ok;
}

QString InspectionReport::save(const QString &fileName, const Progress &progress)
{
    const QString shown = QDir::toNativeSeparators(fileName);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return tr("The report cannot be written to %1: %2.").arg(shown, file.errorString());
    bool stopped = false;
    bool painted = false;
    {
        QPdfWriter writer(&file);
        writer.setTitle(title());
        writer.setCreator(producer());
        writer.setDocumentXmpMetadata(xmpMetadata());
        setUp(&writer);
        painted = paint(&writer, [&](int done, int total) {
            stopped = progress && !progress(done, total);
            return !stopped;
        });
    }
    if (stopped) {
        file.cancelWriting();
        return tr("The report was cancelled; %1 was not changed.").arg(shown);
    }
    if (!painted || file.error() != QFileDevice::NoError || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return tr("The report could not be written in full to %1: %2. An earlier file of that "
                  "name was not changed.")
            .arg(shown, reason);
    }
    return QString();
}

void InspectionReport::paintPage(QPainter &painter, int page) const
{
    const QFont &small = m_fonts[SmallFont];
    const qreal line = QFontMetricsF(small, m_device).lineSpacing();
    const qreal third = m_page.width() / 3;
    const qreal gap = 1.5 * m_dpi / 25.4;
    QPen rule(RuleColor);
    rule.setWidthF(m_dpi / 200);

    const auto band = [&](qreal y, const QStringList &texts) {
        const Qt::Alignment alignments[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
        painter.setPen(Qt::black);
        for (int i = 0; i < 3; ++i) {
            painter.setFont(ReportText::fontFor(texts.at(i), small));
            painter.drawText(QRectF(i * third, y, third, line), alignments[i] | Qt::AlignVCenter,
                             ReportText::elided(texts.at(i), small, third - gap, m_device));
        }
    };
    const QString project = m_job.value(JobDetails::Project).simplified();
    band(0, {m_job.value(JobDetails::Company).simplified(),
             project.isEmpty() ? QString() : tr("Job %1").arg(project), m_pages.at(page).itemName});
    painter.setPen(rule);
    painter.drawLine(QPointF(0, line + gap), QPointF(m_page.width(), line + gap));
    const qreal footer = m_page.height() - line;
    painter.drawLine(QPointF(0, footer - gap), QPointF(m_page.width(), footer - gap));
    band(footer, {producer(), tr("Made %1").arg(m_options.made.toString(TimeFormat)),
                  tr("Page %1 of %2").arg(page + 1).arg(m_pages.size())});

    for (const ReportElement &element : m_pages.at(page).elements)
        paintElement(painter, element);
}

void InspectionReport::paintElement(QPainter &painter, const ReportElement &element) const
{
    switch (element.kind) {
    case ReportElement::Text:
        painter.setFont(ReportText::fontFor(element.text, m_fonts[element.font]));
        painter.setPen(element.color);
        painter.drawText(element.rect, int(element.alignment),
                         ReportText::elided(element.text, m_fonts[element.font],
                                            element.rect.width(), m_device));
        break;
    case ReportElement::WrappedText:
        painter.setPen(element.color);
        ReportText(element.text, m_fonts[element.font], element.rect.width(), m_device)
            .draw(painter, element.rect.topLeft(), element.first, element.count);
        break;
    case ReportElement::Rule: {
        QPen pen(element.color);
        pen.setWidthF(m_dpi / 200);
        painter.setPen(pen);
        painter.drawLine(element.rect.topLeft(), element.rect.topRight());
        break;
    }
    case ReportElement::Picture: {
        const QByteArray bytes =
            element.item < 0 ? m_job.logo()
                             : m_items.at(element.item)->notes().photos.at(element.first).bytes;
        const QImage image = QImage::fromData(bytes);
        if (image.isNull())
            break;
        QSizeF size = image.size();
        size.scale(element.rect.size(), Qt::KeepAspectRatio);
        const QRectF target(element.rect.x() + (element.rect.width() - size.width()) / 2,
                            element.rect.y() + (element.rect.height() - size.height()) / 2,
                            size.width(), size.height());
        painter.drawImage(target, image);
        break;
    }
    case ReportElement::HistogramPlot:
        PageHistogram(*m_items.at(element.item), element.rect, m_fonts[SmallFont], m_device)
            .paint(painter);
        break;
    case ReportElement::ChartPlot:
        PageChart(*m_items.at(element.item), element.rect, m_fonts[SmallFont], m_device)
            .paint(painter);
        break;
    case ReportElement::ReadingsHeader:
        paintReadingsHeader(painter, element.rect);
        break;
    case ReportElement::ReadingRows:
        paintReadingRows(painter, element);
        break;
    }
}

QVector<qreal> InspectionReport::readingColumns(qreal width) const
{
    QVector<qreal> xs{0};
    for (qreal share : ReadingShares)
        xs.append(xs.last() + share * width);
    return xs;
}

void InspectionReport::paintReadingsHeader(QPainter &painter, const QRectF &rect) const
{
    painter.fillRect(rect, HeaderFill);
    painter.setFont(m_fonts[SmallBoldFont]);
    painter.setPen(Qt::black);
    const QVector<qreal> xs = readingColumns(rect.width());
    const QStringList heads{tr("No."),  tr("Time"),  tr("Value"),
                            tr("Unit"), tr("Basis"), tr("Mark")};
    const qreal pad = m_dpi / 25.4;
    for (int c = 0; c < heads.size(); ++c)
        painter.drawText(QRectF(rect.left() + xs.at(c) + pad, rect.top(),
                                xs.at(c + 1) - xs.at(c) - 2 * pad, rect.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, heads.at(c));
}

int InspectionReport::tableReading(int index, int row) const
{
    return m_options.readings == AllReadings ? row : m_outOfLimits.at(index).at(row);
}

void InspectionReport::paintReadingRows(QPainter &painter, const ReportElement &element) const
{
    const ItemData &item = *m_items.at(element.item);
    const QList<DmmData *> readings = item.readings();
    const CoatingEvaluator &evaluation = item.evaluation();
    const QRectF &rect = element.rect;
    const QVector<qreal> xs = readingColumns(rect.width());
    const qreal pad = m_dpi / 25.4;
    const QFont &font = m_fonts[SmallFont];
    const QFontMetricsF metrics(font, m_device);
    painter.setFont(font);
    const QString unit = item.unit();
    for (int k = 0; k < element.count; ++k) {
        const int index = tableReading(element.item, element.first + k);
        const DmmData *reading = readings.at(index);
        const qreal y = rect.top() + k * m_rowHeight;
        if (k % 2 == 1)
            painter.fillRect(QRectF(rect.left(), y, rect.width(), m_rowHeight),
                             QColor(245, 245, 245));
        QString mark;
        QColor color = Qt::black;
        if (item.isExcluded(index)) {
            mark = tr("excluded: %1").arg(item.exclusionReason(index));
            color = NoneColor;
        }
        switch (evaluation.mark(index)) {
        case CoatingEvaluator::Low:
            mark = tr("below minimum");
            color = FailColor;
            break;
        case CoatingEvaluator::High:
            mark = tr("above maximum");
            color = FailColor;
            break;
        case CoatingEvaluator::BelowNominal:
            mark = tr("below nominal");
            color = PendingColor;
            break;
        case CoatingEvaluator::OverRange:
            mark = tr("over range");
            color = NoneColor;
            break;
        case CoatingEvaluator::Excluded:
        case CoatingEvaluator::Unmarked:
            break;
        }
        const QString cells[] = {QString::number(index + 1), reading->time().toString(TimeFormat),
                                 item.textOf(reading),       unit,
                                 reading->basis(),           mark};
        for (int c = 0; c < 6; ++c) {
            const qreal width = xs.at(c + 1) - xs.at(c) - 2 * pad;
            // Only the gauge's own texts can be longer than their column.
            const QString &text = cells[c];
            painter.setPen(c == 5 ? color : QColor(Qt::black));
            painter.drawText(QRectF(rect.left() + xs.at(c) + pad, y, width, m_rowHeight),
                             Qt::AlignLeft | Qt::AlignVCenter,
                             c == 4 && metrics.horizontalAdvance(text) > width
                                 ? metrics.elidedText(text, Qt::ElideRight, width)
                                 : text);
        }
    }
}

QByteArray InspectionReport::xmpMetadata() const
{
    const auto escaped = [](const QString &text) { return text.toHtmlEscaped(); };
    const QString xmp =
        QStringLiteral(
            "<?xpacket begin='\uFEFF' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
            "<x:xmpmeta xmlns:x='adobe:ns:meta/'>\n"
            "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>\n"
            "<rdf:Description rdf:about='' xmlns:dc='http://purl.org/dc/elements/1.1/'"
            " xmlns:xmp='http://ns.adobe.com/xap/1.0/'>\n"
            "<dc:title><rdf:Alt><rdf:li xml:lang='x-default'>%1</rdf:li></rdf:Alt></dc:title>\n"
            "<dc:creator><rdf:Seq><rdf:li>%2</rdf:li></rdf:Seq></dc:creator>\n"
            "<xmp:CreatorTool>%3</xmp:CreatorTool>\n"
            "<xmp:CreateDate>%4</xmp:CreateDate>\n"
            "</rdf:Description>\n</rdf:RDF>\n</x:xmpmeta>\n<?xpacket end='w'?>")
            .arg(escaped(title()), escaped(m_job.value(JobDetails::Inspector)), escaped(producer()),
                 m_options.made.toString(Qt::ISODate));
    return xmp.toUtf8();
}
