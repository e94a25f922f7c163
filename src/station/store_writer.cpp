#include "station/store_writer.h"

#include <QMetaObject>

#include <mutex>

namespace tavelin {

namespace {
const char* const kStreams[] = {"mqtt_state", "mqtt_alarm"};
} // namespace

// The store_info key of the settings as last recorded in the event log.
const char StoreWriter::kRecordedSettingsKey[] = "recorded_settings";

// The thread's side: the store, and the batch that the owner's thread adds to
// under the mutex while the store commits the one before.
class StoreWriter::Worker : public QObject {
public:
    explicit Worker(Handlers handlers) : handlers_(std::move(handlers)) {}

    void openHere(const QString& path, double fallbackK, StoreJournal journal);
    void buildIntervalsHere();
    void add(const std::function<void(StoreBatch&)>& addTo);
    void drainHere();
    void readNewestHere();
    void closeHere();

private:
    // A call on the receiver's thread; dropped when the receiver is gone by then.
    template <typename Call>
    void tell(Call call) { QMetaObject::invokeMethod(handlers_.receiver, std::move(call), Qt::QueuedConnection); }

    Handlers handlers_;
    std::unique_ptr<SqliteReadingsStore> store_;
    std::mutex mutex_;
    StoreBatch batch_;         // under mutex_
    bool drainPosted_ = false; // under mutex_
};

void StoreWriter::Worker::openHere(const QString& path, double fallbackK, StoreJournal journal)
{
    Opened opened;
    store_ = SqliteReadingsStore::open(path, &opened.error, journal);
    if (store_) {
        store_->setFallbackPulsesPerLiter(fallbackK);
        opened.buildingIntervals = store_->buildingIntervals();
        opened.ok = true;
        opened.notice = store_->notice();
        opened.storeId = store_->storeId();
        opened.createdUtcMs = store_->createdUtcMs();
        opened.uncleanStop = store_->uncleanStop();
        opened.newest = store_->newest();
        if (store_->newestUnknown())
            opened.newestError = store_->lastError();
        opened.newestAlarmSeq = store_->newestAlarmEventSeq();
        opened.newestEventSeq = store_->newestEventSeq();
        opened.setAsideAs = store_->setAsideAs();
        opened.keyReplaced = store_->keyReplaced();
        opened.recordedSettings = store_->infoText(QLatin1String(kRecordedSettingsKey));
        for (const char* stream : kStreams) {
            if (const auto seq = store_->deliveredUpTo(QLatin1String(stream)))
                opened.delivered.insert(QLatin1String(stream), *seq);
        }
    }
    tell([handler = handlers_.opened, opened] { handler(opened); });
    drainHere(); // what was handed over while the store opened
    if (opened.buildingIntervals)
        QMetaObject::invokeMethod(this, [this] { buildIntervalsHere(); }, Qt::QueuedConnection);
}

// A step, then the commits that waited meanwhile, then the next step: the
// readings of this run never wait for a whole build.
void StoreWriter::Worker::buildIntervalsHere()
{
    bool more = false;
    if (!store_ || !store_->buildIntervals(&more))
        return; // tried again at the next start
    if (more)
        QMetaObject::invokeMethod(this, [this] { buildIntervalsHere(); }, Qt::QueuedConnection);
}

void StoreWriter::Worker::add(const std::function<void(StoreBatch&)>& addTo)
{
    std::lock_guard<std::mutex> lock(mutex_);
    addTo(batch_);
    if (drainPosted_)
        return;
    drainPosted_ = true;
    QMetaObject::invokeMethod(this, [this] { drainHere(); }, Qt::QueuedConnection);
}

void StoreWriter::Worker::drainHere()
{
    StoreBatch batch;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::swap(batch, batch_);
        drainPosted_ = false;
    }
    if (batch.isEmpty() || !store_)
        return; // no store: nothing can be kept, and nothing waits for it
    Committed committed;
    committed.readings = batch.readings.size();
    if (store_->commit(batch)) {
        committed.readingSeq = batch.readings.isEmpty() ? 0 : batch.readings.last().seq;
        if (committed.readingSeq > 0)
            committed.readingSeal = store_->headSeal(QStringLiteral("readings"));
        committed.alarmSeq = batch.alarmEvents.isEmpty() ? 0 : batch.alarmEvents.last().seq;
        committed.eventSeq = batch.events.isEmpty() ? 0 : batch.events.last().seq;
    } else {
        committed.error = store_->lastError();
    }
    tell([handler = handlers_.committed, committed] { handler(committed); });
}

void StoreWriter::Worker::readNewestHere()
{
    if (!store_)
        return;
    const std::optional<StoredReading> newest = store_->newest();
    const QString error = store_->newestUnknown() ? store_->lastError() : QString();
    tell([handler = handlers_.newestRead, newest, error] { handler(newest, error); });
}

void StoreWriter::Worker::closeHere()
{
    drainHere();
    if (store_)
        store_->markCleanStop();
    store_.reset(); // its connection goes on the thread that made it
    thread()->quit();
}

StoreWriter::StoreWriter(Handlers handlers) : thread_(new QThread), worker_(new Worker(std::move(handlers)))
{
    thread_->setObjectName(QStringLiteral("store writer"));
    worker_->moveToThread(thread_);
}

StoreWriter::~StoreWriter()
{
    close(kCloseWaitMs);
}

void StoreWriter::open(const QString& path, double fallbackK, StoreJournal journal)
{
    thread_->start();
    QMetaObject::invokeMethod(worker_, [w = worker_, path, fallbackK, journal] { w->openHere(path, fallbackK, journal); },
                              Qt::QueuedConnection);
}

void StoreWriter::add(const std::function<void(StoreBatch&)>& addTo)
{
    if (!closed_)
        worker_->add(addTo);
}

void StoreWriter::readNewest()
{
    if (!closed_)
        QMetaObject::invokeMethod(worker_, [w = worker_] { w->readNewestHere(); }, Qt::QueuedConnection);
}

bool StoreWriter::close(int waitMs)
{
    if (closed_)
        return true;
    closed_ = true;
    if (!thread_->isRunning()) {
        delete worker_;
        delete thread_;
        return true;
    }
    QMetaObject::invokeMethod(worker_, [w = worker_] { w->closeHere(); }, Qt::QueuedConnection);
    if (thread_->wait(static_cast<unsigned long>(std::max(waitMs, 0)))) {
        delete worker_;
        delete thread_;
        return true;
    }
    // A disk that does not answer: the thread takes both along once it does.
    QObject::connect(thread_, &QThread::finished, [worker = worker_, thread = thread_] {
        delete worker;
        thread->deleteLater();
    });
    return false;
}

} // namespace tavelin
