#include "xlsxexporter.h"

#include <algorithm>
#include <cmath>

#include <xlsxwriter.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>

#include "dmmdata.h"
#include "itemdata.h"
#include "itemsummary.h"

namespace {
constexpr int MaxSheetName = 31;
constexpr int ProgressEvery = 4096;

QByteArray utf8(const QString &text)
{
    return text.toUtf8();
}

lxw_datetime cellTime(const QDateTime &time)
{
    const QDate d = time.date();
    const QTime t = time.time();
    return {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second() + t.msec() / 1000.0};
}

QString markText(CoatingEvaluator::Mark mark)
{
    switch (mark) {
    case CoatingEvaluator::Low:
        return XlsxExporter::tr("below the minimum");
    case CoatingEvaluator::High:
        return XlsxExporter::tr("above the maximum");
    case CoatingEvaluator::BelowNominal:
        return XlsxExporter::tr("below NDFT");
    case CoatingEvaluator::Unmarked:
    case CoatingEvaluator::OverRange:
    case CoatingEvaluator::Excluded:
        break;
    }
    return QString();
}

// One open workbook; closes it (and so lets go of the file) whatever happens.
class Book
{
public:
    explicit Book(const QString &fileName, const QString &tmpdir)
        : m_tmpdir(utf8(tmpdir))
    {
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        options.tmpdir = m_tmpdir.data();
        options.use_zip64 = LXW_TRUE;
        m_book = workbook_new_opt(utf8(fileName).constData(), &options);
    }
    ~Book()
    {
        if (m_book)
            workbook_close(m_book);
    }
    Book(const Book &) = delete;
    Book &operator=(const Book &) = delete;

    lxw_workbook *get() const { return m_book; }
    lxw_error close()
    {
        lxw_workbook *book = m_book;
        m_book = nullptr;
        return workbook_close(book);
    }

private:
    QByteArray m_tmpdir;
    lxw_workbook *m_book = nullptr;
};
// The sheet of every exclusion and re-inclusion; true when there is none to write.
bool writeTrail(lxw_workbook *wb, const QList<const ItemData *> &items, lxw_format *bold,
                lxw_format *timeFormat, QStringList *taken)
{
    const bool any = std::any_of(items.cbegin(), items.cend(), [](const ItemData *item) {
        return !item->exclusionTrail().isEmpty();
    });
    if (!any)
        return true;
    lxw_worksheet *sheet = workbook_add_worksheet(
        wb,
        utf8(XlsxExporter::sheetName(XlsxExporter::tr("Exclusion trail"), 1, taken)).constData());
    if (!sheet)
        return false;
    const QStringList header{XlsxExporter::tr("Item"),   XlsxExporter::tr("No."),
                             XlsxExporter::tr("Change"), XlsxExporter::tr("Reason"),
                             XlsxExporter::tr("By"),     XlsxExporter::tr("Time")};
    for (int column = 0; column < header.size(); ++column)
        worksheet_write_string(sheet, 0, lxw_col_t(column), utf8(header.at(column)).constData(),
                               bold);
    worksheet_set_column(sheet, 5, 5, 20, nullptr);
    lxw_row_t row = 1;
    for (const ItemData *item : items) {
        const QByteArray name = utf8(item->name());
        for (const ExclusionEvent &event : item->exclusionTrail()) {
            worksheet_write_string(sheet, row, 0, name.constData(), nullptr);
            worksheet_write_number(sheet, row, 1, event.reading + 1, nullptr);
            worksheet_write_string(sheet, row, 2,
                                   utf8(event.excluded ? XlsxExporter::tr("excluded")
                                                       : XlsxExporter::tr("included again"))
                                       .constData(),
                                   nullptr);
            worksheet_write_string(sheet, row, 3, utf8(event.reason).constData(), nullptr);
            worksheet_write_string(sheet, row, 4, utf8(event.who).constData(), nullptr);
            lxw_datetime time = cellTime(event.when);
            worksheet_write_datetime(sheet, row, 5, &time, timeFormat);
            ++row;
        }
    }
    return true;
}

} // namespace

