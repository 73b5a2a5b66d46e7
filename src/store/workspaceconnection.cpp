#include "workspaceconnection.h"

#include <cmath>
#include <memory>

#include <QPointer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include "storedreading.h"
#include "utcoffsetcache.h"
#include "workspaceschema.h"

namespace {

// The columns of a reading's row, and the rows one insert of a run of readings writes.
constexpr int ReadingColumns = 12;
constexpr int ReadingRows = 64;

QString insertReadingRows()
{
    QStringList rows;
    for (int row = 0; row < ReadingRows; ++row)
        rows << QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    return QStringLiteral("INSERT INTO reading (item_id, seq, time_ms, time_offset, um_value,"
                          " mil_value, um_text, mil_text, overload, unit, basis, exclusion)"
                          " VALUES ") +
           rows.join(QStringLiteral(", "));
}

// Readings deleted in one transaction: a few tens of milliseconds.
constexpr int RemovePortion = 20000;

// SQLite's result codes for a file that is not a database or whose pages are broken.
constexpr int SqliteCorrupt = 11;
constexpr int SqliteNotADatabase = 26;

bool isDamage(const QSqlError &error)
{
    const int code = error.nativeErrorCode().toInt() & 0xff;
    return code == SqliteCorrupt || code == SqliteNotADatabase;
}

// SQLite stores a NaN as NULL; the NULL comes back as NaN.
QVariant number(double value)
{
    return std::isnan(value) ? QVariant(QVariant::Double) : QVariant(value);
}

// A null QString would be bound as NULL; the text columns hold empty texts instead.
QVariant text(const QString &value)
{
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

// A row replaced as every database takes it, by a delete and an insert; an empty value leaves no
// row. Runs the delete (already bound) when an insert follows and returns the query still to run:
// the insert, to be bound, or the delete itself; nullptr when the delete failed.
QSqlQuery *replaceRow(QSqlQuery &remove, QSqlQuery &insert, bool empty, QString *error)
{
    if (empty)
        return &remove;
    if (!remove.exec()) {
        *error = remove.lastError().text();
        return nullptr;
    }
    return &insert;
}

} // namespace

// The database and its statements, prepared once and reused; used on the connection's thread only.
struct WorkspaceStatements
{
    explicit WorkspaceStatements(const QSqlDatabase &database)
        : db(database)
        , insertItem(db)
        , renewItemUuid(db)
        , renameItem(db)
        , setItemUnit(db)
        , setItemRequirement(db)
        , setItemKind(db)
        , setItemRange(db)
        , clearActive(db)
        , setActive(db)
        , deleteItem(db)
        , insertReading(db)
        , insertReadingRows(db)
        , selectReadings(db)
        , deleteReadings(db)
        , deleteReadingRange(db)
        , lastSeq(db)
        , deleteNote(db)
        , insertNote(db)
        , deletePhotos(db)
        , insertPhoto(db)
        , deleteJobDetail(db)
        , insertJobDetail(db)
        , deleteLogo(db)
        , insertLogo(db)
        , setExclusion(db)
        , insertExclusionEvent(db)
        , selectExclusionEvents(db)
        , deleteExclusionEvents(db)
    {
    }

