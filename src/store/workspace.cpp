#include "store/workspace.h"

#include <cmath>
#include <limits>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

#include "data/itemdata.h"
#include "dmmdata.h"
#include "store/workspaceschema.h"

namespace {

// SQLite's result codes for a file that is not a database or whose pages are broken.
constexpr int SqliteCorrupt = 11;
constexpr int SqliteNotADatabase = 26;

bool isDamage(const QSqlError &error)
{
    const int code = error.nativeErrorCode().toInt() & 0xff;
    return code == SqliteCorrupt || code == SqliteNotADatabase;
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// SQLite stores a NaN as NULL; the NULL comes back as NaN.
QVariant number(double value)
{
    return std::isnan(value) ? QVariant(QVariant::Double) : QVariant(value);
}

double numberFrom(const QVariant &value)
{
    return value.isNull() ? std::numeric_limits<double>::quiet_NaN() : value.toDouble();
}

// A null QString would be bound as NULL; the text columns hold empty texts instead.
QVariant text(const QString &value)
{
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

} // namespace

// Prepared once per connection and reused for every write and read.
struct Workspace::Statements
{
    explicit Statements(const QSqlDatabase &db)
        : insertItem(db)
        , renameItem(db)
        , setItemUnit(db)
        , clearActive(db)
        , setActive(db)
        , deleteItem(db)
        , insertReading(db)
        , selectReadings(db)
        , deleteReadings(db)
        , lastSeq(db)
    {
    }

    bool prepare(QSqlError *error)
    {
        selectReadings.setForwardOnly(true);
        const QList<QPair<QSqlQuery *, const char *>> all = {
            {&insertItem, "INSERT INTO item (id, kind, name, unit, position, active, created_ms,"
                          " created_offset) VALUES (?, ?, ?, ?, ?, 0, ?, ?)"},
            {&renameItem, "UPDATE item SET name = ? WHERE id = ?"},
            {&setItemUnit, "UPDATE item SET unit = ? WHERE id = ?"},
            {&clearActive, "UPDATE item SET active = 0 WHERE active <> 0"},
            {&setActive, "UPDATE item SET active = 1 WHERE id = ?"},
            {&deleteItem, "DELETE FROM item WHERE id = ?"},
            {&insertReading, "INSERT INTO reading (item_id, seq, time_ms, time_offset, um_value,"
                             " mil_value, um_text, mil_text, overload, unit, basis)"
                             " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"},
            {&selectReadings, "SELECT time_ms, time_offset, um_value, mil_value, um_text, mil_text,"
                              " overload, unit, basis FROM reading WHERE item_id = ? ORDER BY seq"},
            {&deleteReadings, "DELETE FROM reading WHERE item_id = ?"},
            {&lastSeq, "SELECT MAX(seq) FROM reading WHERE item_id = ?"}};
        for (const auto &statement : all) {
            if (!statement.first->prepare(QLatin1String(statement.second))) {
                *error = statement.first->lastError();
                return false;
            }
        }
        return true;
    }

    QSqlQuery insertItem;
    QSqlQuery renameItem;
    QSqlQuery setItemUnit;
    QSqlQuery clearActive;
    QSqlQuery setActive;
    QSqlQuery deleteItem;
    QSqlQuery insertReading;
    QSqlQuery selectReadings;
    QSqlQuery deleteReadings;
    QSqlQuery lastSeq;
};

Workspace::Workspace(QObject *parent)
    : QObject(parent)
    , m_connection(QStringLiteral("workspace-%1").arg(quintptr(this), 0, 16))
{
    m_commitTimer.setSingleShot(true);
    m_commitTimer.setInterval(CommitDelayMs);
    connect(&m_commitTimer, &QTimer::timeout, this, [this] {
        if (commitTransaction())
            releaseIdleItems();
    });
}

Workspace::~Workspace()
{
    commitTransaction();
    closeDatabase();
}

QString Workspace::defaultPath()
{
    const QString chosen = qEnvironmentVariable("RQ6814_WORKSPACE");
    if (!chosen.isEmpty())
        return chosen;
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/workspace.sqlite");
}

void Workspace::open(const QString &path)
{
    m_path = QFileInfo(path).absoluteFilePath();
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath())) {
        runInMemory(tr("The folder of the workspace %1 cannot be created.\nThe readings of this "
                       "session are kept in memory only and are not saved.")
                        .arg(shown(m_path)));
        return;
    }
    // A lock left behind by a logger that was killed is stale as soon as its process is gone; age
    // alone must never free the lock of a logger that has simply run for a long time.
    m_lock = std::make_unique<QLockFile>(m_path + QStringLiteral(".lock"));
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        const bool inUse = m_lock->error() == QLockFile::LockFailedError;
        runInMemory(inUse ? tr("The workspace %1 is in use by another logger.\nThis logger runs "
                               "on a workspace in memory: its readings are not saved.")
                                .arg(shown(m_path))
                          : tr("The workspace %1 cannot be written.\nThe readings of this "
                               "session are kept in memory only and are not saved.")
                                .arg(shown(m_path)));
        return;
    }

    QString error;
    OpenResult result = openDatabase(&error);
    if (result == OpenResult::Damaged) {
        closeDatabase();
        QString aside;
        if (!moveAside(&aside)) {
            runInMemory(tr("The workspace %1 is damaged and cannot be moved aside.\nThe readings "
                           "of this session are kept in memory only and are not saved.")
                            .arg(shown(m_path)));
            return;
        }
        emit message(tr("The workspace %1 is damaged. It has been kept as %2, and the logger "
                        "starts on a new workspace.")
                         .arg(shown(m_path), shown(aside)));
        result = openDatabase(&error);
    }
    switch (result) {
    case OpenResult::Ready:
        m_saving = true;
        break;
    case OpenResult::Newer:
        runInMemory(tr("The workspace %1 was written by a newer version of the logger and is left "
                       "as it is.\nThis logger runs on a workspace in memory: its readings are "
                       "not saved.")
                        .arg(shown(m_path)));
        break;
    case OpenResult::Damaged:
    case OpenResult::Failed:
        runInMemory(tr("The workspace %1 cannot be written (%2).\nThe readings of this session "
                       "are kept in memory only and are not saved.")
                        .arg(shown(m_path), error));
        break;
    }
}

