#include "platform/qt/sqlite_readings_store.h"

#include "platform/qt/sqlite_event_statements.h"
#include "platform/qt/sqlite_reading_statements.h"
#include "platform/qt/store_files.h"
#include "platform/qt/store_intervals.h"
#include "platform/qt/store_key.h"
#include "records/sealed_tables.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSqlQuery>
#include <QStringList>
#include <QUuid>
#include <QVariant>

#include <atomic>

namespace tavelin {

// Journal: WAL with synchronous=NORMAL. A commit is then a write(2) to the
// log and no fsync, so a killed program loses nothing committed; a power cut
// may lose the commits since the last checkpoint but never damages the file.
// Measured with bench/store-commit (ext4, 2000 commits, p50/p99): WAL+NORMAL
// 17/74 us, WAL+FULL 162/903 us, DELETE+FULL 839/2367 us. Every commit runs
// in the sampling cycle, whose floor is the 50 ms settle delay: an fsync per
// reading would cost the cycle up to milliseconds and the flash a write per
// second, to save at most the last seconds before a power cut. WAL also lets
// a reader (--show-totals) read while the program writes.
//
// A store is readings(seq, utc_ms, ..., seal) with an index on utc_ms,
// alarm_events(seq, utc_ms, alarm, event, value, threshold, seal), the event
// log events(seq, utc_ms, kind, subject, old_value, new_value, source, user,
// version, seal), and store_info(key, value) holding when it was made, its
// schema version, how far each delivery stream has come
// ("delivered/mqtt_state"), each sealed table's anchor and head
// ("seal_anchor/readings") and the settings last recorded. A store made
// before a table or column gets it when next opened for writing (its rows
// stored until then stay unsealed); read only, it is read without it.

namespace {

const char kDriver[] = "QSQLITE";
// A writer waits this long for a lock held by someone else before the
// reading fails: the sampling cycle must not stall behind another program.
const char kWriterOptions[] = "QSQLITE_BUSY_TIMEOUT=250";
const char kReaderOptions[] = "QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000";

const char* const kSchema[] = {
    "CREATE TABLE IF NOT EXISTS readings(seq INTEGER PRIMARY KEY, utc_ms INTEGER NOT NULL, "
    "frequency REAL, liters_per_min REAL, pulse_total REAL, total_liters REAL, "
    "meter_centipulses INTEGER NOT NULL, pulses_per_liter REAL, meter_liters REAL, seal BLOB)",
    "CREATE INDEX IF NOT EXISTS readings_utc_ms ON readings(utc_ms)",
    "CREATE TABLE IF NOT EXISTS store_info(key TEXT PRIMARY KEY, value)",
    // AUTOINCREMENT: an event's seq is never given again, even once removed.
    "CREATE TABLE IF NOT EXISTS alarm_events(seq INTEGER PRIMARY KEY AUTOINCREMENT, utc_ms INTEGER NOT NULL, "
    "alarm TEXT NOT NULL, event TEXT NOT NULL, value REAL, threshold REAL, seal BLOB)",
    "CREATE TABLE IF NOT EXISTS events(seq INTEGER PRIMARY KEY, utc_ms INTEGER NOT NULL, kind TEXT NOT NULL, "
    "subject TEXT NOT NULL, old_value TEXT NOT NULL, new_value TEXT NOT NULL, source TEXT NOT NULL, "
    "user TEXT NOT NULL, version TEXT NOT NULL, seal BLOB)",
};

// SQLite's primary result codes that mean the file itself is damaged.
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteNotADatabase = 26;

bool isDamage(const QSqlError& error)
{
    const int code = error.nativeErrorCode().toInt() & 0xff; // extended codes keep the primary below
    return code == kSqliteCorrupt || code == kSqliteNotADatabase;
}

// The quick check's first finding, without the heading that names the schema.
QString firstFinding(const QString& verdict)
{
    for (const QString& line : verdict.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (!line.startsWith(QLatin1String("*** in database")))
            return line;
    }
    return verdict;
}

QString uniqueConnectionName()
{
    static std::atomic<int> opened{0};
    return QStringLiteral("tavelin-readings-%1").arg(++opened);
}

} // namespace

SqliteReadingsStore::SqliteReadingsStore(const QString& path, bool readOnly)
    : path_(path), readOnly_(readOnly), connectionName_(uniqueConnectionName())
{
}

SqliteReadingsStore::~SqliteReadingsStore()
{
    disconnect();
}

std::unique_ptr<SqliteReadingsStore> SqliteReadingsStore::open(const QString& path, QString* error,
                                                               StoreJournal journal)
{
    if (!makeFolderFor(path, error))
        return nullptr;
    std::unique_ptr<SqliteReadingsStore> store(new SqliteReadingsStore(path, false));
    Check check = store->connectUnlessForeign();
    if (check == Check::Damaged) {
        const QString damage = store->lastError_;
        store->disconnect();
        QString setAsideError;
        const QString keptAs = setAsideDamagedFile(path, QDateTime::currentDateTimeUtc(), &setAsideError);
        store->setAsideAs_ = keptAs;
        if (keptAs.isEmpty()) {
            *error = QStringLiteral("the readings store %1 is damaged (%2) and %3").arg(path, damage, setAsideError);
            return nullptr;
        }
        store->notice_ = QStringLiteral("The readings store %1 was damaged (%2). It is kept as %3, and a new "
                                        "store has been started.")
                             .arg(path, damage, keptAs);
        check = store->connect();
    }
    if (check != Check::Good || !store->setUp(journal) || !store->readInfoAndPrepare()) {
        *error = QStringLiteral("cannot open the readings store %1: %2").arg(path, store->lastError_);
        return nullptr;
    }
    return store;
}

std::unique_ptr<SqliteReadingsStore> SqliteReadingsStore::openReadOnly(const QString& path, QString* error)
{
    if (!QFileInfo(path).isFile()) {
        *error = QStringLiteral("there is no readings store at %1").arg(path);
        return nullptr;
    }
    std::unique_ptr<SqliteReadingsStore> store(new SqliteReadingsStore(path, true));
    if (store->connectUnlessForeign() != Check::Good || !store->readInfoAndPrepare()) {
        *error = QStringLiteral("cannot read the readings store %1: %2").arg(path, store->lastError_);
        return nullptr;
    }
    return store;
}

SqliteReadingsStore::Check SqliteReadingsStore::connectUnlessForeign()
{
    if (isForeignFile(path_)) {
        lastError_ = QStringLiteral("file is not a database");
        return Check::Damaged;
    }
    return connect();
}

SqliteReadingsStore::Check SqliteReadingsStore::connect()
{
    db_ = QSqlDatabase::addDatabase(QLatin1String(kDriver), connectionName_);
    db_.setDatabaseName(path_);
    db_.setConnectOptions(QLatin1String(readOnly_ ? kReaderOptions : kWriterOptions));
    if (!db_.open()) {
        lastError_ = reasonOf(db_.lastError());
        return isDamage(db_.lastError()) ? Check::Damaged : Check::Failed;
    }
    // A reader checks nothing: it must answer at once beside a running program.
    return readOnly_ || !needsCheck() ? Check::Good : quickCheck();
}

// Whether the store's last writer ended without saying so: it set "running"
// when it opened the store and cleared it at its clean end. A store that
// never said either (made by an older version) is checked once.
bool SqliteReadingsStore::needsCheck()
{
    QSqlQuery marker(db_);
    if (!marker.exec(QStringLiteral("SELECT value FROM store_info WHERE key = 'running'")))
        return true; // a new file has no table yet: the check is quick; damage shows there
    if (!marker.next())
        return true;
    uncleanStop_ = marker.value(0).toInt() != 0;
    return uncleanStop_;
}

SqliteReadingsStore::Check SqliteReadingsStore::quickCheck()
{
    QSqlQuery check(db_);
    if (!check.exec(QStringLiteral("PRAGMA quick_check"))) {
        lastError_ = reasonOf(check.lastError());
        return isDamage(check.lastError()) ? Check::Damaged : Check::Failed;
    }
    const QString verdict = check.next() ? check.value(0).toString() : QString();
    if (verdict != QLatin1String("ok")) {
        lastError_ = QStringLiteral("damaged pages: %1").arg(firstFinding(verdict));
        return Check::Damaged;
    }
    return Check::Good;
}

bool SqliteReadingsStore::markCleanStop()
{
    if (!writable())
        return false;
    // The heads as they end, with the clean stop.
    if (!db_.transaction())
        return fail(QString(), db_.lastError());
    if (chains_.writeMarks(&lastError_, RecordChains::Heads::Now)
        && exec(QStringLiteral("UPDATE store_info SET value = 0 WHERE key = 'running'")) && db_.commit())
        return true;
    db_.rollback();
    return false;
}

void SqliteReadingsStore::disconnect()
{
    // Qt removes a connection only once nothing refers to it any more.
    statements_.reset();
    intervals_.reset();
    events_.reset();
    chains_.close();
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName_);
}