    bool prepare(QSqlError *error)
    {
        selectReadings.setForwardOnly(true);
        selectExclusionEvents.setForwardOnly(true);
        const QList<QPair<QSqlQuery *, const char *>> all = {
            {&insertItem, "INSERT INTO item (id, kind, name, unit, position, active, created_ms,"
                          " created_offset, uuid) VALUES (?, ?, ?, ?, ?, 0, ?, ?, ?)"},
            {&renewItemUuid, "UPDATE item SET uuid = ? WHERE id = ?"},
            {&renameItem, "UPDATE item SET name = ? WHERE id = ?"},
            {&setItemUnit, "UPDATE item SET unit = ? WHERE id = ?"},
            {&setItemRequirement, "UPDATE item SET requirement = ? WHERE id = ?"},
            {&setItemKind, "UPDATE item SET kind = ? WHERE id = ?"},
            {&setItemRange, "UPDATE item SET range_um = ? WHERE id = ?"},
            {&clearActive, "UPDATE item SET active = 0 WHERE active <> 0"},
            {&setActive, "UPDATE item SET active = 1 WHERE id = ?"},
            {&deleteItem, "DELETE FROM item WHERE id = ?"},
            {&insertReading, "INSERT INTO reading (item_id, seq, time_ms, time_offset, um_value,"
                             " mil_value, um_text, mil_text, overload, unit, basis, exclusion)"
                             " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"},
            // A unit or basis equal to the one bound, and an empty reason, come as NULL: texts
            // that every reading repeats are neither converted nor kept once per reading.
            {&selectReadings,
             "SELECT time_ms, time_offset, um_value, mil_value, um_text, mil_text, overload,"
             " NULLIF(unit, ?), NULLIF(basis, ?), NULLIF(exclusion, '') FROM reading"
             " WHERE item_id = ? AND seq >= ? AND seq < ? ORDER BY seq"},
            {&deleteReadings, "DELETE FROM reading WHERE item_id = ?"},
            {&deleteReadingRange, "DELETE FROM reading WHERE item_id = ? AND seq >= ? AND seq < ?"},
            {&lastSeq, "SELECT MAX(seq) FROM reading WHERE item_id = ?"},
            {&deleteNote, "DELETE FROM item_note WHERE item_id = ?"},
            {&insertNote, "INSERT INTO item_note (item_id, body) VALUES (?, ?)"},
            {&deletePhotos, "DELETE FROM item_photo WHERE item_id = ?"},
            {&insertPhoto,
             "INSERT INTO item_photo (item_id, seq, name, bytes) VALUES (?, ?, ?, ?)"},
            {&deleteJobDetail, "DELETE FROM job_detail WHERE key = ?"},
            {&insertJobDetail, "INSERT INTO job_detail (key, value) VALUES (?, ?)"},
            {&deleteLogo, "DELETE FROM job_logo"},
            // One row: the job has one logo.
            {&insertLogo, "INSERT INTO job_logo (id, bytes) VALUES (1, ?)"},
            {&setExclusion, "UPDATE reading SET exclusion = ? WHERE item_id = ? AND seq = ?"},
            {&insertExclusionEvent,
             "INSERT INTO reading_exclusion (item_id, event, seq, excluded, reason, who, time_ms,"
             " time_offset) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"},
            {&selectExclusionEvents,
             "SELECT seq, excluded, reason, who, time_ms, time_offset FROM reading_exclusion"
             " WHERE item_id = ? ORDER BY event"},
            {&deleteExclusionEvents, "DELETE FROM reading_exclusion WHERE item_id = ?"}};
        for (const auto &statement : all) {
            if (!statement.first->prepare(QLatin1String(statement.second))) {
                *error = statement.first->lastError();
                return false;
            }
        }
        if (!insertReadingRows.prepare(::insertReadingRows())) {
            *error = insertReadingRows.lastError();
            return false;
        }
        return true;
    }

    QSqlDatabase db;
    QSqlQuery insertItem;
    QSqlQuery renewItemUuid;
    QSqlQuery renameItem;
    QSqlQuery setItemUnit;
    QSqlQuery setItemRequirement;
    QSqlQuery setItemKind;
    QSqlQuery setItemRange;
    QSqlQuery clearActive;
    QSqlQuery setActive;
    QSqlQuery deleteItem;
    QSqlQuery insertReading;
    QSqlQuery insertReadingRows;
    QSqlQuery selectReadings;
    QSqlQuery deleteReadings;
    QSqlQuery deleteReadingRange;
    QSqlQuery lastSeq;
    QSqlQuery deleteNote;
    QSqlQuery insertNote;
    QSqlQuery deletePhotos;
    QSqlQuery insertPhoto;
    QSqlQuery deleteJobDetail;
    QSqlQuery insertJobDetail;
    QSqlQuery deleteLogo;
    QSqlQuery insertLogo;
    QSqlQuery setExclusion;
    QSqlQuery insertExclusionEvent;
    QSqlQuery selectExclusionEvents;
    QSqlQuery deleteExclusionEvents;
    // Offsets of the readings' local times; emptied for every batch, so that a change of the
    // system's zone is seen by the next one.
    UtcOffsetCache offsets;
    // The unit and basis of the last reading read, which the next readings most likely share.
    QString lastUnit = QStringLiteral("");
    QString lastBasis = QStringLiteral("");
};

WorkspaceConnection::WorkspaceConnection()
    : m_name(QStringLiteral("workspace-%1").arg(quintptr(this), 0, 16))
    , m_thread([this] { run(); })
{
}

WorkspaceConnection::~WorkspaceConnection()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void WorkspaceConnection::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (!m_tasks.empty()) {
            std::vector<Change> changes;
            changes.swap(m_changes);
            const std::function<void()> task = m_tasks.front();
            m_tasks.pop_front();
            lock.unlock();
            apply(changes);
            task();
            lock.lock();
            ++m_finishedTasks;
            settle();
            continue;
        }
        if (m_stop) {
            std::vector<Change> changes;
            changes.swap(m_changes);
            lock.unlock();
            apply(changes);
            closeDatabase();
            return;
        }
        if (m_changes.empty()) {
            m_wake.wait(lock);
            continue;
        }
        if (std::chrono::steady_clock::now() < m_deadline) {
            m_wake.wait_until(lock, m_deadline);
            continue;
        }
        std::vector<Change> changes;
        changes.swap(m_changes);
        lock.unlock();
        apply(changes);
        lock.lock();
        settle();
    }
}

