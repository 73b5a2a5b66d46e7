#include "dataimporter.h"

#include <algorithm>
#include <optional>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include "csvreader.h"
#include "dmmdata.h"
#include "itemdata.h"
#include "itemstore.h"
#include "readingtext.h"
#include "utcoffsetcache.h"
#include "xlsxexporter.h"
#include "xlsxreader.h"

namespace {

constexpr double MicrometresPerMil = 25.4;
// Columns looked at: the layouts have seven; spreadsheets may add a few of their own.
constexpr int MaxColumns = 64;
constexpr int ProgressRecords = 4096;
const QString Micrometre = QStringLiteral("\u03BCm");
const QString OverloadText = QStringLiteral("    OL");
const QString NegativeOverloadText = QStringLiteral("   -OL");

// Where the columns a reading is read from are, found by their headers; -1 when missing.
struct Columns
{
    int item = -1;
    int time = -1;
    int value = -1;
    int unit = -1;
    int basis = -1;
    int overRange = -1;

    explicit Columns(const QStringList &header)
    {
        const auto is = [](const QString &text, const char *name) {
            return text.compare(QLatin1String(name), Qt::CaseInsensitive) == 0 ||
                   text.compare(QCoreApplication::translate("CsvExporter", name),
                                Qt::CaseInsensitive) == 0;
        };
        for (int i = header.size() - 1; i >= 0; --i) {
            const QString text = header.at(i).trimmed();
            for (auto [column, name] : {std::pair<int *, const char *>{&item, "Item"},
                                        {&time, "Time"},
                                        {&value, "Value"},
                                        {&unit, "Unit"},
                                        {&basis, "Basis"},
                                        {&overRange, "Over range"}}) {
                if (is(text, name))
                    *column = i;
            }
        }
    }
    bool usable() const { return time >= 0 && value >= 0 && unit >= 0; }
};

// "μm" as the unit rule knows it, also when typed with the micro sign or in capitals.
QString unitOf(const QString &text)
{
    QString lower = text.trimmed().toLower();
    lower.replace(QChar(0x00B5), QChar(0x03BC));
    return lower == Micrometre ? Micrometre : text;
}

// The texts of values with a number of decimals, each made once and then shared: a gauge gives
// a few thousand values, so a million readings need only as many texts.
class ValueTexts
{
public:
    explicit ValueTexts(int decimals)
        : m_decimals(decimals)
    {
    }
    const QString &of(double value)
    {
        auto found = m_texts.constFind(value);
        if (found == m_texts.constEnd()) {
            // Values that do not repeat would otherwise fill memory with texts.
            if (m_texts.size() >= MaxTexts)
                m_texts.clear();
            found = m_texts.insert(value, QString::number(value, 'f', m_decimals));
        }
        return found.value();
    }

private:
    static constexpr int MaxTexts = 1 << 16;
    const int m_decimals;
    QHash<double, QString> m_texts;
};

// The texts of the readings of one file in micrometres and in mils.
struct ReadingTexts
{
    ValueTexts um{1};
    ValueTexts mil{2};
};

// A reading as the gauge would have sent it: both values and their texts, with the unit's
// decimals. overRange is 1 or -1 for "OL" and "-OL".
DmmData *makeReading(const QDateTime &time, double value, int overRange, const QString &unit,
                     const QString &basis, ReadingTexts *texts)
{
    auto *reading = new DmmData;
    reading->setTime(time);
    reading->setUnit(unit);
    reading->setBasis(basis);
    reading->setOverload(overRange);
    if (overRange != 0) {
        const QString text = overRange < 0 ? NegativeOverloadText : OverloadText;
        reading->setUmText(text);
        reading->setMilText(text);
        return reading;
    }
    const bool micrometre = unit == Micrometre;
    const double um = micrometre ? value : value * MicrometresPerMil;
    const double mil = micrometre ? value / MicrometresPerMil : value;
    reading->setUmValue(um);
    reading->setMilValue(mil);
    reading->setUmText(texts->um.of(um));
    reading->setMilText(texts->mil.of(mil));
    return reading;
}

// The over-range column's text: 0, 1 or -1 into *overRange; false for other text.
bool overRangeOf(const QString &text, int *overRange)
{
    *overRange = ReadingText::overRange(text);
    return *overRange != 0 || text.trimmed().isEmpty();
}

// The reading's value from the value text and the over-range mark; an empty reason when it is
// sound.
QString valueOf(const QString &text, int *overRange, double *value)
{
    if (*overRange == 0)
        *overRange = ReadingText::overRange(text);
    if (*overRange != 0)
        return QString();
    if (text.trimmed().isEmpty())
        return DataImporter::tr("there is no value");
    if (!ReadingText::number(text, value))
        return DataImporter::tr("the value \"%1\" is not a number").arg(text.left(40));
    return QString();
}

// A field's text, kept while the bytes stay the same: unit, basis and item repeat from line to
// line, and so share one string.
class CachedText
{
public:
    const QString &of(const QByteArray &bytes)
    {
        if (bytes != m_bytes || m_text.isNull()) {
            m_bytes = QByteArray(bytes.constData(), bytes.size());
            m_text = QString::fromUtf8(m_bytes);
        }
        return m_text;
    }

private:
    QByteArray m_bytes;
    QString m_text;
};

} // namespace

