#include "coatingverdict.h"

#include <QCoreApplication>
#include <QStringList>

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("CoatingVerdict", text);
}
} // namespace

QString CoatingVerdict::stateText() const
{
    switch (state) {
    case Pending:
        return tr("PENDING");
    case Pass:
        return tr("PASS");
    case Fail:
        return tr("FAIL");
    case NotJudged:
        break;
    }
    return QString();
}

QString CoatingVerdict::headline() const
{
    switch (state) {
    case Pending:
        return pending.isEmpty() ? stateText() : stateText() + QStringLiteral(": ") + pending;
    case Fail:
        return stateText() + QStringLiteral(": ") + failures.first().text;
    case Pass:
    case NotJudged:
        break;
    }
    return stateText();
}

QString CoatingVerdict::readingList(const Failure &failure)
{
    if (failure.readings.isEmpty())
        return QString();
    QStringList numbers;
    for (int number : failure.readings)
        numbers.append(QString::number(number));
    QString text = tr("No. %1").arg(numbers.join(QStringLiteral(", ")));
    const int more = failure.readingCount - failure.readings.size();
    if (more > 0)
        text += tr(" and %1 more").arg(more);
    return text;
}