Workspace::OpenResult Workspace::openDatabase(QString *error)
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    m_db.setDatabaseName(m_path);
    if (!m_db.open()) {
        *error = m_db.lastError().text();
        return isDamage(m_db.lastError()) ? OpenResult::Damaged : OpenResult::Failed;
    }
    const auto failed = [error](const QSqlError &sqlError) {
        *error = sqlError.text();
        return isDamage(sqlError) ? OpenResult::Damaged : OpenResult::Failed;
    };

    // The version is read before anything is written: a newer workspace stays untouched.
    QSqlError sqlError;
    const int version = WorkspaceSchema::storedVersion(m_db, &sqlError);
    if (version < 0)
        return failed(sqlError);
    if (version > WorkspaceSchema::Version)
        return OpenResult::Newer;

    // WAL: a commit appends to the log, so a killed process never leaves a half-written page in
    // the database. FULL syncs the log at every commit, so a power cut keeps what was committed.
    QSqlQuery query(m_db);
    for (const char *pragma : {"PRAGMA journal_mode = WAL", "PRAGMA synchronous = FULL"}) {
        if (!query.exec(QLatin1String(pragma)))
            return failed(query.lastError());
    }
    if (WorkspaceSchema::prepare(m_db, &sqlError) != WorkspaceSchema::Outcome::Ready)
        return failed(sqlError);

    if (!query.exec(QStringLiteral("SELECT MAX(id), MAX(position) FROM item")) || !query.next())
        return failed(query.lastError());
    m_nextId = query.value(0).toLongLong() + 1;
    m_nextPosition = query.value(1).toLongLong() + 1;
    query.finish();

    m_statements = std::make_unique<Statements>(m_db);
    if (!m_statements->prepare(&sqlError))
        return failed(sqlError);
    return OpenResult::Ready;
}

