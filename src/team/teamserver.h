#pragma once

#include <functional>
#include <vector>

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include "teamitem.h"
#include "workspacereader.h"

class QSqlDriver;
class QSqlError;
class QSqlQuery;

// The connection to a team server, used by one thread: the schema, what the server holds of a
// workspace, and the writes of a sync. Every write is keyed by the workspace's identities, so
// that repeating one after a lost answer changes nothing.
class TeamServer
{
public:
    enum class Outcome { Ready, Unreachable, Refused, Newer, Failed };

    // name is the Qt connection's name, unique in the process.
    explicit TeamServer(const QString &name);
    ~TeamServer();
    TeamServer(const TeamServer &) = delete;
    TeamServer &operator=(const TeamServer &) = delete;

    // Connects with libpq's keywords and creates or upgrades the tables. Anything but Ready
    // leaves the connection closed with *error set; Newer sets it to the server's version.
    Outcome open(const QString &keywords, QString *error);
    bool isOpen() const;
    void close();
    // The role the connection acts as.
    QString role() const { return m_role; }
    // Refused when the last failure was the server refusing the role, else Unreachable.
    Outcome lastFailure() const { return m_lastFailure; }

    // The role's items of the workspace, by uuid, their photos summed up as ItemRow's are.
    bool items(const QString &workspace, QHash<QString, ItemRow> *items, QString *error);
    // Refused when another computer syncs the workspace: its file was copied.
    bool putWorkspace(const WorkspaceReader::Snapshot &snapshot, QString *error);
    // photos null leaves the item's photos as they are.
    bool putItem(const QString &workspace, const ItemRow &item,
                 const QList<WorkspaceReader::Photo> *photos, QString *error);
    bool removeItem(const QString &uuid, QString *error);
    // Readings of one item in one transaction, ending with a notification to the team.
    bool putReadings(const QString &item, const std::vector<WorkspaceReader::Reading> &readings,
                     QString *error);

    // The item's exclusion trail from event first on becomes events, and each reading they name
    // takes the reason of its last one, in one transaction.
    bool putExclusions(const QString &item, int first, const QVector<ExclusionEvent> &events,
                       QString *error);
    // The items the role may read, but for those of the workspace own, by inspector, job and
    // place in the tree.
    bool teamItems(const QString &own, QList<TeamItem> *items, QString *error);
    // The item's readings from seq first on, in order, handed to part limit at a time (fewer only
    // in the last part, which may be empty) until part returns false.
    bool readings(const QString &item, int first, int limit,
                  const std::function<bool(std::vector<WorkspaceConnection::Reading> *)> &part,
                  QString *error);
    // Why each excluded reading of the item is excluded, by seq; shorter than the readings when
    // the last ones count.
    bool exclusions(const QString &item, QVector<QString> *reasons, QString *error);
    // The item's exclusion trail, oldest first.
    bool trail(const QString &item, QVector<ExclusionEvent> *events, QString *error);
    // Where the server's notifications arrive, on the connection's thread.
    QSqlDriver *driver() const;

    // This computer, as the server tells the writers of workspaces apart.
    static QString thisComputer();
    static bool sameItem(const ItemRow &a, const ItemRow &b);

private:
    bool failed(const QSqlError &error, QString *text);
    bool exec(const QString &statement, QString *error);
    // Runs sql with values bound in order and hands each row of the result to row.
    bool eachRow(const QString &sql, const QVariantList &values,
                 const std::function<void(const QSqlQuery &)> &row, QString *error);
    // Tells the team, inside the transaction, that the role's rows changed.
    bool notifyTeam(QString *error);

    QString m_name;
    QSqlDatabase m_db;
    QString m_role;
    Outcome m_lastFailure = Outcome::Unreachable;
};
