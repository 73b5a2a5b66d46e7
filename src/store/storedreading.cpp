#include "storedreading.h"

#include <limits>

#include <QSqlQuery>
#include <QVariant>

#include "dmmdata.h"

WorkspaceConnection::Reading StoredReading::fromQuery(const QSqlQuery &query, int first)
{
    const auto number = [&query](int column) {
        const QVariant value = query.value(column);
        return value.isNull() ? std::numeric_limits<double>::quiet_NaN() : value.toDouble();
    };
    WorkspaceConnection::Reading reading;
    const QVariant ms = query.value(first);
    if (!ms.isNull()) {
        reading.time = QDateTime::fromMSecsSinceEpoch(ms.toLongLong(), Qt::OffsetFromUTC,
                                                      query.value(first + 1).toInt());
    }
    reading.umValue = number(first + 2);
    reading.milValue = number(first + 3);
    reading.umText = query.value(first + 4).toString();
    reading.milText = query.value(first + 5).toString();
    reading.overload = query.value(first + 6).toInt();
    reading.unit = query.value(first + 7).toString();
    reading.basis = query.value(first + 8).toString();
    reading.exclusion = query.value(first + 9).toString();
    return reading;
}

StoredReading::Loaded
StoredReading::toReadings(const std::vector<WorkspaceConnection::Reading> &rows)
{
    Loaded loaded;
    QList<DmmData *> &readings = loaded.readings;
    readings.reserve(int(rows.size()));
    for (const WorkspaceConnection::Reading &row : rows) {
        auto *reading = new DmmData;
        reading->setTime(row.time);
        reading->setUmValue(row.umValue);
        reading->setMilValue(row.milValue);
        reading->setUmText(row.umText);
        reading->setMilText(row.milText);
        reading->setOverload(row.overload);
        reading->setUnit(row.unit);
        reading->setBasis(row.basis);
        readings.append(reading);
        if (!row.exclusion.isEmpty()) {
            loaded.exclusions.resize(readings.size());
            loaded.exclusions.last() = row.exclusion;
        }
    }
    return loaded;
}
