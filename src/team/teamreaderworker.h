#pragma once

#include <atomic>

#include <QObject>
#include <QString>
#include <QTimer>

#include "teamitem.h"
#include "teamreaderstatus.h"
#include "teamserver.h"

// TeamReader's work on its thread: lists the team's items and fetches their readings, and listens
// for the server's word that a colleague's rows changed. Lives and dies on the reader's thread, as
// its connection and its notifications must.
class TeamReaderWorker : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(TeamReaderWorker)

public:
    // Readings per part of a fetch: a large item arrives in steps the window can show at once.
    static constexpr int PartSize = 20000;

    struct Settings
    {
        // The workspace whose own items are left out; empty for none.
        QString path;
        QString keywords;
        // Why there are no keywords: the address could not be taken.
        QString error;
        int firstRetryMs = 0;
        int maxRetryMs = 0;
        // The slow poll, for a server whose notifications do not arrive.
        int pollMs = 0;
    };

    TeamReaderWorker(const Settings &settings, const std::atomic<bool> *stopping);

public slots:
    void list();
    // Fetches the item's readings from seq first to the last the server holds, in parts. A fetch
    // that fails ends with an empty last part.
    void fetch(const QString &item, int first);
    // Reads why each of the item's readings is excluded, as one exclusionsFetched().
    void fetchExclusions(const QString &item);
    void finish();

public:
    // The item's readings from seq first to the last the server holds, at once, and from the
    // first on its trail; a server in its wait before the next attempt is tried now.
    bool readAll(const QString &item, int first, std::vector<WorkspaceConnection::Reading> *rows,
                 QVector<ExclusionEvent> *trail, QString *error);

signals:
    void listed(const QList<TeamItem> &items);
    void fetched(const TeamReadings &part);
    void exclusionsFetched(const TeamExclusions &exclusions);
    // After a failure, and when the items are read again after one.
    void statusChanged(const TeamReaderStatus &status);

private:
    bool connectServer();
    // Closes the connection and waits before the next attempt, but for a newer server.
    void lost(const QString &error, TeamServer::Outcome outcome);

    Settings m_settings;
    const std::atomic<bool> *m_stopping;
    TeamServer m_server;
    QString m_own;
    QTimer m_retry;
    QTimer m_poll;
    // Gathers the notifications of a burst of batches into one listing.
    QTimer m_settle;
    int m_failures = 0;
    // The server's or the system's words for the last failure.
    QString m_error;
};