DataImporter::~DataImporter()
{
    clear();
}

QString DataImporter::fileFilter()
{
    return tr("Readings (*.xlsx *.csv);;Excel workbook (*.xlsx);;CSV file (*.csv)");
}

void DataImporter::clear()
{
    for (const Item &item : qAsConst(m_items))
        qDeleteAll(item.readings);
    m_items.clear();
    m_notes.clear();
    m_error.clear();
}

bool DataImporter::fail(const QString &error)
{
    clear();
    m_error = error;
    return false;
}

QList<DataImporter::Item> DataImporter::takeItems()
{
    QList<Item> items;
    items.swap(m_items);
    return items;
}

QString DataImporter::uniqueName(const QString &name, const QStringList &taken)
{
    QString unique = name;
    for (int n = 2; taken.contains(unique); ++n)
        unique = QStringLiteral("%1 (%2)").arg(name).arg(n);
    return unique;
}

QList<ItemData *> DataImporter::addTo(ItemStore *store, const QList<Item> &items)
{
    QStringList taken{store->storeData()->name(), store->liveGroup()->name()};
    for (const ItemData *item : store->items())
        taken << item->name();
    QList<ItemData *> added;
    for (const Item &imported : items) {
        const QString name = uniqueName(imported.name, taken);
        taken << name;
        ItemData *item = store->add(name, ItemData::ImportData);
        store->append(item, imported.readings, imported.unit, item->rangeUm());
        added << item;
    }
    return added;
}

bool DataImporter::read(const QString &fileName, const CsvExporter::Progress &progress)
{
    const QFileInfo info(fileName);
    const QString suffix = info.suffix().toLower();
    if (suffix == QLatin1String("xlsx"))
        return readXlsx(fileName, progress);
    if (suffix != QLatin1String("csv"))
        return fail(tr("only .xlsx and .csv files can be imported"));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    return readCsv(&file, info.completeBaseName(), progress);
}

bool DataImporter::readCsv(QIODevice *device, const QString &baseName,
                           const CsvExporter::Progress &progress)
{
    clear();
    CsvReader csv(device);
    if (!csv.readRecord())
        return fail(csv.errorString().isEmpty() ? tr("the file is empty") : csv.errorString());
    QStringList header;
    for (int i = 0; i < csv.fieldCount() && i < MaxColumns; ++i)
        header << csv.text(i);
    const Columns columns(header);
    if (!columns.usable())
        return fail(tr("its first line is no header with the columns Time, Value and Unit"));
    const int fields = csv.fieldCount();
    const qint64 total = device->isSequential() ? 0 : device->size();

    QHash<QString, int> itemIndex;
    UtcOffsetCache offsets;
    ReadingTexts texts;
    CachedText itemText;
    CachedText unitText;
    CachedText basisText;
    qint64 records = 0;
    while (csv.readRecord()) {
        const auto bad = [&csv](const QString &why) {
            return tr("line %1: %2").arg(csv.line()).arg(why);
        };
        if (csv.fieldCount() != fields)
            return fail(bad(tr("%1 fields where the header has %2; are ',' and ';' mixed?")
                                .arg(csv.fieldCount())
                                .arg(fields)));
        const QByteArray timeBytes = csv.field(columns.time);
        const QDateTime time = ReadingText::time(timeBytes.constData(), timeBytes.size(), &offsets);
        if (!time.isValid())
            return fail(
                bad(tr("the time \"%1\" cannot be read").arg(csv.text(columns.time).left(40))));
        int overRange = 0;
        if (columns.overRange >= 0 && !overRangeOf(csv.text(columns.overRange), &overRange))
            return fail(bad(tr("the over-range mark is neither OL nor -OL")));
        double value = 0.0;
        const QString why = valueOf(csv.text(columns.value), &overRange, &value);
        if (!why.isEmpty())
            return fail(bad(why));
        const QString unit = unitOf(unitText.of(csv.field(columns.unit)));
        const QString basis =
            columns.basis >= 0 ? basisText.of(csv.field(columns.basis)) : QString();
        QString name = columns.item >= 0 ? itemText.of(csv.field(columns.item)) : QString();
        if (name.trimmed().isEmpty())
            name = baseName;
        auto found = itemIndex.constFind(name);
        if (found == itemIndex.constEnd()) {
            found = itemIndex.insert(name, m_items.size());
            m_items.append({name, QString(), {}});
        }
        Item &item = m_items[found.value()];
        item.readings.append(makeReading(time, value, overRange, unit, basis, &texts));
        item.unit = unit;
        if (++records % ProgressRecords == 0 && progress && !progress(csv.position(), total))
            return fail(QString());
    }
    if (!csv.errorString().isEmpty())
        return fail(csv.errorString());
    if (m_items.isEmpty())
        return fail(tr("it holds no readings"));
    if (progress)
        progress(total, total);
    return true;
}

