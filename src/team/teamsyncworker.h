#pragma once

#include <atomic>

#include <QHash>
#include <QObject>
#include <QTimer>

#include "teamserver.h"
#include "teamsyncstatus.h"
#include "workspacereader.h"

// TeamSync's work on its thread: each cycle compares the workspace with what the server holds of
// it and sends the difference. Lives and dies on the sync's thread, as its connections must.
class TeamSyncWorker : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(TeamSyncWorker)

public:
    // Readings per transaction: large enough that the server's commit costs little per reading,
    // small enough that a lost connection repeats little.
    static constexpr int BatchSize = 5000;
    // The shortest time between two reports of the readings waiting.
    static constexpr int ReportMs = 250;

    struct Settings
    {
        QString path;
        // libpq's keywords; empty with error set when the address could not be read.
        QString keywords;
        QString error;
        int firstRetryMs = 0;
        int maxRetryMs = 0;
    };

    TeamSyncWorker(const Settings &settings, const std::atomic<bool> *stopping);

public slots:
    void wake();
    // Closes both connections on the worker's thread.
    void finish();

signals:
    void statusChanged(const TeamSyncStatus &status);

private:
    void cycle();
    bool connectServer();
    // False after a failure, with *error set.
    bool sync(QString *error);
    bool sendReadings(const WorkspaceReader::Item &item, QString *error);
    // The exclusion trail's new entries, or its end when it was cleared.
    bool sendExclusions(const WorkspaceReader::Item &item, QString *error);
    void retry(TeamSyncStatus::State state, const QString &detail);
    void report(TeamSyncStatus::State state, bool force = true);

    Settings m_settings;
    const std::atomic<bool> *m_stopping;
    WorkspaceReader m_reader;
    TeamServer m_server;
    QTimer m_timer;
    // What the server holds of this workspace's items, by uuid; valid while m_known is true.
    QHash<QString, ItemRow> m_items;
    bool m_known = false;
    // The job's details and logo as last sent; empty uuid for none since connecting.
    WorkspaceReader::Snapshot m_sentWorkspace;
    int m_failures = 0;
    bool m_stopped = false;
    qint64 m_waiting = -1;
    qint64 m_lastReportMs = 0;
};
