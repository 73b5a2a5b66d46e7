#include <memory>

#include <QCoreApplication>
#include <QDir>
#include <QSignalSpy>
#include <QtTest>

#include "dmmdata.h"
#include "gaugesession.h"
#include "igaugerange.h"
#include "windowfixture.h"

using namespace WindowFixture;

// The gauge session on the scriptable test gauge in Lib, without a window.
class TestGaugeSession : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void bindsThePluginOfLib();
    void connectFollowsThePortAndTheGauge_data();
    void connectFollowsThePortAndTheGauge();
    void liveReadingsOnlyWhileAcquiring();
    void storedReadingsAndProgressPassThrough();

private:
    // Collects the micrometre values of the readings signal passes on, taking them over as the
    // receiver must.
    QList<double> *collect(void (GaugeSession::*signal)(const DmmData *));

    std::unique_ptr<GaugeSession> session;
    QList<double> values;
};

void TestGaugeSession::init()
{
    resetGauge();
    session = std::make_unique<GaugeSession>();
    QDir lib(QCoreApplication::applicationDirPath());
    lib.cd(QStringLiteral("Lib"));
    QVERIFY(session->load(lib, QString()));
}

void TestGaugeSession::cleanup()
{
    session.reset();
}

QList<double> *TestGaugeSession::collect(void (GaugeSession::*signal)(const DmmData *))
{
    values.clear();
    connect(session.get(), signal, this, [this](const DmmData *reading) {
        values << reading->umValue();
        delete reading;
    });
    return &values;
}

void TestGaugeSession::bindsThePluginOfLib()
{
    QCOMPARE(session->boundId(), QStringLiteral("testgauge"));
    // The test gauge does not say how far it measures.
    QCOMPARE(session->rangeUm(), IGaugeRange::DefaultRangeUm);
    QCOMPARE(session->state(), GaugeSession::State::Closed);
    QVERIFY(session->open());
    QCOMPARE(gauge()->property("openCalls").toInt(), 1);
    // Open only once the gauge says so.
    QCOMPARE(session->state(), GaugeSession::State::Closed);
    QMetaObject::invokeMethod(gauge(), "emitOpened");
    QCOMPARE(session->state(), GaugeSession::State::Open);
    session->start();
    QCOMPARE(session->state(), GaugeSession::State::Acquiring);
    QVERIFY(session->requestStoredData());
    QCOMPARE(gauge()->property("requestCalls").toInt(), 1);
}

void TestGaugeSession::connectFollowsThePortAndTheGauge_data()
{
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<bool>("canConnect");
    QTest::newRow("port present at start") << QStringList() << true;
    QTest::newRow("port gone") << QStringList{"absent", "refreshed"} << false;
    QTest::newRow("port back") << QStringList{"absent", "refreshed", "present", "refreshed"}
                               << true;
    QTest::newRow("opened") << QStringList{"opened"} << false;
    QTest::newRow("closed again") << QStringList{"opened", "closed"} << true;
    QTest::newRow("closed as the port went") << QStringList{"opened", "absent", "closed"} << false;
}

void TestGaugeSession::connectFollowsThePortAndTheGauge()
{
    QFETCH(QStringList, events);
    QFETCH(bool, canConnect);
    QSignalSpy changed(session.get(), &GaugeSession::stateChanged);
    for (const QString &event : qAsConst(events)) {
        if (event == QLatin1String("absent") || event == QLatin1String("present"))
            gauge()->setProperty("portPresent", event == QLatin1String("present"));
        else if (event == QLatin1String("refreshed"))
            QMetaObject::invokeMethod(gauge(), "emitUsbRefreshed");
        else if (event == QLatin1String("opened"))
            QMetaObject::invokeMethod(gauge(), "emitOpened");
        else
            QMetaObject::invokeMethod(gauge(), "emitClosed");
    }
    QCOMPARE(session->canConnect(), canConnect);
    QCOMPARE(changed.isEmpty(), events.isEmpty());
}

void TestGaugeSession::liveReadingsOnlyWhileAcquiring()
{
    const QList<double> *readings = collect(&GaugeSession::reading);
    emitReading(1, QStringLiteral("1"));
    session->start(); // closed: nothing to collect from
    emitReading(2, QStringLiteral("2"));
    QMetaObject::invokeMethod(gauge(), "emitOpened");
    emitReading(3, QStringLiteral("3"));
    session->start();
    emitReading(4, QStringLiteral("4"));
    session->stop();
    emitReading(5, QStringLiteral("5"));
    session->start();
    QMetaObject::invokeMethod(gauge(), "emitClosed");
    QVERIFY(!session->isAcquiring());
    emitReading(6, QStringLiteral("6"));
    // The others were deleted by the session (the sanitized suite would see a leak).
    QCOMPARE(*readings, QList<double>{4});
}

void TestGaugeSession::storedReadingsAndProgressPassThrough()
{
    const QList<double> *stored = collect(&GaugeSession::storedReading);
    QSignalSpy progress(session.get(), &GaugeSession::downloadProgress);
    QMetaObject::invokeMethod(gauge(), "emitStoreNum", Q_ARG(int, 2), Q_ARG(int, 1));
    emitStoreReading(7, QStringLiteral("7"));
    QCOMPARE(progress.size(), 1);
    QCOMPARE(progress.first(), QList<QVariant>({2, 1}));
    QCOMPARE(*stored, QList<double>{7});
}

QTEST_MAIN(TestGaugeSession)
#include "tst_gaugesession.moc"
