#pragma once

#include <QObject>

#include "teamsyncstatus.h"
#include "teamworkerthread.h"

class TeamSyncWorker;

// Copies a workspace to a team server on a thread of its own, in the background: the items in
// tree order, each item's readings in order, a batch to a transaction. What the server already
// holds is asked of the server, so a sync that stopped for any reason resumes where it stopped
// and a batch sent twice adds nothing. The workspace file is only read.
class TeamSync : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(TeamSync)

public:
    // After a failure the first retry waits FirstRetryMs, each further one twice as long, up to
    // MaxRetryMs.
    static constexpr int FirstRetryMs = 5000;
    static constexpr int MaxRetryMs = 300000;

    explicit TeamSync(QObject *parent = nullptr);
    ~TeamSync() override;

    // Starts syncing the workspace file at path to the server at address (a TeamAddress);
    // replaces a sync already running.
    void start(const QString &path, const QString &address);
    void stop();
    bool isRunning() const { return m_thread.worker() != nullptr; }
    // For a sync started afterwards.
    void setRetryDelays(int firstMs, int maxMs);

public slots:
    // The workspace committed changes.
    void wake();

signals:
    void statusChanged(const TeamSyncStatus &status);

private:
    TeamWorkerThread<TeamSyncWorker> m_thread;
    int m_firstRetryMs = FirstRetryMs;
    int m_maxRetryMs = MaxRetryMs;
};