QString XlsxExporter::sheetName(const QString &itemName, int part, QStringList *taken)
{
    QString base;
    for (const QChar c : itemName)
        base +=
            QStringLiteral("[]:*?/\\").contains(c) || c < QLatin1Char(' ') ? QLatin1Char('_') : c;
    while (base.startsWith(QLatin1Char('\'')))
        base.remove(0, 1);
    while (base.endsWith(QLatin1Char('\'')))
        base.chop(1);
    if (base.trimmed().isEmpty())
        base = tr("Item");
    const auto named = [&base](int n) {
        const QString suffix = n > 1 ? QStringLiteral(" (%1)").arg(n) : QString();
        return base.left(MaxSheetName - suffix.size()) + suffix;
    };
    QString name = named(part);
    for (int n = part + 1; taken->contains(name, Qt::CaseInsensitive) ||
                           name.compare(tr("Summary"), Qt::CaseInsensitive) == 0;
         ++n)
        name = named(n);
    taken->append(name);
    return name;
}

bool XlsxExporter::writeFile(const QString &fileName, const QList<const ItemData *> &items,
                             const CsvExporter::Progress &progress, QString *error,
                             QStringList *notes)
{
    // Written aside first, then put in place whole.
    QTemporaryDir work(
        QDir(QFileInfo(fileName).absolutePath()).filePath(QStringLiteral(".rq6814-XXXXXX")));
    if (!work.isValid()) {
        *error = tr("no temporary folder can be made beside the file (%1)").arg(work.errorString());
        return false;
    }
    const QString draft = work.filePath(QStringLiteral("draft.xlsx"));
    Book book(draft, work.path());
    if (!book.get()) {
        *error = tr("the workbook cannot be started");
        return false;
    }
    lxw_workbook *wb = book.get();
    lxw_format *bold = workbook_add_format(wb);
    format_set_bold(bold);
    lxw_format *timeFormat = workbook_add_format(wb);
    format_set_num_format(timeFormat, "yyyy-mm-dd hh:mm:ss");
    lxw_format *micrometres = workbook_add_format(wb);
    format_set_num_format(micrometres, "0.0");
    lxw_format *mils = workbook_add_format(wb);
    format_set_num_format(mils, "0.00");

    qint64 total = 0;
    for (const ItemData *item : items)
        total += item->readings().size();
    qint64 written = 0;
    QStringList taken{tr("Summary")};
    // Readings of an item share their basis, mostly: converted once, not once per reading.
    QString basis;
    QByteArray basisBytes = utf8(basis);
    lxw_worksheet *summary = workbook_add_worksheet(wb, utf8(tr("Summary")).constData());

    for (const ItemData *item : items) {
        const QList<DmmData *> readings = item->readings();
        const bool judged = item->requirement().isSet();
        const bool micrometre = item->isMicrometre();
        lxw_format *valueFormat = micrometre ? micrometres : mils;
        const QByteArray unit = utf8(item->unit());
        const int sheets = std::max(1, int((readings.size() + MaxDataRows - 1) / MaxDataRows));
        if (sheets > 1)
            notes->append(tr("%1 continues over %2 sheets.").arg(item->name()).arg(sheets));
        for (int part = 1; part <= sheets; ++part) {
            lxw_worksheet *sheet =
                workbook_add_worksheet(wb, utf8(sheetName(item->name(), part, &taken)).constData());
            if (!sheet) {
                *error = tr("a sheet cannot be added for %1").arg(item->name());
                return false;
            }
            QStringList header{tr("No."),  tr("Time"),  tr("Value"),
                               tr("Unit"), tr("Basis"), tr("Over range")};
            if (judged)
                header << tr("Mark");
            // Last, so that the columns before stay where they always were.
            const lxw_col_t excludedColumn = lxw_col_t(header.size());
            header << tr("Excluded");
            for (int column = 0; column < header.size(); ++column)
                worksheet_write_string(sheet, 0, lxw_col_t(column),
                                       utf8(header.at(column)).constData(), bold);
            worksheet_set_column(sheet, 1, 1, 20, nullptr);
            const int first = (part - 1) * MaxDataRows;
            const int last = std::min<int>(readings.size(), first + MaxDataRows);
            for (int i = first; i < last; ++i) {
                const DmmData *reading = readings.at(i);
                const lxw_row_t row = lxw_row_t(i - first + 1);
                worksheet_write_number(sheet, row, 0, i + 1, nullptr);
                if (reading->time().isValid()) {
                    lxw_datetime time = cellTime(reading->time());
                    worksheet_write_datetime(sheet, row, 1, &time, timeFormat);
                }
                const double value = ItemData::valueOf(reading, micrometre);
                if (std::isfinite(value))
                    worksheet_write_number(sheet, row, 2, value, valueFormat);
                else
                    worksheet_write_string(sheet, row, 5, value < 0 ? "-OL" : "OL", nullptr);
                worksheet_write_string(sheet, row, 3, unit.constData(), nullptr);
                if (reading->basis() != basis) {
                    basis = reading->basis();
                    basisBytes = utf8(basis);
                }
                worksheet_write_string(sheet, row, 4, basisBytes.constData(), nullptr);
                if (judged) {
                    const QString mark = markText(item->evaluation().mark(i));
                    if (!mark.isEmpty())
                        worksheet_write_string(sheet, row, 6, utf8(mark).constData(), nullptr);
                }
                if (item->isExcluded(i))
                    worksheet_write_string(sheet, row, excludedColumn,
                                           utf8(item->exclusionReason(i)).constData(), nullptr);
                if (++written % ProgressEvery == 0 && progress && !progress(written, total)) {
                    error->clear();
                    return false;
                }
            }
        }
    }

    // The summary: a block per item, its statistics, then the judgement when it has one.
    lxw_row_t row = 0;
    worksheet_set_column(summary, 0, 0, 24, nullptr);
    worksheet_set_column(summary, 1, 1, 40, nullptr);
    for (const ItemData *item : items) {
        const StatData *s = item->statistics();
        ItemSummary::Rows rows{{tr("Item"), item->name()},
                               {tr("Unit"), item->unit()},
                               {tr("Readings"), QString::number(s->num)},
                               {tr("Over range"), QString::number(s->overRange)},
                               {tr("Excluded"), QString::number(s->excluded)},
                               {tr("Mean"), s->avg},
                               {tr("Min"), s->min},
                               {tr("Max"), s->max},
                               {tr("SD"), s->sd},
                               {tr("CV"), s->cv}};
        rows += ItemSummary::rows(*item, false);
        for (const auto &pair : qAsConst(rows)) {
            worksheet_write_string(summary, row, 0, utf8(pair.first).constData(),
                                   pair.first == tr("Item") ? bold : nullptr);
            worksheet_write_string(summary, row, 1, utf8(pair.second).constData(), nullptr);
            ++row;
        }
        ++row;
    }
    if (!writeTrail(wb, items, bold, timeFormat, &taken)) {
        *error = tr("a sheet cannot be added for the exclusion trail");
        return false;
    }
    worksheet_activate(summary);

    if (const lxw_error failed = book.close()) {
        *error = QString::fromUtf8(lxw_strerror(failed));
        return false;
    }
    if (progress)
        progress(written, total);

    QFile done(draft);
    QSaveFile target(fileName);
    if (!done.open(QIODevice::ReadOnly) || !target.open(QIODevice::WriteOnly)) {
        *error = done.isOpen() ? target.errorString() : done.errorString();
        return false;
    }
    while (!done.atEnd()) {
        const QByteArray block = done.read(1 << 20);
        if (target.write(block) != block.size()) {
            *error = target.errorString();
            target.cancelWriting();
            return false;
        }
    }
    if (!target.commit()) {
        *error = target.errorString();
        return false;
    }
    return true;
}