void WorkspaceConnection::settle()
{
    // What was posted while the batch was written is pending now; its first change opened the
    // queue, and with it the deadline.
    m_pending = !m_changes.empty();
    if (m_pending)
        m_oldest = m_deadline - std::chrono::milliseconds(CommitDelayMs);
    m_done.notify_all();
}

void WorkspaceConnection::call(const std::function<void()> &task)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_tasks.push_back(task);
    const qint64 ticket = ++m_queuedTasks;
    m_wake.notify_one();
    m_done.wait(lock, [this, ticket] { return m_finishedTasks >= ticket; });
}

void WorkspaceConnection::enqueue(const std::function<void()> &task)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_tasks.push_back(task);
    ++m_queuedTasks;
    m_wake.notify_one();
}

void WorkspaceConnection::post(Change change)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_done.wait(lock, [this] {
        return !m_pending || std::chrono::steady_clock::now() - m_oldest <=
                                 std::chrono::milliseconds(MaxPendingMs);
    });
    const bool first = m_changes.empty();
    if (first)
        m_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(CommitDelayMs);
    if (!m_pending) {
        m_pending = true;
        m_oldest = std::chrono::steady_clock::now();
    }
    m_changes.push_back(std::move(change));
    // Only an empty queue leaves the thread waiting without a deadline.
    if (first)
        m_wake.notify_one();
}

WorkspaceConnection::OpenResult WorkspaceConnection::open(const QString &path, QString *error,
                                                          Access access)
{
    OpenResult result = OpenResult::Failed;
    call([&] { result = openDatabase(path, error, access); });
    return result;
}

void WorkspaceConnection::close()
{
    call([this] { closeDatabase(); });
}

bool WorkspaceConnection::flush(QString *error)
{
    bool ok = false;
    call([&] {
        ok = !m_failed && m_statements;
        if (!ok)
            *error = QStringLiteral("not saving");
    });
    return ok;
}

WorkspaceConnection::OpenResult WorkspaceConnection::openDatabase(const QString &path,
                                                                  QString *error, Access access)
{
    closeDatabase();
    m_failed = false;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(path);
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs);
    if (access == Access::ReadOnly)
        options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    db.setConnectOptions(options);
    const auto failed = [error](const QSqlError &sqlError) {
        *error = sqlError.text();
        return isDamage(sqlError) ? OpenResult::Damaged : OpenResult::Failed;
    };
    if (!db.open())
        return failed(db.lastError());

    // The version is read before anything is written: a newer workspace stays untouched.
    QSqlError sqlError;
    const int version = WorkspaceSchema::storedVersion(db, &sqlError);
    if (version < 0)
        return failed(sqlError);
    if (version > WorkspaceSchema::Version)
        return OpenResult::Newer;
    if (access == Access::ReadOnly) {
        if (version == WorkspaceSchema::Version)
            return readyStatements(db, error);
        *error = version == 0 ? QStringLiteral("no workspace")
                              : QStringLiteral("written by an older version of the logger");
        return OpenResult::Failed;
    }

    // WAL: a commit appends to the log, so a killed process never leaves a half-written page in
    // the database. FULL syncs the log at every commit, so a power cut keeps what was committed.
    {
        QSqlQuery query(db);
        for (const char *pragma : {"PRAGMA journal_mode = WAL", "PRAGMA synchronous = FULL"}) {
            if (!query.exec(QLatin1String(pragma)))
                return failed(query.lastError());
        }
    }
    if (WorkspaceSchema::prepare(db, &sqlError) != WorkspaceSchema::Outcome::Ready ||
        !WorkspaceSchema::identify(db, &sqlError))
        return failed(sqlError);
    return readyStatements(db, error);
}

