#pragma once

#include <vector>

#include <QList>
#include <QObject>

#include "teamitem.h"
#include "teamreaderstatus.h"
#include "teamworkerthread.h"

class TeamReaderWorker;

// Reads the team's items from the team server on a thread of its own: lists them whenever the
// server says a colleague's rows changed (and every poll interval, for a server whose word does
// not arrive), and fetches an item's readings in parts on request. Nothing is written.
class TeamReader : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(TeamReader)

public:
    static constexpr int PollMs = 60000;

    explicit TeamReader(QObject *parent = nullptr);
    ~TeamReader() override;

    // Starts reading from the server at address (a TeamAddress), leaving out the items of the
    // workspace file at path; replaces a reader already running.
    void start(const QString &path, const QString &address);
    void stop();
    bool isRunning() const { return m_thread.worker() != nullptr; }
    // The readings of item from seq first on, as fetched() parts.
    void fetch(const QString &item, int first);
    // Why each of item's readings is excluded, as an exclusionsFetched().
    void fetchExclusions(const QString &item);
    // The readings of item from seq first on, at once, after what the reader was asked before,
    // and from the first on its trail; false with *error set when the server cannot give them.
    bool readNow(const QString &item, int first, std::vector<WorkspaceConnection::Reading> *rows,
                 QVector<ExclusionEvent> *trail, QString *error);
    // For a reader started afterwards.
    void setPollInterval(int ms) { m_pollMs = ms; }

signals:
    void listed(const QList<TeamItem> &items);
    void fetched(const TeamReadings &part);
    void exclusionsFetched(const TeamExclusions &exclusions);
    void statusChanged(const TeamReaderStatus &status);

private:
    TeamWorkerThread<TeamReaderWorker> m_thread;
    int m_pollMs = PollMs;
};