bool SqliteReadingsStore::setUp(StoreJournal journal)
{
    const bool wal = journal != StoreJournal::DeleteFull;
    const bool normal = journal == StoreJournal::WalNormal;
    QSqlQuery mode(db_);
    if (!mode.exec(QStringLiteral("PRAGMA journal_mode=%1").arg(QLatin1String(wal ? "WAL" : "DELETE"))))
        return fail(QString(), mode.lastError());
    // A file system without shared memory keeps the rollback journal, which
    // is only safe from power cuts with a sync on every commit.
    const bool walTaken = mode.next() && mode.value(0).toString() == QLatin1String("wal");
    mode.finish();
    if (!exec(QStringLiteral("PRAGMA synchronous=%1").arg(QLatin1String(normal && walTaken ? "NORMAL" : "FULL"))))
        return false;
    if (!db_.transaction())
        return fail(QString(), db_.lastError());
    bool made = true;
    for (const char* statement : kSchema)
        made = made && exec(QLatin1String(statement));
    made = made
           && exec(QStringLiteral("INSERT OR IGNORE INTO store_info VALUES('created_utc_ms', %1)")
                       .arg(QDateTime::currentMSecsSinceEpoch()))
           && exec(QStringLiteral("INSERT OR IGNORE INTO store_info VALUES('store_id', '%1')")
                       .arg(QUuid::createUuid().toString(QUuid::WithoutBraces)))
           && exec(QStringLiteral("INSERT OR IGNORE INTO store_info VALUES('schema_version', %1)")
                       .arg(kSchemaVersion))
           && upgradeSchema();
    if (made) {
        intervals_ = std::make_unique<StoreIntervals>(db_);
        if (!intervals_->setUp()) {
            lastError_ = intervals_->error();
            made = false;
        }
    }
    made = made && openChains() && exec(QStringLiteral("INSERT OR REPLACE INTO store_info VALUES('running', 1)"));
    if (made)
        openIntervalStart_ = intervals_->newestStart();
    if (made && db_.commit())
        return true;
    if (made)
        fail(QString(), db_.lastError());
    db_.rollback();
    return false;
}

