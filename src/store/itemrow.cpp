#include "itemrow.h"

#include <QSqlQuery>
#include <QVariant>

void ItemRow::read(const QSqlQuery &query, int first)
{
    uuid = query.value(first).toString();
    kind = query.value(first + 1).toInt();
    name = query.value(first + 2).toString();
    unit = query.value(first + 3).toString();
    position = query.value(first + 4).toLongLong();
    createdMs = query.value(first + 5).toLongLong();
    createdOffset = query.value(first + 6).toInt();
    requirement = query.value(first + 7).toString();
    rangeUm = query.value(first + 8).toDouble();
    notes = query.value(first + 9).toString();
    const QVariant lastSeq = query.value(first + 10);
    readings = lastSeq.isNull() ? 0 : lastSeq.toInt() + 1;
    exclusionEvents = query.value(first + 11).toInt();
}

void ItemRow::addPhoto(const QString &name, qint64 size)
{
    if (!photos.isEmpty())
        photos += QLatin1Char('/');
    photos += name + QLatin1Char(':') + QString::number(size);
}
