#include "chartpoint.h"

ChartPoint::ChartPoint(double value, const QString &text, const QDateTime &time, int spare1,
                       int spare2, const QVariant &data)
    : spare1(spare1)
    , spare2(spare2)
    , time(time)
    , value(value)
    , text(text)
    , data(data)
{
}
