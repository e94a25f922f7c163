#pragma once
// The readings store in an SQLite file, through Qt SQL's QSQLITE driver on a
// connection of its own, so that any number of stores (and other users of Qt
// SQL) can be open at once. Each reading is committed by itself before
// append() returns. The statements are prepared once, when the store opens.
// The driver is a Qt plugin: a QCoreApplication must exist first.

#include "platform/qt/record_chains.h"
#include "platform/readings_store.h"

#include <QMap>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>

#include <memory>

namespace tavelin {

// What a writer commits at once: readings, alarm events and events carrying
// the seq they were given (each sealed in seq order as it is stored), delivery
// cursors, texts for store_info, and old readings to remove (oldest seq
// first, while older than pruneBeforeUtcMs; 0: none; with wholeRuns, only
// once pruneMaxRows of them are old).
struct StoreBatch {
    QVector<StoredReading> readings;
    QVector<StoredAlarmEvent> alarmEvents;
    QVector<StoredEvent> events;
    QMap<QString, std::int64_t> delivered; // stream -> seq
    QMap<QString, QString> infoTexts;      // store_info key -> text
    std::int64_t pruneBeforeUtcMs = 0;
    int pruneMaxRows = 0;
    std::int64_t pruneIntervalsBeforeUtcMs = 0; // quarter-hour intervals ending by then leave; 0: none
    bool wholeRuns = false;
    bool isEmpty() const
    {
        // A removal alone waits for the next rows: it needs no sync of its own.
        return readings.isEmpty() && alarmEvents.isEmpty() && events.isEmpty() && delivered.isEmpty()
               && infoTexts.isEmpty();
    }
};

// How commits reach the disk. The program uses WalNormal (see the reasons in
// sqlite_readings_store.cpp); the others are there to be measured against it.
enum class StoreJournal { WalNormal, WalFull, DeleteFull };

class SqliteEventStatements;
class SqliteReadingStatements;
class StoreIntervals;

class SqliteReadingsStore : public ReadingsStore {
public:
    static constexpr int kSchemaVersion = 4;

    // Opens the store at path, making the file and its folders when missing.
    // A file that is not a database, or fails SQLite's quick check, is set
    // aside under a new name (never deleted) with its key, and a fresh store
    // is made in its place; notice() then says so. The key its rows are
    // sealed with is read from beside it, or made with it. Null, with *error
    // set, when no store can be opened or made there (a path through a file,
    // a read-only folder, a full disk, a key that cannot be read).
    static std::unique_ptr<SqliteReadingsStore> open(const QString& path, QString* error,
                                                     StoreJournal journal = StoreJournal::WalNormal);
    // Reads an existing store and changes nothing, whether or not another
    // connection is writing it; append() and removeOlderThan() fail.
    static std::unique_ptr<SqliteReadingsStore> openReadOnly(const QString& path, QString* error);

    ~SqliteReadingsStore() override;
    SqliteReadingsStore(const SqliteReadingsStore&) = delete;
    SqliteReadingsStore& operator=(const SqliteReadingsStore&) = delete;

    bool isOpen() const override { return statements_ != nullptr; }
    std::optional<std::int64_t> append(const StoredReading& reading) override;
    std::optional<StoredReading> newest() override;
    bool newestUnknown() const override { return newestFailed_; }
    QVector<StoredReading> readingsSince(std::int64_t utcMs) override;
    QVector<StoredReading> readingsAfter(std::int64_t seq, int maxRows) override;
    std::optional<std::int64_t> deliveredUpTo(const QString& stream) override;
    bool setDeliveredUpTo(const QString& stream, std::int64_t seq) override;
    std::int64_t readingCount() override;
    std::int64_t createdUtcMs() override { return createdUtcMs_; }
    int removeOlderThan(std::int64_t utcMs, int maxRows) override;
    std::optional<std::int64_t> appendAlarmEvent(const StoredAlarmEvent& event) override;
    QVector<StoredAlarmEvent> alarmEventsAfter(std::int64_t seq, int maxRows) override;
    std::optional<std::int64_t> newestAlarmEventSeq() override;
    QString lastError() const override { return lastError_; }
    QString filePath() const override { return path_; }
    QString storeId() override { return storeId_; }
    std::optional<std::int64_t> appendEvent(const StoredEvent& event) override;
    QVector<StoredEvent> eventsAfter(std::int64_t seq, int maxRows) override;
    std::int64_t eventCount() override;
    std::optional<std::int64_t> newestEventSeq();
    // A text of store_info; null when it is not there.
    QString infoText(const QString& key);