WorkspaceConnection::OpenResult WorkspaceConnection::readyStatements(const QSqlDatabase &db,
                                                                     QString *error)
{
    m_statements = std::make_unique<WorkspaceStatements>(db);
    QSqlError sqlError;
    if (m_statements->prepare(&sqlError))
        return OpenResult::Ready;
    m_statements.reset();
    *error = sqlError.text();
    return isDamage(sqlError) ? OpenResult::Damaged : OpenResult::Failed;
}

void WorkspaceConnection::closeDatabase()
{
    if (m_statements) {
        m_statements->db.close();
        m_statements.reset();
    }
    if (QSqlDatabase::contains(m_name))
        QSqlDatabase::removeDatabase(m_name);
}

bool WorkspaceConnection::items(QList<StoredItem> *items, qint64 *nextId, qint64 *nextPosition,
                                QString *error)
{
    bool ok = false;
    call([&] {
        if (!m_statements)
            return;
        QSqlQuery query(m_statements->db);
        query.setForwardOnly(true);
        // An item removed while its readings were deleted portion by portion may have left some
        // behind when the logger stopped; its id must not come back with them.
        if (!query.exec(
                QStringLiteral("SELECT MAX(IFNULL(MAX(id), 0), (SELECT IFNULL(MAX(item_id), 0) FROM"
                               " reading)), MAX(position) FROM item")) ||
            !query.next()) {
            *error = query.lastError().text();
            return;
        }
        *nextId = query.value(0).toLongLong() + 1;
        *nextPosition = query.value(1).toLongLong() + 1;
        if (!query.exec(QStringLiteral("SELECT id, kind, name, unit, active, requirement, range_um "
                                       "FROM item ORDER BY position, id"))) {
            *error = query.lastError().text();
            return;
        }
        while (query.next()) {
            StoredItem item;
            item.id = query.value(0).toLongLong();
            item.kind = query.value(1).toInt();
            item.name = query.value(2).toString();
            item.unit = query.value(3).toString();
            item.active = query.value(4).toInt() != 0;
            item.requirement = query.value(5).toString();
            item.rangeUm = query.value(6).toDouble();
            items->append(item);
        }
        query.finish();
        QSqlQuery &last = m_statements->lastSeq;
        for (StoredItem &item : *items) {
            last.bindValue(0, item.id);
            if (!last.exec() || !last.next()) {
                *error = last.lastError().text();
                return;
            }
            item.readings = last.value(0).isNull() ? 0 : last.value(0).toInt() + 1;
            last.finish();
        }
        QHash<qint64, ItemNotes> notes;
        if (!query.exec(QStringLiteral("SELECT item_id, body FROM item_note"))) {
            *error = query.lastError().text();
            return;
        }
        while (query.next())
            notes[query.value(0).toLongLong()].text = query.value(1).toString();
        if (!query.exec(QStringLiteral(
                "SELECT item_id, name, bytes FROM item_photo ORDER BY item_id, seq"))) {
            *error = query.lastError().text();
            return;
        }
        while (query.next()) {
            notes[query.value(0).toLongLong()].photos.append(
                {query.value(1).toString(), query.value(2).toByteArray()});
        }
        for (StoredItem &item : *items)
            item.notes = notes.value(item.id);
        ok = true;
    });
    return ok;
}

bool WorkspaceConnection::readings(qint64 item, int first, int end, std::vector<Reading> *readings,
                                   QString *error)
{
    bool ok = false;
    call([&] { ok = readRange(item, first, end, readings, error); });
    return ok;
}