// A store of an older schema gets what this one adds, inside the set-up's
// transaction: the readings' K-factor and meter in liters, and the readings'
// and alarm events' seals (empty in the rows stored before). A store of a
// newer schema is left as it is, and refused.
bool SqliteReadingsStore::upgradeSchema()
{
    QSqlQuery version(db_);
    if (!version.exec(QStringLiteral("SELECT value FROM store_info WHERE key = 'schema_version'")) || !version.next())
        return fail(QString(), version.lastError());
    const int found = version.value(0).toInt();
    version.finish();
    if (found > kSchemaVersion) {
        lastError_ = QStringLiteral("it was made by a newer version of tavelin (schema %1)").arg(found);
        return false;
    }
    if (found == kSchemaVersion)
        return true;
    const struct {
        const char* table;
        const char* column;
        const char* type;
    } added[] = {{"readings", "pulses_per_liter", "REAL"},
                 {"readings", "meter_liters", "REAL"},
                 {"readings", "seal", "BLOB"},
                 {"alarm_events", "seal", "BLOB"},
                 {"intervals", "seal", "BLOB"}};
    for (const auto& column : added) {
        const QStringList columns = columnsOf(QLatin1String(column.table));
        // A table made later (intervals) is made whole.
        if (!columns.isEmpty() && !columns.contains(QLatin1String(column.column))
            && !exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3")
                         .arg(QLatin1String(column.table), QLatin1String(column.column), QLatin1String(column.type))))
            return false;
    }
    return exec(QStringLiteral("UPDATE store_info SET value = %1 WHERE key = 'schema_version'").arg(kSchemaVersion));
}

// The chains go on from the store's newest seals; a store without a key
// gets one, and one whose key is gone is told so.
bool SqliteReadingsStore::openChains()
{
    // The intervals an older store's readings will make are stored unsealed:
    // their chain begins after them.
    chainsOpening_ = chains_.open(db_, path_, {{intervalsTable().name, intervals_->buildThroughQuarter()}});
    if (!chainsOpening_.ok) {
        lastError_ = chainsOpening_.error;
        return false;
    }
    if (chainsOpening_.keyReplaced) {
        const QString replaced = QStringLiteral("The key that sealed the records in %1 is gone; a new one is made, "
                                                "and the records stored until now can no longer be checked.")
                                     .arg(path_);
        notice_ = notice_.isEmpty() ? replaced : notice_ + QLatin1Char('\n') + replaced;
    }
    return true;
}

