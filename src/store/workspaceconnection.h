#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QVector>

#include "exclusionevent.h"
#include "itemnotes.h"

class QSqlDatabase;
class QSqlQuery;
struct WorkspaceStatements;

// The one connection to a workspace database, owned by a thread of its own so that writing never
// holds up the window. Changes are posted without waiting and committed together, one transaction
// at the latest CommitDelayMs after the first of them; the other operations wait for the thread,
// which first commits what was posted before them. failed() is emitted from the thread and reaches
// receivers in other threads through their event loops.
class WorkspaceConnection : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(WorkspaceConnection)

public:
    // Readings arrive in bursts; a short wait gathers them into one commit and stays well inside
    // the quarter second a reading may wait before it is safe on disk.
    static constexpr int CommitDelayMs = 50;
    // A change older than this that is not yet on disk holds up post() until it is: when the
    // thread cannot keep up, the readings wait rather than the quarter second being broken.
    static constexpr int MaxPendingMs = 150;
    // How long a write waits for a lock another program holds on the file before it fails.
    static constexpr int BusyTimeoutMs = 2000;

    enum class OpenResult { Ready, Damaged, Newer, Failed };

    struct Reading
    {
        QDateTime time;
        double umValue = 0.0;
        double milValue = 0.0;
        QString umText;
        QString milText;
        int overload = 0;
        QString unit;
        QString basis;
        // Why the reading is excluded; empty when it counts.
        QString exclusion;
    };

    struct StoredItem
    {
        qint64 id = 0;
        int kind = 0;
        QString name;
        QString unit;
        bool active = false;
        int readings = 0;
        QString requirement;
        double rangeUm = 0.0;
        ItemNotes notes;
    };

    struct Change
    {
        enum Kind {
            AddItem,
            Rename,
            SetUnit,
            SetRequirement,
            SetKind,
            SetRange,
            Activate,
            ClearReadings,
            RemoveItem,
            AddReading,
            // An empty text or logo removes the row.
            SetNote,
            ClearPhotos,
            AddPhoto,
            SetJobDetail,
            SetLogo,
            // The readings of seqs excluded for text (included again when empty) by key at time:
            // their rows take the reason and the trail events from number on are added.
            Exclude
        };
        Kind kind = AddItem;
        qint64 item = 0;
        // AddItem, SetKind: the kind of item; AddReading, AddPhoto: the place in its item.
        qint64 number = 0;
        // AddItem: the position in the tree.
        qint64 position = 0;
        // AddItem, Rename, SetUnit, SetRequirement, SetNote: the text; AddPhoto: the photo's
        // name; SetJobDetail: the value.
        QString text;
        // SetJobDetail: the field's key.
        QString key;
        // AddPhoto, SetLogo: the image file's bytes.
        QByteArray bytes;
        // SetRange: the range in micrometres.
        double value = 0.0;
        QDateTime time;
        Reading reading;
        // Exclude: the readings' places in their item.
        QVector<int> seqs;
    };

    WorkspaceConnection();
    ~WorkspaceConnection() override;

    enum class Access { ReadWrite, ReadOnly };

    // ReadOnly writes nothing, not even the journal mode or an upgrade of the tables: a workspace
    // of another version is Failed.
    OpenResult open(const QString &path, QString *error, Access access = Access::ReadWrite);
    void close();
    bool items(QList<StoredItem> *items, qint64 *nextId, qint64 *nextPosition, QString *error);
    // The readings of item with first <= seq < end, in order.
    bool readings(qint64 item, int first, int end, std::vector<Reading> *readings, QString *error);
    // Readings read in the background and, with the first of an item, its exclusion trail.
    struct Part
    {
        std::vector<Reading> readings;
        QVector<ExclusionEvent> trail;
        bool ok = false;
        QString error;
    };
    // Reads the readings first to first + count - 1 of item, and its trail when withTrail, after
    // the changes posted before and returns at once; done runs later in receiver's thread, unless
    // receiver is gone by then.
    using PartRead = std::function<void(Part &part)>;
    void readReadingsLater(qint64 item, int first, int count, bool withTrail, QObject *receiver,
                           const PartRead &done);
    // The item's exclusion trail, oldest first.
    bool exclusionTrail(qint64 item, QVector<ExclusionEvent> *trail, QString *error);
    // The job's details by key, and its logo.
    bool jobDetails(QHash<QString, QString> *values, QByteArray *logo, QString *error);
    // Commits everything posted so far.
    bool flush(QString *error);

    // Hands the change over; waits only when older changes are long overdue.
    void post(Change change);
    // Deletes the readings of an item with seq below end after the changes posted before, a
    // portion per transaction, so that the changes posted meanwhile wait for no long delete; a
    // RemoveItem leaves the readings to this.
    void removeReadings(qint64 item, int end);

signals:
    // A batch of changes is on disk; emitted from the connection's thread.
    void committed();
    // Nothing posted after a failure is written any more.
    void failed(const QString &error);

private:
    void run();
    // Runs task on the connection's thread after the changes posted before it, and waits for it.
    void call(const std::function<void()> &task);
    // Queues task as call() does, without waiting for it.
    void enqueue(const std::function<void()> &task);
    // On the connection's thread: the readings of item with first <= seq < end, in order.
    bool readRange(qint64 item, int first, int end, std::vector<Reading> *readings, QString *error);
    bool readTrail(qint64 item, QVector<ExclusionEvent> *trail, QString *error);
    void apply(std::vector<Change> &changes);
    // Runs work in a transaction; a failure, of work or of the commit, stops all writing.
    void transact(const std::function<bool(QString *error)> &work);
    // Called with the mutex held after a batch is written.
    void settle();
    bool applyOne(const Change &change, QString *error);
    bool applyExclusion(const Change &change, QString *error);
    OpenResult openDatabase(const QString &path, QString *error, Access access);
    // The statements of the open database db; on failure none.
    OpenResult readyStatements(const QSqlDatabase &db, QString *error);
    // Binds an AddReading's row to query's placeholders from first on.
    void bindReading(QSqlQuery &query, int first, const Change &change);
    void closeDatabase();

    QString m_name;
    std::unique_ptr<WorkspaceStatements> m_statements;
    bool m_failed = false;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::vector<Change> m_changes;
    std::chrono::steady_clock::time_point m_deadline;
    // When the oldest change not yet on disk was posted; meaningful while m_pending.
    std::chrono::steady_clock::time_point m_oldest;
    bool m_pending = false;
    std::deque<std::function<void()>> m_tasks;
    qint64 m_finishedTasks = 0;
    qint64 m_queuedTasks = 0;
    bool m_stop = false;
    std::thread m_thread;
};