void WorkspaceConnection::readReadingsLater(qint64 item, int first, int count, bool withTrail,
                                            QObject *receiver, const PartRead &done)
{
    QPointer<QObject> target(receiver);
    enqueue([this, item, first, count, withTrail, target, done] {
        auto part = std::make_shared<Part>();
        part->readings.reserve(count);
        part->ok = readRange(item, first, first + count, &part->readings, &part->error) &&
                   (!withTrail || readTrail(item, &part->trail, &part->error));
        // A receiver deleted meanwhile drops the call.
        if (target)
            QMetaObject::invokeMethod(
                target, [part, done] { done(*part); }, Qt::QueuedConnection);
    });
}

bool WorkspaceConnection::readRange(qint64 item, int first, int end, std::vector<Reading> *readings,
                                    QString *error)
{
    if (!m_statements) {
        *error = QStringLiteral("not open");
        return false;
    }
    QSqlQuery &select = m_statements->selectReadings;
    QString &unit = m_statements->lastUnit;
    QString &basis = m_statements->lastBasis;
    select.bindValue(0, text(unit));
    select.bindValue(1, text(basis));
    select.bindValue(2, item);
    select.bindValue(3, first);
    select.bindValue(4, end);
    const QString sharedUnit = unit;
    const QString sharedBasis = basis;
    if (!select.exec()) {
        *error = select.lastError().text();
        return false;
    }
    while (select.next()) {
        Reading reading = StoredReading::fromQuery(select, 0);
        // NULL: the unit or basis of the reading before, shared instead of copied.
        if (select.isNull(7))
            reading.unit = sharedUnit;
        if (select.isNull(8))
            reading.basis = sharedBasis;
        readings->push_back(std::move(reading));
    }
    if (!readings->empty()) {
        unit = readings->back().unit;
        basis = readings->back().basis;
    }
    const bool ok = !select.lastError().isValid();
    if (!ok)
        *error = select.lastError().text();
    select.finish();
    return ok;
}

bool WorkspaceConnection::exclusionTrail(qint64 item, QVector<ExclusionEvent> *trail,
                                         QString *error)
{
    bool ok = false;
    call([&] { ok = readTrail(item, trail, error); });
    return ok;
}

bool WorkspaceConnection::readTrail(qint64 item, QVector<ExclusionEvent> *trail, QString *error)
{
    if (!m_statements) {
        *error = QStringLiteral("not open");
        return false;
    }
    QSqlQuery &select = m_statements->selectExclusionEvents;
    select.bindValue(0, item);
    if (!select.exec()) {
        *error = select.lastError().text();
        return false;
    }
    while (select.next()) {
        ExclusionEvent event;
        event.reading = select.value(0).toInt();
        event.excluded = select.value(1).toInt() != 0;
        event.reason = select.value(2).toString();
        event.who = select.value(3).toString();
        event.when = QDateTime::fromMSecsSinceEpoch(select.value(4).toLongLong(), Qt::OffsetFromUTC,
                                                    select.value(5).toInt());
        trail->append(event);
    }
    const bool ok = !select.lastError().isValid();
    if (!ok)
        *error = select.lastError().text();
    select.finish();
    return ok;
}

bool WorkspaceConnection::jobDetails(QHash<QString, QString> *values, QByteArray *logo,
                                     QString *error)
{
    bool ok = false;
    call([&] {
        if (!m_statements)
            return;
        QSqlQuery query(m_statements->db);
        query.setForwardOnly(true);
        if (!query.exec(QStringLiteral("SELECT key, value FROM job_detail"))) {
            *error = query.lastError().text();
            return;
        }
        while (query.next())
            values->insert(query.value(0).toString(), query.value(1).toString());
        if (!query.exec(QStringLiteral("SELECT bytes FROM job_logo"))) {
            *error = query.lastError().text();
            return;
        }
        if (query.next())
            *logo = query.value(0).toByteArray();
        ok = true;
    });
    return ok;
}

