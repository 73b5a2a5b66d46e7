#include "testgauge.h"

#include "dmmdata.h"

bool TestGauge::open(SerialDeviceInf *)
{
    ++m_openCalls;
    return m_openResult;
}

void TestGauge::close()
{
    ++m_closeCalls;
    m_open = false;
    emit closed();
}

bool TestGauge::requestStoredData()
{
    ++m_requestCalls;
    return true;
}

bool TestGauge::isPortPresent(int vendorId, int productId)
{
    return m_portPresent && vendorId == 0x0483 && productId == 0x5740;
}

void TestGauge::reset()
{
    m_open = false;
    m_portPresent = true;
    m_openResult = true;
    m_openCalls = m_closeCalls = m_requestCalls = 0;
}

void TestGauge::emitOpened()
{
    m_open = true;
    emit opened();
}

void TestGauge::emitClosed()
{
    m_open = false;
    emit closed();
}

DmmData *TestGauge::makeReading(double umValue, const QString &umText, double milValue,
                                const QString &milText, const QString &unit, const QString &basis)
{
    auto *reading = new DmmData();
    reading->setTime(QDateTime(QDate(2026, 12, 1), QTime(8, 0)).addSecs(m_sequence++));
    reading->setUmValue(umValue);
    reading->setUmText(umText);
    reading->setMilValue(milValue);
    reading->setMilText(milText);
    reading->setOverload(0);
    reading->setUnit(unit);
    reading->setBasis(basis);
    return reading;
}

void TestGauge::emitReading(double umValue, const QString &umText, double milValue,
                            const QString &milText, const QString &unit, const QString &basis)
{
    emit display(makeReading(umValue, umText, milValue, milText, unit, basis));
}

void TestGauge::emitStoreReading(double umValue, const QString &umText, double milValue,
                                 const QString &milText, const QString &unit, const QString &basis)
{
    emit displayStore(makeReading(umValue, umText, milValue, milText, unit, basis));
}

void TestGauge::emitOverRange(int overload, const QString &unit, bool stored)
{
    const QString text = overload > 0 ? QStringLiteral("    OL") : QStringLiteral("   -OL");
    DmmData *reading = makeReading(0.0, text, 0.0, text, unit, QStringLiteral("Fe"));
    reading->setOverload(overload);
    if (stored)
        emit displayStore(reading);
    else
        emit display(reading);
}