bool DataImporter::readXlsx(const QString &fileName, const CsvExporter::Progress &progress)
{
    clear();
    XlsxReader reader;
    if (!reader.open(fileName))
        return fail(reader.errorString());
    const QList<XlsxReader::Sheet> &sheets = reader.sheets();
    const QString summary = XlsxExporter::tr("Summary");
    const auto isSummary = [&summary](const QString &name) {
        return name == summary || name == QLatin1String("Summary");
    };
    qint64 total = 0;
    for (const XlsxReader::Sheet &sheet : sheets)
        total += isSummary(sheet.name) ? 0 : sheet.size;
    qint64 before = 0;
    UtcOffsetCache offsets;
    ReadingTexts texts;
    // An item longer than a sheet goes on over the next sheets, named "Measure1 (2)" and so on.
    static const QRegularExpression continued(QStringLiteral("^(.*) \\((\\d+)\\)$"));
    bool previousFull = false;

    for (int index = 0; index < sheets.size(); ++index) {
        const XlsxReader::Sheet &sheet = sheets.at(index);
        const bool continues = previousFull;
        previousFull = false;
        if (isSummary(sheet.name))
            continue;
        Item item{sheet.name, QString(), {}};
        std::optional<Columns> columns;
        QString problem;
        bool inLayout = true;
        const auto takeRow = [&](int row, const QVariantList &cells) {
            if (!columns) {
                QStringList header;
                for (const QVariant &cell : cells)
                    header << cell.toString();
                columns.emplace(header);
                inLayout = columns->usable();
                return inLayout;
            }
            const auto cell = [&cells](int column) {
                return column >= 0 && column < cells.size() ? cells.at(column) : QVariant();
            };
            // Only an absent cell or a text can be empty: no number is made a text to tell.
            const auto isEmpty = [](const QVariant &value) {
                return !value.isValid() || (value.userType() == QMetaType::QString &&
                                            value.toString().trimmed().isEmpty());
            };
            if (std::all_of(cells.cbegin(), cells.cend(), isEmpty))
                return true;
            const auto bad = [&](const QString &why) {
                problem = tr("sheet %1, row %2: %3").arg(sheet.name).arg(row + 1).arg(why);
                return false;
            };
            const QVariant timeCell = cell(columns->time);
            const QDateTime time = timeCell.userType() == QMetaType::QDateTime
                                       ? timeCell.toDateTime()
                                       : ReadingText::time(timeCell.toString(), &offsets);
            if (!time.isValid())
                return bad(tr("the time \"%1\" cannot be read").arg(timeCell.toString().left(40)));
            int overRange = 0;
            if (!overRangeOf(cell(columns->overRange).toString(), &overRange))
                return bad(tr("the over-range mark is neither OL nor -OL"));
            const QVariant valueCell = cell(columns->value);
            double value = valueCell.toDouble();
            if (valueCell.userType() != QMetaType::Double || overRange != 0) {
                const QString why = valueOf(valueCell.toString(), &overRange, &value);
                if (!why.isEmpty())
                    return bad(why);
            }
            const QString unit = unitOf(cell(columns->unit).toString());
            item.readings.append(
                makeReading(time, value, overRange, unit, cell(columns->basis).toString(), &texts));
            item.unit = unit;
            return true;
        };
        const auto step = [&](qint64 read) { return !progress || progress(before + read, total); };
        const bool read = reader.readSheet(index, MaxColumns, takeRow, step);
        before += sheet.size;
        if (!read && inLayout) {
            qDeleteAll(item.readings);
            if (!problem.isEmpty())
                return fail(problem);
            return fail(reader.errorString());
        }
        if (!inLayout || item.readings.isEmpty()) {
            qDeleteAll(item.readings);
            m_notes << (inLayout ? tr("Sheet %1 holds no readings.").arg(sheet.name)
                                 : tr("Sheet %1 is not in the layout of readings and was left out.")
                                       .arg(sheet.name));
            continue;
        }
        previousFull = item.readings.size() == XlsxExporter::MaxDataRows;
        const QRegularExpressionMatch part = continued.match(sheet.name);
        if (continues && part.hasMatch() && m_items.last().name.startsWith(part.captured(1))) {
            m_items.last().readings += item.readings;
            m_items.last().unit = item.unit;
            continue;
        }
        m_items.append(item);
    }
    if (m_items.isEmpty())
        return fail(tr("no sheet holds readings in the layout No., Time, Value, Unit, Basis"));
    if (progress)
        progress(total, total);
    return true;
}