void Workspace::closeDatabase()
{
    m_statements.reset();
    if (m_db.isValid())
        m_db.close();
    m_db = QSqlDatabase();
    if (QSqlDatabase::contains(m_connection))
        QSqlDatabase::removeDatabase(m_connection);
}

bool Workspace::moveAside(QString *damagedPath)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString target = m_path + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = m_path + QStringLiteral(".damaged-%1-%2").arg(stamp).arg(n);
    if (!QFile::rename(m_path, target))
        return false;
    // The log and its index belong to the damaged file; a new database must not pick them up.
    for (const QString &suffix : {QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        if (QFileInfo::exists(m_path + suffix))
            QFile::rename(m_path + suffix, target + suffix);
    }
    *damagedPath = target;
    return true;
}

void Workspace::runInMemory(const QString &text)
{
    closeDatabase();
    m_lock.reset();
    m_saving = false;
    emit message(text);
    emit savingStopped();
}

void Workspace::fail(const QString &detail)
{
    if (!m_saving)
        return;
    m_saving = false;
    m_commitTimer.stop();
    if (m_inTransaction) {
        m_db.rollback();
        m_inTransaction = false;
    }
    // The connection stays open: items whose readings are only in the database are read back
    // from what was committed.
    emit message(tr("The workspace %1 cannot be saved (%2).\nThe readings on screen stay, but "
                    "nothing is saved from now on.")
                     .arg(shown(m_path), detail));
    emit savingStopped();
}

bool Workspace::begin()
{
    if (!m_saving)
        return false;
    if (m_inTransaction)
        return true;
    if (!m_db.transaction()) {
        fail(m_db.lastError().text());
        return false;
    }
    m_inTransaction = true;
    m_transactionAge.start();
    m_commitTimer.start();
    return true;
}

bool Workspace::run(QSqlQuery &query)
{
    if (query.exec())
        return true;
    fail(query.lastError().text());
    return false;
}

bool Workspace::commitTransaction()
{
    if (!m_inTransaction)
        return m_saving;
    m_commitTimer.stop();
    m_inTransaction = false;
    if (m_db.commit())
        return true;
    const QString error = m_db.lastError().text();
    m_db.rollback();
    m_inTransaction = true;
    fail(error);
    return false;
}

void Workspace::commit()
{
    commitTransaction();
}

void Workspace::commitIfOld()
{
    // Without a turn of the event loop the timer cannot fire; a long burst commits by itself.
    if (m_inTransaction && m_transactionAge.elapsed() >= CommitDelayMs)
        commitTransaction();
}

QList<ItemData *> Workspace::restore(ItemData *storeItem, ItemData **active)
{
    *active = nullptr;
    QList<ItemData *> items;
    if (!m_saving)
        return items;

    struct Row
    {
        Entry entry;
        ItemData::DataType kind;
        bool active;
    };
    QList<Row> rows;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral(
            "SELECT id, kind, name, unit, active FROM item ORDER BY position, id"))) {
        fail(query.lastError().text());
        return items;
    }
    while (query.next()) {
        Row row;
        row.entry.id = query.value(0).toLongLong();
        row.kind = static_cast<ItemData::DataType>(query.value(1).toInt());
        row.entry.name = query.value(2).toString();
        row.entry.unit = query.value(3).toString();
        row.active = query.value(4).toInt() != 0;
        rows.append(row);
    }
    query.finish();

    bool storeFound = false;
    for (Row &row : rows) {
        ItemData *item = nullptr;
        if (row.kind == ItemData::StoreData && !storeFound) {
            storeFound = true;
            item = storeItem;
        } else if (row.kind == ItemData::MeasureData || row.kind == ItemData::ImportData) {
            item = new ItemData(row.entry.name, row.kind);
            items.append(item);
        } else {
            continue;
        }
        item->setUnit(row.entry.unit);
        QSqlQuery &last = m_statements->lastSeq;
        last.bindValue(0, row.entry.id);
        if (!last.exec() || !last.next()) {
            fail(last.lastError().text());
            row.entry.stored = 0;
        } else {
            row.entry.stored = last.value(0).isNull() ? 0 : last.value(0).toInt() + 1;
        }
        last.finish();
        row.entry.loaded = row.entry.stored == 0;
        m_entries.insert(item, row.entry);
        if (row.active)
            *active = item;
    }
    if (!storeFound)
        itemAdded(storeItem);
    return items;
}