    // Commits the batch in one transaction: readings, alarm events and events
    // with the seq they carry, each sealed, each reading's quarter-hour
    // interval, delivery cursors, texts, and the removal of old readings and
    // intervals. All of it or nothing; false with lastError() set when it
    // fails.
    bool commit(const StoreBatch& batch);
    // The newest seal of a sealed table ("readings"), as this writer sealed it.
    QByteArray headSeal(const QString& table) const { return chains_.headSeal(table); }
    // Off: rows are stored without seals. Only to measure what sealing costs.
    void setSealing(bool on) { chains_.setOn(on); }
    // A store made before the quarter-hour intervals builds them from its
    // readings, a step per call, each in a transaction of its own; *more says
    // whether steps remain. Until the last, no reading leaves the store.
    bool buildIntervals(bool* more);
    bool buildingIntervals() const;
    // The K-factor of readings stored without one of their own (the
    // settings' when the store is opened).
    void setFallbackPulsesPerLiter(double pulsesPerLiter) { fallbackPulsesPerLiter_ = pulsesPerLiter; }
    // Says that this writer ended cleanly: the next open needs no check.
    bool markCleanStop();
    // Whether the writer before this one ended without markCleanStop(): the
    // store was checked at open.
    bool uncleanStop() const { return uncleanStop_; }

    bool isReadOnly() const { return readOnly_; }
    // What opening did that the operator should hear of once (a damaged file
    // set aside, a key made anew for a sealed store); empty when nothing happened.
    QString notice() const { return notice_; }
    // The damaged file's new name when one was set aside at open; else empty.
    QString setAsideAs() const { return setAsideAs_; }
    // The store had seals, but not its key: a new one was made at open.
    bool keyReplaced() const { return chainsOpening_.keyReplaced; }

private:
    enum class Check { Good, Damaged, Failed };

    SqliteReadingsStore(const QString& path, bool readOnly);
    Check connectUnlessForeign();
    Check connect();
    bool needsCheck();
    Check quickCheck();
    void disconnect();
    bool setUp(StoreJournal journal);
    bool openChains();
    bool readInfoAndPrepare();
    bool upgradeSchema();
    QStringList columnsOf(const QString& table);
    QStringList readingColumns() { return columnsOf(QStringLiteral("readings")); }
    bool storeRows(const StoreBatch& batch);
    bool prune(const StoreBatch& batch);
    bool closeIntervalsBefore(std::int64_t utcMs);
    bool exec(const QString& statement);
    // Open for writing; else false, with the reason in lastError_.
    bool writable();
    bool fail(const QString& doing, const QSqlError& error);
    // Passes a statement's result on, keeping the reason when it failed.
    template <typename Result>
    Result noted(Result result);

    QString path_;
    bool readOnly_;
    QString connectionName_;
    QSqlDatabase db_;
    std::unique_ptr<SqliteReadingStatements> statements_;
    std::unique_ptr<SqliteEventStatements> events_;
    RecordChains chains_;
    RecordChains::Opening chainsOpening_;
    int lastRemoved_ = 0;
    std::int64_t createdUtcMs_ = 0;
    QString storeId_;
    bool uncleanStop_ = false;
    bool newestFailed_ = false;
    std::unique_ptr<StoreIntervals> intervals_; // a writer's
    double fallbackPulsesPerLiter_ = 6900.0;
    std::int64_t openIntervalStart_ = 0; // the newest quarter hour, sealed once a reading moves past it
    QString lastError_;
    QString notice_;
    QString setAsideAs_;
};

} // namespace tavelin
