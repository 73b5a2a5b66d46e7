#include "workbookimporter.h"

#include <algorithm>
#include <cmath>

#include <QDateTime>

#include "dmmdata.h"
#include "xlsdate.h"
#include "xlsreader.h"

namespace {

enum Cell { TimeCell = 1, ValueCell = 2, UnitCell = 3, BasisCell = 4, CellCount = 5 };

constexpr double MicrometresPerMil = 25.4;
const QString Micrometre = QStringLiteral("\u03BCm");
const QString OverloadText = QStringLiteral("    OL");
const QString NegativeOverloadText = QStringLiteral("   -OL");

QDateTime timeOf(const QVariant &cell)
{
    if (cell.userType() == QMetaType::QDateTime)
        return cell.toDateTime();
    const QDateTime time = XlsDate::fromText(cell.toString());
    return time.isValid() ? time : cell.toDateTime();
}

} // namespace

bool WorkbookImporter::readRows(const QString &fileName, QList<QVariantList> *rows)
{
    XlsReader reader;
    if (!reader.open(fileName))
        return false;
    *rows = reader.rows(CellCount);
    return true;
}

DmmData *WorkbookImporter::readingFromRow(const QVariantList &row)
{
    if (row.size() < CellCount)
        return nullptr;
    const QDateTime time = timeOf(row.at(TimeCell));
    if (!time.isValid())
        return nullptr;

    const QString valueText = row.at(ValueCell).toString();
    const bool overload = valueText.contains(QLatin1Char('L'));
    const double value = valueText.toDouble();
    // "nan" and "inf" read as numbers, but no gauge measures them.
    if (!overload && !std::isfinite(value))
        return nullptr;
    const QString unit = row.at(UnitCell).toString();
    auto *reading = new DmmData;
    reading->setTime(time);
    reading->setUnit(unit);
    reading->setBasis(row.at(BasisCell).toString());

    if (overload) {
        const bool negative = valueText.contains(QLatin1Char('-'));
        const QString text = negative ? NegativeOverloadText : OverloadText;
        reading->setUmValue(0.0);
        reading->setMilValue(0.0);
        reading->setUmText(text);
        reading->setMilText(text);
        reading->setOverload(negative ? -1 : 1);
        return reading;
    }

    if (unit.toLower() == Micrometre) {
        reading->setUmValue(value);
        reading->setMilValue(value / MicrometresPerMil);
        reading->setUmText(valueText);
        reading->setMilText(QString::number(value / MicrometresPerMil, 'f', 2));
    } else {
        reading->setUmValue(value * MicrometresPerMil);
        reading->setMilValue(value);
        reading->setUmText(QString::number(value * MicrometresPerMil, 'f', 0));
        reading->setMilText(valueText);
    }
    reading->setOverload(0);
    return reading;
}

bool WorkbookImporter::isBlankRow(const QVariantList &row)
{
    return std::all_of(row.cbegin(), row.cend(),
                       [](const QVariant &cell) { return cell.toString().isEmpty(); });
}

WorkbookImporter::Outcome WorkbookImporter::readReadings(const QString &fileName,
                                                         QList<DmmData *> *readings)
{
    QList<QVariantList> rows;
    if (!readRows(fileName, &rows))
        return Outcome::Unreadable;
    while (rows.size() > 1 && isBlankRow(rows.last()))
        rows.removeLast();
    for (int row = 1; row < rows.size(); ++row) {
        DmmData *reading = readingFromRow(rows.at(row));
        if (!reading)
            return Outcome::Partial;
        readings->append(reading);
    }
    return Outcome::Complete;
}
