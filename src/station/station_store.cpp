#include "station/station_store.h"

#include "history/quarter_hour.h"
#include "platform/message_box.h"
#include "platform/qt/sqlite_readings_store.h"

#include <QCoreApplication>

namespace tavelin {

namespace {
const char kContext[] = "store";
} // namespace

StationStore::StationStore(MessageBox& messages, StatusLine statusLine, QObject* parent)
    : QObject(parent),
      messages_(messages),
      statusLine_(std::move(statusLine)),
      writer_({this, [this](const StoreWriter::Opened& opened) { whenOpened(opened); },
               [this](const StoreWriter::Committed& committed) { whenCommitted(committed); },
               [this](const std::optional<StoredReading>& newest, const QString& error) {
                   whenNewestRead(newest, error);
               }})
{
}

StationStore::~StationStore()
{
    close();
}

void StationStore::open(const QString& path, double fallbackK)
{
    path_ = path;
    lastError_ = QStringLiteral("the readings store is being opened");
    newestError_ = lastError_;
    writer_.open(path, fallbackK);
}

bool StationStore::close()
{
    opened_ = false;
    reader_.reset();
    return writer_.close(StoreWriter::kCloseWaitMs);
}

void StationStore::whenOpened(const StoreWriter::Opened& opened)
{
    if (!opened.ok) {
        lastError_ = opened.error;
        Q_EMIT this->opened(false, QCoreApplication::translate(kContext, "The readings store %1 cannot be opened: "
                                                                         "%2. Sampling and logging go on without "
                                                                         "it; the readings of this run are not kept.")
                                       .arg(path_, opened.error));
        return;
    }
    info_ = opened;
    QString readerError;
    reader_ = SqliteReadingsStore::openReadOnly(path_, &readerError);
    opened_ = true;
    lastError_.clear();
    newest_ = opened.newest;
    newestError_ = opened.newestError;
    lastAlarmSeq_ = opened.newestAlarmSeq;
    lastEventSeq_ = opened.newestEventSeq;
    if (newest_ && !newest_->seal.isEmpty())
        durableSeal_ = {newest_->seq, newest_->seal};
    delivered_ = opened.delivered;
    durableSeq_ = newest_ ? newest_->seq : 0;
    QString notice = opened.notice;
    if (!newestError_.isEmpty()) {
        lastError_ = newestError_;
        const QString unknown = QCoreApplication::translate(kContext, "The newest reading in %1 cannot be read (%2). "
                                                                      "Nothing is stored until it can be, so that "
                                                                      "the meter goes on from it.")
                                    .arg(path_, newestError_);
        notice = notice.isEmpty() ? unknown : notice + QLatin1Char('\n') + unknown;
    }
    Q_EMIT this->opened(true, notice);
}

std::optional<std::int64_t> StationStore::append(const StoredReading& reading)
{
    if (!baseKnown()) {
        lastError_ = newestError_.isEmpty() ? QStringLiteral("the store is not open") : newestError_;
        return std::nullopt;
    }
    StoredReading stored = reading;
    stored.seq = (newest_ ? newest_->seq : 0) + 1;
    newest_ = stored;
    const std::optional<std::int64_t> oldIntervals = intervalRetentionCutoff(reading.utcMs, intervalYears_);
    writer_.add([&stored, &oldIntervals](StoreBatch& batch) {
        batch.readings.append(stored);
        batch.pruneIntervalsBeforeUtcMs = oldIntervals.value_or(0);
    });
    if (++waiting_ > kWaitingReported && !waitingReported_) {
        waitingReported_ = true;
        statusLine_(QCoreApplication::translate(kContext, "%1 readings wait for the disk to take them into %2; "
                                                          "they stay in memory, in order, until it does")
                        .arg(waiting_)
                        .arg(path_),
                    true);
    }
    return stored.seq;
}

std::optional<std::int64_t> StationStore::appendAlarmEvent(const StoredAlarmEvent& event)
{
    if (!opened_)
        return std::nullopt;
    StoredAlarmEvent stored = event;
    stored.seq = lastAlarmSeq_.value_or(0) + 1;
    lastAlarmSeq_ = stored.seq;
    writer_.add([&stored](StoreBatch& batch) { batch.alarmEvents.append(stored); });
    return stored.seq;
}

std::optional<std::int64_t> StationStore::appendEvent(const StoredEvent& event)
{
    if (!opened_)
        return std::nullopt;
    StoredEvent stored = event;
    stored.seq = lastEventSeq_.value_or(0) + 1;
    lastEventSeq_ = stored.seq;
    writer_.add([&stored](StoreBatch& batch) { batch.events.append(stored); });
    return stored.seq;
}

void StationStore::recordSettings(const QString& text)
{
    if (opened_)
        writer_.add([&text](StoreBatch& batch) {
            batch.infoTexts.insert(QLatin1String(StoreWriter::kRecordedSettingsKey), text);
        });
}

QVector<StoredEvent> StationStore::eventsAfter(std::int64_t seq, int maxRows)
{
    return reader_ ? reader_->eventsAfter(seq, maxRows) : QVector<StoredEvent>();
}

std::int64_t StationStore::eventCount()
{
    return reader_ ? reader_->eventCount() : 0;
}

void StationStore::whenCommitted(const StoreWriter::Committed& committed)
{
    waiting_ = std::max(0, waiting_ - committed.readings);
    if (!committed.error.isEmpty()) {
        lastError_ = committed.error;
        if (!failureReported_) {
            failureReported_ = true;
            messages_.notify(QCoreApplication::translate(kContext, "Readings cannot be saved to %1: %2. Sampling and "
                                                                   "logging go on without it; storing starts again "
                                                                   "by itself once it can be written.")
                                 .arg(path_, committed.error));
        }
        return;
    }
    failureReported_ = false;
    if (committed.readingSeq > 0)
        durableSeq_ = committed.readingSeq;
    if (!committed.readingSeal.isEmpty())
        durableSeal_ = {committed.readingSeq, committed.readingSeal};
    if (waitingReported_ && waiting_ == 0) {
        waitingReported_ = false;
        statusLine_(QCoreApplication::translate(kContext, "The disk has taken every waiting reading"), false);
    }
    Q_EMIT this->committed(committed.readingSeq, committed.alarmSeq);
    if (committed.eventSeq > 0)
        Q_EMIT eventsCommitted(committed.eventSeq);
}

std::optional<StoredReading> StationStore::newest()
{
    if (baseKnown())
        return newest_;
    lastError_ = newestError_;
    if (opened_ && !newestAsked_) { // asked again at each reading until it can be read
        newestAsked_ = true;
        writer_.readNewest();
    }
    return std::nullopt;
}

void StationStore::whenNewestRead(const std::optional<StoredReading>& newest, const QString& error)
{
    newestAsked_ = false;
    if (!newest && !error.isEmpty())
        return;
    newest_ = newest;
    newestError_.clear();
    lastError_.clear();
    durableSeq_ = newest_ ? newest_->seq : 0;
    Q_EMIT newestFound();
}

QVector<StoredReading> StationStore::readingsSince(std::int64_t utcMs)
{
    return reader_ ? reader_->readingsSince(utcMs) : QVector<StoredReading>();
}

QVector<StoredReading> StationStore::readingsAfter(std::int64_t seq, int maxRows)
{
    return reader_ ? reader_->readingsAfter(seq, maxRows) : QVector<StoredReading>();
}

QVector<StoredAlarmEvent> StationStore::alarmEventsAfter(std::int64_t seq, int maxRows)
{
    return reader_ ? reader_->alarmEventsAfter(seq, maxRows) : QVector<StoredAlarmEvent>();
}

std::int64_t StationStore::readingCount()
{
    return reader_ ? reader_->readingCount() : 0;
}

std::optional<std::int64_t> StationStore::deliveredUpTo(const QString& stream)
{
    return delivered_.contains(stream) ? std::optional<std::int64_t>(delivered_.value(stream)) : std::nullopt;
}

bool StationStore::setDeliveredUpTo(const QString& stream, std::int64_t seq)
{
    if (!opened_)
        return false;
    delivered_.insert(stream, seq);
    writer_.add([&stream, seq](StoreBatch& batch) { batch.delivered.insert(stream, seq); });
    return true;
}

int StationStore::removeOlderThan(std::int64_t utcMs, int maxRows)
{
    if (!opened_)
        return 0;
    // With the next commit, in its transaction: no commit of its own; and
    // a whole run at a time, so that the chain's anchor moves once a run.
    writer_.add([utcMs, maxRows](StoreBatch& batch) {
        batch.pruneBeforeUtcMs = utcMs;
        batch.pruneMaxRows = maxRows;
        batch.wholeRuns = true;
    });
    return 0;
}

} // namespace tavelin
