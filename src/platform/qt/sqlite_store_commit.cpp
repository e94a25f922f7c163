// The readings store's writes: every write is a commit of a batch, so that
// each row is sealed in seq order after the one before it, and the chains'
// marks move in the same transaction as the rows. A commit that fails takes
// the chains back to where they were.
#include "platform/qt/sqlite_event_statements.h"
#include "platform/qt/sqlite_reading_statements.h"
#include "platform/qt/sqlite_readings_store.h"
#include "platform/qt/store_intervals.h"
#include "history/quarter_hour.h"
#include "records/sealed_tables.h"

namespace tavelin {

namespace {
// Old quarter-hour intervals leave a few at a time, with a commit's readings.
constexpr int kIntervalPruneRows = 50;
} // namespace

std::optional<std::int64_t> SqliteReadingsStore::append(const StoredReading& reading)
{
    if (!writable())
        return std::nullopt;
    StoreBatch batch;
    batch.readings.append(reading);
    if (reading.seq <= 0) { // the newest seq + 1
        const std::optional<StoredReading> newest = statements_->newest();
        if (!statements_->error().isEmpty()) {
            lastError_ = statements_->error();
            return std::nullopt;
        }
        batch.readings[0].seq = newest ? newest->seq + 1 : 1;
    }
    return commit(batch) ? std::optional<std::int64_t>(batch.readings[0].seq) : std::nullopt;
}

std::optional<std::int64_t> SqliteReadingsStore::appendAlarmEvent(const StoredAlarmEvent& event)
{
    if (!writable())
        return std::nullopt;
    StoreBatch batch;
    batch.alarmEvents.append(event);
    if (event.seq <= 0) // events are never removed: the newest seq + 1 is a seq never given
        batch.alarmEvents[0].seq = statements_->newestAlarmEventSeq().value_or(0) + 1;
    return commit(batch) ? std::optional<std::int64_t>(batch.alarmEvents[0].seq) : std::nullopt;
}

std::optional<std::int64_t> SqliteReadingsStore::appendEvent(const StoredEvent& event)
{
    if (!writable())
        return std::nullopt;
    StoreBatch batch;
    batch.events.append(event);
    if (event.seq <= 0)
        batch.events[0].seq = newestEventSeq().value_or(0) + 1;
    return commit(batch) ? std::optional<std::int64_t>(batch.events[0].seq) : std::nullopt;
}

QVector<StoredEvent> SqliteReadingsStore::eventsAfter(std::int64_t seq, int maxRows)
{
    if (!isOpen() || maxRows <= 0)
        return {};
    QVector<StoredEvent> events = events_->after(seq, maxRows);
    if (!events_->error().isEmpty())
        lastError_ = events_->error();
    return events;
}

std::int64_t SqliteReadingsStore::eventCount()
{
    return isOpen() ? events_->count() : 0;
}

std::optional<std::int64_t> SqliteReadingsStore::newestEventSeq()
{
    return isOpen() ? events_->newestSeq() : std::nullopt;
}

QString SqliteReadingsStore::infoText(const QString& key)
{
    return isOpen() ? statements_->infoText(key) : QString();
}

int SqliteReadingsStore::removeOlderThan(std::int64_t utcMs, int maxRows)
{
    if (!isOpen() || readOnly_ || maxRows <= 0)
        return 0;
    StoreBatch batch;
    batch.pruneBeforeUtcMs = utcMs;
    batch.pruneMaxRows = maxRows;
    return commit(batch) ? lastRemoved_ : 0;
}

bool SqliteReadingsStore::commit(const StoreBatch& batch)
{
    if (!writable())
        return false;
    const RecordChains::State chains = chains_.state();
    const std::int64_t openInterval = openIntervalStart_;
    lastRemoved_ = 0;
    if (!db_.transaction())
        return fail(QString(), db_.lastError());
    const bool written = storeRows(batch) && prune(batch) && chains_.writeMarks(&lastError_);
    if (written && db_.commit())
        return true;
    if (written)
        lastError_ = reasonOf(db_.lastError());
    db_.rollback();
    chains_.restore(chains);
    openIntervalStart_ = openInterval;
    lastRemoved_ = 0;
    return false;
}

// A reading of a later quarter hour closes the one before, which is sealed
// then. One at or before the chain's head is never sealed: it was built from
// an older store's readings, or a clock set back has added to it.
bool SqliteReadingsStore::closeIntervalsBefore(std::int64_t utcMs)
{
    const std::int64_t quarter = quarterHourFloor(utcMs);
    if (quarter <= openIntervalStart_)
        return true;
    const std::int64_t closed = openIntervalStart_;
    openIntervalStart_ = quarter;
    if (closed == 0 || closed <= chains_.headSeq(intervalsTable().name))
        return true;
    if (intervals_->seal(closed, [this](const QVector<QVariant>& values) {
            return chains_.seal(intervalsTable(), values);
        }))
        return true;
    lastError_ = intervals_->error();
    return false;
}

// Each row sealed after the one before it, in the order handed over (seq order).
bool SqliteReadingsStore::storeRows(const StoreBatch& batch)
{
    bool written = true;
    for (StoredReading reading : batch.readings) {
        if (written && !closeIntervalsBefore(reading.utcMs))
            return false;
        reading.seal = chains_.seal(readingsTable(), sealValues(reading));
        written = written && statements_->append(reading);
        if (written && !intervals_->add(reading, fallbackPulsesPerLiter_)) {
            lastError_ = intervals_->error();
            return false;
        }
    }
    for (const StoredAlarmEvent& event : batch.alarmEvents)
        written = written && statements_->appendAlarmEvent(event, chains_.seal(alarmEventsTable(), sealValues(event)));
    for (auto it = batch.delivered.constBegin(); written && it != batch.delivered.constEnd(); ++it)
        written = statements_->setInfoNumber(QStringLiteral("delivered/") + it.key(), it.value());
    for (auto it = batch.infoTexts.constBegin(); written && it != batch.infoTexts.constEnd(); ++it)
        written = statements_->setInfoText(it.key(), it.value());
    if (!written) {
        lastError_ = statements_->error();
        return false;
    }
    for (const StoredEvent& event : batch.events) {
        if (!events_->append(event, chains_.seal(eventsTable(), sealValues(event)))) {
            lastError_ = events_->error();
            return false;
        }
    }
    return true;
}

// Old readings leave, in whole runs of pruneMaxRows: the anchor moves to the
// last one's seal with each run, a write that costs every durable commit a
// sixth more when it comes with each reading.
bool SqliteReadingsStore::prune(const StoreBatch& batch)
{
    if (batch.pruneIntervalsBeforeUtcMs > 0) {
        std::int64_t lastStart = 0;
        QByteArray lastSeal;
        intervals_->removeOlderThan(batch.pruneIntervalsBeforeUtcMs, kIntervalPruneRows, &lastStart, &lastSeal);
        if (!intervals_->error().isEmpty()) {
            lastError_ = intervals_->error();
            return false;
        }
        if (lastStart != 0)
            chains_.removedUpTo(intervalsTable(), lastStart, lastSeal);
    }
    // Readings wait for the intervals' first build: their liters must be
    // counted before they go.
    if (batch.pruneBeforeUtcMs <= 0 || intervals_->building())
        return true;
    StoredReading last;
    lastRemoved_ = statements_->removeOlderThan(batch.pruneBeforeUtcMs, batch.pruneMaxRows, &last, batch.wholeRuns);
    if (!statements_->error().isEmpty()) {
        lastError_ = statements_->error();
        return false;
    }
    if (lastRemoved_ > 0)
        chains_.removedUpTo(readingsTable(), last.seq, last.seal);
    return true;
}

bool SqliteReadingsStore::buildingIntervals() const
{
    return intervals_ && intervals_->building();
}

bool SqliteReadingsStore::buildIntervals(bool* more)
{
    *more = false;
    if (!writable() || !buildingIntervals())
        return writable();
    if (!db_.transaction())
        return fail(QString(), db_.lastError());
    if (intervals_->buildStep(fallbackPulsesPerLiter_, more) && db_.commit())
        return true;
    lastError_ = intervals_->error().isEmpty() ? reasonOf(db_.lastError()) : intervals_->error();
    db_.rollback();
    intervals_->readProgress();
    *more = intervals_->building();
    return false;
}

} // namespace tavelin