void WorkspaceConnection::apply(std::vector<Change> &changes)
{
    if (changes.empty() || m_failed || !m_statements)
        return;
    m_statements->offsets = UtcOffsetCache();
    transact([&](QString *error) {
        QSqlQuery &rows = m_statements->insertReadingRows;
        for (size_t i = 0; i < changes.size();) {
            // A download posts readings by the thousand: one statement for a run of them spares
            // most of the cost of a statement per reading.
            size_t run = 0;
            while (run < size_t(ReadingRows) && i + run < changes.size() &&
                   changes[i + run].kind == Change::AddReading)
                ++run;
            if (run < size_t(ReadingRows)) {
                if (!applyOne(changes[i], error))
                    return false;
                ++i;
                continue;
            }
            for (size_t k = 0; k < run; ++k)
                bindReading(rows, int(k) * ReadingColumns, changes[i + k]);
            if (!rows.exec()) {
                *error = rows.lastError().text();
                return false;
            }
            i += run;
        }
        return true;
    });
}

void WorkspaceConnection::transact(const std::function<bool(QString *)> &work)
{
    QSqlDatabase &db = m_statements->db;
    QString error;
    if (db.transaction()) {
        const bool ok = work(&error);
        if (ok && db.commit()) {
            emit committed();
            return;
        }
        if (ok)
            error = db.lastError().text();
        db.rollback();
    } else {
        error = db.lastError().text();
    }
    m_failed = true;
    emit failed(error);
}

void WorkspaceConnection::removeReadings(qint64 item, int end)
{
    for (int first = 0; first < end; first += RemovePortion) {
        enqueue([this, item, first] {
            if (m_failed || !m_statements)
                return;
            transact([&](QString *error) {
                QSqlQuery &remove = m_statements->deleteReadingRange;
                remove.bindValue(0, item);
                remove.bindValue(1, first);
                remove.bindValue(2, first + RemovePortion);
                if (remove.exec())
                    return true;
                *error = remove.lastError().text();
                return false;
            });
        });
    }
}

void WorkspaceConnection::bindReading(QSqlQuery &query, int first, const Change &change)
{
    const Reading &r = change.reading;
    query.bindValue(first, change.item);
    query.bindValue(first + 1, change.number);
    if (r.time.isValid()) {
        // One conversion of the local time: the offset, then the wall clock read as UTC.
        const int offset = m_statements->offsets.offsetOf(r.time);
        const qint64 wall = QDateTime(r.time.date(), r.time.time(), Qt::UTC).toMSecsSinceEpoch();
        query.bindValue(first + 2, wall - qint64(offset) * 1000);
        query.bindValue(first + 3, offset);
    } else {
        query.bindValue(first + 2, QVariant(QVariant::LongLong));
        query.bindValue(first + 3, QVariant(QVariant::Int));
    }
    query.bindValue(first + 4, number(r.umValue));
    query.bindValue(first + 5, number(r.milValue));
    query.bindValue(first + 6, text(r.umText));
    query.bindValue(first + 7, text(r.milText));
    query.bindValue(first + 8, r.overload);
    query.bindValue(first + 9, text(r.unit));
    query.bindValue(first + 10, text(r.basis));
    query.bindValue(first + 11, text(r.exclusion));
}

bool WorkspaceConnection::applyExclusion(const Change &change, QString *error)
{
    WorkspaceStatements &s = *m_statements;
    QSqlQuery &update = s.setExclusion;
    QSqlQuery &insert = s.insertExclusionEvent;
    // The time as reading times are kept: one conversion of the wall clock with its offset.
    const int offset = change.time.offsetFromUtc();
    const qint64 ms = change.time.toMSecsSinceEpoch();
    const QVariant reason = text(change.text);
    const QVariant who = text(change.key);
    for (int i = 0; i < change.seqs.size(); ++i) {
        update.bindValue(0, reason);
        update.bindValue(1, change.item);
        update.bindValue(2, change.seqs.at(i));
        insert.bindValue(0, change.item);
        insert.bindValue(1, change.number + i);
        insert.bindValue(2, change.seqs.at(i));
        insert.bindValue(3, int(!change.text.isEmpty()));
        insert.bindValue(4, reason);
        insert.bindValue(5, who);
        insert.bindValue(6, ms);
        insert.bindValue(7, offset);
        for (QSqlQuery *query : {&update, &insert}) {
            if (!query->exec()) {
                *error = query->lastError().text();
                return false;
            }
        }
    }
    return true;
}

