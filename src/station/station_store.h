#pragma once
// The readings store as the station sees it: the only writer of its file, so
// it gives each reading and alarm event its seq itself and keeps the newest
// in memory, and hands the rows to the store writer's thread without waiting
// for the disk. Reads go to a connection of its own that sees only what the
// writer has committed, and so only what is durable: an output that reads
// here (MQTT's outbox) never sends a reading a power cut could take back.
//
// Readings that wait for a slow disk stay queued, in order; once more than
// kWaitingReported wait, that is said once. A commit that fails is told to
// the operator once, and again only after one succeeded.

#include "platform/readings_store.h"
#include "station/store_writer.h"

#include <QMap>
#include <QObject>

#include <functional>
#include <memory>

namespace tavelin {

class MessageBox;
class SqliteReadingsStore;

class StationStore : public QObject, public ReadingsStore {
    Q_OBJECT
public:
    static constexpr int kWaitingReported = 10;
    using StatusLine = std::function<void(const QString& line, bool trouble)>;

    StationStore(MessageBox& messages, StatusLine statusLine, QObject* parent = nullptr);
    ~StationStore() override;

    // Opens the store at path on the writer's thread; opened() follows.
    // fallbackK: the K-factor of readings stored without one of their own.
    void open(const QString& path, double fallbackK);
    // Quarter-hour intervals older than this leave the store, with the
    // commits of new readings; 0 keeps them for good.
    void setIntervalYears(double years) { intervalYears_ = years; }
    // Commits what waits, says the stop was clean and closes; false when the
    // disk did not answer within the wait.
    bool close();

    bool isOpen() const override { return opened_; }
    std::optional<std::int64_t> append(const StoredReading& reading) override;
    // Known once opened; until the newest reading could be read, nothing,
    // with lastError() saying why (nothing may be stored until then).
    std::optional<StoredReading> newest() override;
    bool newestUnknown() const override { return !baseKnown(); }
    QVector<StoredReading> readingsSince(std::int64_t utcMs) override;
    QVector<StoredReading> readingsAfter(std::int64_t seq, int maxRows) override;
    std::optional<std::int64_t> deliveredUpTo(const QString& stream) override;
    bool setDeliveredUpTo(const QString& stream, std::int64_t seq) override;
    std::int64_t readingCount() override;
    std::int64_t createdUtcMs() override { return info_.createdUtcMs; }
    int removeOlderThan(std::int64_t utcMs, int maxRows) override;
    std::optional<std::int64_t> appendAlarmEvent(const StoredAlarmEvent& event) override;
    QVector<StoredAlarmEvent> alarmEventsAfter(std::int64_t seq, int maxRows) override;
    std::optional<std::int64_t> newestAlarmEventSeq() override { return lastAlarmSeq_; }
    QString lastError() const override { return lastError_; }
    QString filePath() const override { return path_; }
    QString storeId() override { return info_.storeId; }
    std::optional<std::int64_t> appendEvent(const StoredEvent& event) override;
    QVector<StoredEvent> eventsAfter(std::int64_t seq, int maxRows) override;
    std::int64_t eventCount() override;
    DurableSeal durableSeal() override { return durableSeal_; }

    // The settings as the event log records them, kept with the next commit
    // for the next start to compare with.
    void recordSettings(const QString& text);
    // What opening found (valid once opened() said ok).
    const StoreWriter::Opened& openedInfo() const { return info_; }

    // The newest reading's seq that is on the disk; 0 before the first.
    std::int64_t durableSeq() const { return durableSeq_; }
    // Readings handed to the writer and not yet committed.
    int waiting() const { return waiting_; }
    // Whether the last run ended without closing the store.
    bool uncleanStop() const { return info_.uncleanStop; }

Q_SIGNALS:
    // The store is open (ok) or cannot be opened (error); notice: what the
    // operator is told once, either way.
    void opened(bool ok, const QString& notice);
    // A commit made these rows durable.
    void committed(std::int64_t readingSeq, std::int64_t alarmSeq);
    // A commit made events up to seq durable.
    void eventsCommitted(std::int64_t seq);
    // The newest reading, unknown at open, could be read at last.
    void newestFound();

private:
    void whenOpened(const StoreWriter::Opened& opened);
    void whenCommitted(const StoreWriter::Committed& committed);
    void whenNewestRead(const std::optional<StoredReading>& newest, const QString& error);
    bool baseKnown() const { return opened_ && newestError_.isEmpty(); }

    MessageBox& messages_;
    StatusLine statusLine_;
    StoreWriter writer_;
    std::unique_ptr<SqliteReadingsStore> reader_; // this thread's connection, read only
    QString path_;
    bool opened_ = false;
    StoreWriter::Opened info_;
    std::optional<StoredReading> newest_;   // the newest handed over
    QString newestError_;                   // why the newest is not known yet
    bool newestAsked_ = false;              // a reading of it is on its way
    std::optional<std::int64_t> lastAlarmSeq_;
    std::optional<std::int64_t> lastEventSeq_;
    DurableSeal durableSeal_;
    QMap<QString, std::int64_t> delivered_;
    std::int64_t durableSeq_ = 0;
    int waiting_ = 0;
    double intervalYears_ = 0.0;
    bool waitingReported_ = false;
    bool failureReported_ = false;
    QString lastError_;
};

} // namespace tavelin
