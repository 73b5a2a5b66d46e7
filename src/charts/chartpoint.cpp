#include "chartpoint.h"

ChartPoint::ChartPoint(double value, const QDateTime &time, const QVariant &data)
    : time(time)
    , value(value)
    , data(data)
{
}