bool WorkspaceConnection::applyOne(const Change &change, QString *error)
{
    WorkspaceStatements &s = *m_statements;
    QSqlQuery *query = nullptr;
    switch (change.kind) {
    case Change::AddItem:
        query = &s.insertItem;
        query->bindValue(0, change.item);
        query->bindValue(1, change.number);
        query->bindValue(2, text(change.text));
        query->bindValue(3, QStringLiteral(""));
        query->bindValue(4, change.position);
        query->bindValue(5, change.time.toMSecsSinceEpoch());
        query->bindValue(6, change.time.offsetFromUtc());
        query->bindValue(7, WorkspaceSchema::newUuid());
        break;
    case Change::Rename:
    case Change::SetUnit:
    case Change::SetRequirement:
        query = change.kind == Change::Rename    ? &s.renameItem
                : change.kind == Change::SetUnit ? &s.setItemUnit
                                                 : &s.setItemRequirement;
        query->bindValue(0, text(change.text));
        query->bindValue(1, change.item);
        break;
    case Change::SetKind:
        query = &s.setItemKind;
        query->bindValue(0, change.number);
        query->bindValue(1, change.item);
        break;
    case Change::SetRange:
        query = &s.setItemRange;
        query->bindValue(0, change.value);
        query->bindValue(1, change.item);
        break;
    case Change::Activate:
        if (!s.clearActive.exec()) {
            *error = s.clearActive.lastError().text();
            return false;
        }
        query = &s.setActive;
        query->bindValue(0, change.item);
        break;
    case Change::ClearReadings:
        // The item's next readings are another filling: a team server must not mistake them for
        // the ones it has.
        s.renewItemUuid.bindValue(0, WorkspaceSchema::newUuid());
        s.renewItemUuid.bindValue(1, change.item);
        if (!s.renewItemUuid.exec()) {
            *error = s.renewItemUuid.lastError().text();
            return false;
        }
        // The trail tells of readings that are gone with them.
        s.deleteExclusionEvents.bindValue(0, change.item);
        if (!s.deleteExclusionEvents.exec()) {
            *error = s.deleteExclusionEvents.lastError().text();
            return false;
        }
        query = &s.deleteReadings;
        query->bindValue(0, change.item);
        break;
    case Change::RemoveItem:
        // What refers to the item goes first; the readings follow by removeReadings().
        for (QSqlQuery *belonging : {&s.deleteNote, &s.deletePhotos, &s.deleteExclusionEvents}) {
            belonging->bindValue(0, change.item);
            if (!belonging->exec()) {
                *error = belonging->lastError().text();
                return false;
            }
        }
        query = &s.deleteItem;
        query->bindValue(0, change.item);
        break;
    case Change::SetNote:
        s.deleteNote.bindValue(0, change.item);
        query = replaceRow(s.deleteNote, s.insertNote, change.text.isEmpty(), error);
        if (!query)
            return false;
        if (query == &s.insertNote) {
            query->bindValue(0, change.item);
            query->bindValue(1, change.text);
        }
        break;
    case Change::ClearPhotos:
        query = &s.deletePhotos;
        query->bindValue(0, change.item);
        break;
    case Change::AddPhoto:
        query = &s.insertPhoto;
        query->bindValue(0, change.item);
        query->bindValue(1, change.number);
        query->bindValue(2, text(change.text));
        query->bindValue(3, change.bytes);
        break;
    case Change::SetJobDetail:
        s.deleteJobDetail.bindValue(0, change.key);
        query = replaceRow(s.deleteJobDetail, s.insertJobDetail, change.text.isEmpty(), error);
        if (!query)
            return false;
        if (query == &s.insertJobDetail) {
            query->bindValue(0, change.key);
            query->bindValue(1, change.text);
        }
        break;
    case Change::SetLogo:
        query = replaceRow(s.deleteLogo, s.insertLogo, change.bytes.isEmpty(), error);
        if (!query)
            return false;
        if (query == &s.insertLogo)
            query->bindValue(0, change.bytes);
        break;
    case Change::Exclude:
        return applyExclusion(change, error);
    case Change::AddReading:
        query = &s.insertReading;
        bindReading(*query, 0, change);
        break;
    }
    if (query->exec())
        return true;
    *error = query->lastError().text();
    return false;
}