void Workspace::itemAdded(ItemData *item)
{
    if (!begin())
        return;
    Entry entry;
    entry.id = m_nextId++;
    entry.name = item->name();
    entry.unit = item->unit();
    const QDateTime now = QDateTime::currentDateTime();
    QSqlQuery &insert = m_statements->insertItem;
    insert.bindValue(0, entry.id);
    insert.bindValue(1, int(item->dataType()));
    insert.bindValue(2, text(entry.name));
    insert.bindValue(3, text(entry.unit));
    insert.bindValue(4, m_nextPosition++);
    insert.bindValue(5, now.toMSecsSinceEpoch());
    insert.bindValue(6, now.offsetFromUtc());
    if (!run(insert))
        return;
    Entry &stored = m_entries.insert(item, entry).value();
    writeReadings(item, stored);
    commitIfOld();
}

void Workspace::itemChanged(ItemData *item)
{
    const auto found = m_entries.find(item);
    if (found == m_entries.end() || !begin())
        return;
    writeItem(item, found.value());
    writeReadings(item, found.value());
    commitIfOld();
}

void Workspace::writeItem(ItemData *item, Entry &entry)
{
    const QString name = item->name();
    if (name != entry.name) {
        QSqlQuery &rename = m_statements->renameItem;
        rename.bindValue(0, text(name));
        rename.bindValue(1, entry.id);
        if (!run(rename))
            return;
        entry.name = name;
    }
    const QString unit = item->unit();
    if (unit != entry.unit) {
        QSqlQuery &setUnit = m_statements->setItemUnit;
        setUnit.bindValue(0, text(unit));
        setUnit.bindValue(1, entry.id);
        if (!run(setUnit))
            return;
        entry.unit = unit;
    }
}

void Workspace::writeReadings(ItemData *item, Entry &entry)
{
    if (!entry.loaded)
        return;
    const QList<DmmData *> readings = item->readings();
    QSqlQuery &insert = m_statements->insertReading;
    for (int seq = entry.stored; seq < readings.size(); ++seq) {
        const DmmData *reading = readings.at(seq);
        const QDateTime time = reading->time();
        insert.bindValue(0, entry.id);
        insert.bindValue(1, seq);
        if (time.isValid()) {
            insert.bindValue(2, time.toMSecsSinceEpoch());
            insert.bindValue(3, time.offsetFromUtc());
        } else {
            insert.bindValue(2, QVariant(QVariant::LongLong));
            insert.bindValue(3, QVariant(QVariant::Int));
        }
        insert.bindValue(4, number(reading->umValue()));
        insert.bindValue(5, number(reading->milValue()));
        insert.bindValue(6, text(reading->umText()));
        insert.bindValue(7, text(reading->milText()));
        insert.bindValue(8, reading->overload());
        insert.bindValue(9, text(reading->unit()));
        insert.bindValue(10, text(reading->basis()));
        if (!run(insert))
            return;
        entry.stored = seq + 1;
    }
}