QStringList SqliteReadingsStore::columnsOf(const QString& table)
{
    QStringList columns;
    QSqlQuery info(db_);
    if (info.exec(QStringLiteral("PRAGMA table_info(%1)").arg(table))) {
        while (info.next())
            columns.append(info.value(1).toString());
    }
    return columns;
}

// Reads store_info and prepares the statements; the store is open after it.
bool SqliteReadingsStore::readInfoAndPrepare()
{
    QSqlQuery info(db_);
    if (!info.exec(QStringLiteral("SELECT key, value FROM store_info")))
        return fail(QStringLiteral("it is not a readings store"), info.lastError());
    while (info.next()) {
        const QString key = info.value(0).toString();
        if (key == QLatin1String("created_utc_ms"))
            createdUtcMs_ = info.value(1).toLongLong();
        if (key == QLatin1String("store_id"))
            storeId_ = info.value(1).toString();
        if (key == QLatin1String("schema_version") && info.value(1).toInt() > kSchemaVersion) {
            lastError_ = QStringLiteral("it was made by a newer version of tavelin (schema %1)")
                             .arg(info.value(1).toInt());
            return false;
        }
    }
    // Read only, an older store is read as it is: its readings have no K.
    const QStringList columns = readingColumns();
    auto statements = std::make_unique<SqliteReadingStatements>(db_, columns.contains(QLatin1String("meter_liters")),
                                                                columns.contains(QLatin1String("seal")));
    if (!statements->prepare()) {
        lastError_ = QStringLiteral("it is not a readings store (%1)").arg(statements->error());
        return false;
    }
    statements_ = std::move(statements);
    events_ = std::make_unique<SqliteEventStatements>(db_);
    return true;
}

bool SqliteReadingsStore::exec(const QString& statement)
{
    QSqlQuery query(db_);
    return query.exec(statement) || fail(QString(), query.lastError());
}

bool SqliteReadingsStore::fail(const QString& doing, const QSqlError& error)
{
    lastError_ = doing.isEmpty() ? reasonOf(error) : QStringLiteral("%1 (%2)").arg(doing, reasonOf(error));
    return false;
}

template <typename Result>
Result SqliteReadingsStore::noted(Result result)
{
    if (!statements_->error().isEmpty())
        lastError_ = statements_->error();
    return result;
}

bool SqliteReadingsStore::writable()
{
    if (isOpen() && !readOnly_)
        return true;
    lastError_ = isOpen() ? QStringLiteral("the store is open for reading only")
                          : QStringLiteral("the store is not open");
    return false;
}

QVector<StoredAlarmEvent> SqliteReadingsStore::alarmEventsAfter(std::int64_t seq, int maxRows)
{
    return isOpen() && maxRows > 0 ? noted(statements_->alarmEventsAfter(seq, maxRows)) : QVector<StoredAlarmEvent>();
}

std::optional<std::int64_t> SqliteReadingsStore::newestAlarmEventSeq()
{
    return isOpen() ? noted(statements_->newestAlarmEventSeq()) : std::nullopt;
}

std::optional<StoredReading> SqliteReadingsStore::newest()
{
    if (!isOpen()) {
        newestFailed_ = true;
        return std::nullopt;
    }
    const std::optional<StoredReading> newest = noted(statements_->newest());
    newestFailed_ = !statements_->error().isEmpty();
    return newest;
}

QVector<StoredReading> SqliteReadingsStore::readingsSince(std::int64_t utcMs)
{
    return isOpen() ? noted(statements_->since(utcMs)) : QVector<StoredReading>();
}

QVector<StoredReading> SqliteReadingsStore::readingsAfter(std::int64_t seq, int maxRows)
{
    return isOpen() && maxRows > 0 ? noted(statements_->after(seq, maxRows)) : QVector<StoredReading>();
}

std::optional<std::int64_t> SqliteReadingsStore::deliveredUpTo(const QString& stream)
{
    return isOpen() ? noted(statements_->infoNumber(QStringLiteral("delivered/") + stream)) : std::nullopt;
}

bool SqliteReadingsStore::setDeliveredUpTo(const QString& stream, std::int64_t seq)
{
    if (!isOpen() || readOnly_)
        return false;
    return noted(statements_->setInfoNumber(QStringLiteral("delivered/") + stream, seq));
}

std::int64_t SqliteReadingsStore::readingCount()
{
    return isOpen() ? noted(statements_->count()) : 0;
}

} // namespace tavelin