void Workspace::itemRemoved(ItemData *item)
{
    const auto found = m_entries.find(item);
    if (found == m_entries.end())
        return;
    if (m_active == item)
        m_active = nullptr;
    const qint64 id = found->id;
    m_entries.erase(found);
    // Removing many readings takes a while: what came before is made safe first.
    commitTransaction();
    if (!begin())
        return;
    m_statements->deleteReadings.bindValue(0, id);
    m_statements->deleteItem.bindValue(0, id);
    if (run(m_statements->deleteReadings))
        run(m_statements->deleteItem);
}

void Workspace::itemActivated(ItemData *item)
{
    const auto found = m_entries.find(item);
    if (found == m_entries.end())
        return;
    // The views are reloaded next, which takes a while for a large item.
    commitTransaction();
    if (!found->loaded)
        load(item, found.value());
    m_active = item;
    if (!begin())
        return;
    m_statements->setActive.bindValue(0, found->id);
    if (run(m_statements->clearActive) && run(m_statements->setActive))
        writeItem(item, found.value());
}

void Workspace::readingsCleared(ItemData *item)
{
    const auto found = m_entries.find(item);
    if (found == m_entries.end())
        return;
    found->loaded = true;
    found->stored = 0;
    commitTransaction();
    if (!begin())
        return;
    m_statements->deleteReadings.bindValue(0, found->id);
    run(m_statements->deleteReadings);
}

void Workspace::load(ItemData *item, Entry &entry)
{
    entry.loaded = true;
    QSqlQuery &select = m_statements->selectReadings;
    select.bindValue(0, entry.id);
    if (!select.exec()) {
        fail(select.lastError().text());
        return;
    }
    QList<DmmData *> readings;
    readings.reserve(entry.stored);
    while (select.next()) {
        auto *reading = new DmmData;
        const QVariant ms = select.value(0);
        if (!ms.isNull()) {
            reading->setTime(QDateTime::fromMSecsSinceEpoch(ms.toLongLong(), Qt::OffsetFromUTC,
                                                            select.value(1).toInt()));
        }
        reading->setUmValue(numberFrom(select.value(2)));
        reading->setMilValue(numberFrom(select.value(3)));
        reading->setUmText(select.value(4).toString());
        reading->setMilText(select.value(5).toString());
        reading->setOverload(select.value(6).toInt());
        reading->setUnit(select.value(7).toString());
        reading->setBasis(select.value(8).toString());
        readings.append(reading);
    }
    const bool complete = !select.lastError().isValid();
    const QString error = select.lastError().text();
    select.finish();
    for (DmmData *reading : qAsConst(readings))
        item->appendReading(reading, false);
    restoreStatistics(item, entry);
    entry.stored = readings.size();
    if (!complete)
        fail(error);
}

void Workspace::restoreStatistics(ItemData *item, Entry &entry)
{
    item->updateStatistics();
    if (!entry.statistics)
        return;
    const auto same = [](const StatData *a, const StatData &b) {
        return a->num == b.num && a->avg == b.avg && a->min == b.min && a->max == b.max;
    };
    const StatData shown = *entry.statistics;
    entry.statistics.reset();
    if (same(item->statistics(), shown))
        return;
    // Shown in the other unit family: the item was activated since they were last computed.
    const QString unit = item->unit();
    item->setUnit(item->isMicrometre() ? QStringLiteral("mil") : QStringLiteral("\u03BCm"));
    item->updateStatistics();
    const bool other = same(item->statistics(), shown);
    item->setUnit(unit);
    if (!other)
        item->updateStatistics();
}

void Workspace::releaseIdleItems()
{
    if (!m_saving || m_inTransaction)
        return;
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        ItemData *item = it.key();
        if (item == m_active || !it->loaded || it->stored == 0 ||
            it->stored != item->readings().size())
            continue;
        it->statistics = *item->statistics();
        item->clearReadings();
        it->loaded = false;
    }
}
