#pragma once
// The readings store's writer: a thread of its own with a connection of its
// own. It opens the store there (a damaged file set aside, the file checked
// only after an unclean stop), then commits what it is handed, in the order
// it was handed, each batch synced to the disk before it says so, and ends
// by saying the stop was clean. Whoever hands it work never waits for the
// disk: work is added to a batch under a short lock and the thread takes the
// whole batch when it is free, so that a slow disk writes many readings with
// one sync.

#include "platform/qt/sqlite_readings_store.h"

#include <QObject>
#include <QThread>

#include <functional>
#include <memory>
#include <optional>

namespace tavelin {

class StoreWriter {
public:
    // What opening found, for the owner's thread.
    struct Opened {
        bool ok = false;
        QString error;        // why no store could be opened
        QString notice;       // what the operator is told once (a damaged file set aside)
        QString storeId;
        std::int64_t createdUtcMs = 0;
        bool uncleanStop = false;             // the last writer ended without saying so
        std::optional<StoredReading> newest;  // none: an empty store, or newestError says why it is unknown
        QString newestError;
        std::optional<std::int64_t> newestAlarmSeq;
        std::optional<std::int64_t> newestEventSeq;
        QMap<QString, std::int64_t> delivered; // stream -> seq
        bool buildingIntervals = false;        // a store made before them: built from its readings now
        QString setAsideAs;       // the damaged file's new name, when one was set aside
        bool keyReplaced = false; // the store's key was gone and a new one made
        QString recordedSettings; // the settings as last recorded in the store; null: never
    };
    // What one commit did: the newest seq it made durable, or why it failed.
    struct Committed {
        std::int64_t readingSeq = 0; // 0: no reading in the batch
        QByteArray readingSeal;      // that reading's seal
        std::int64_t alarmSeq = 0;
        std::int64_t eventSeq = 0;
        int readings = 0;
        QString error; // empty: durable
    };
    // Called on the receiver's thread; not at all once the receiver is gone.
    struct Handlers {
        QObject* receiver;
        std::function<void(const Opened&)> opened;
        std::function<void(const Committed&)> committed;
        std::function<void(const std::optional<StoredReading>& newest, const QString& error)> newestRead;
    };

    explicit StoreWriter(Handlers handlers);
    // close() with a few seconds' wait, if not closed before.
    ~StoreWriter();
    StoreWriter(const StoreWriter&) = delete;
    StoreWriter& operator=(const StoreWriter&) = delete;

    // Starts the thread and opens the store at path there; readings stored
    // without a K-factor of their own count at fallbackK in the intervals.
    // A store made before the intervals has them built there, a step at a
    // time between the commits.
    void open(const QString& path, double fallbackK, StoreJournal journal = StoreJournal::WalFull);
    // Adds to the next batch; from any thread. addTo may change the batch.
    void add(const std::function<void(StoreBatch&)>& addTo);
    // Reads the newest reading again (after it could not be read at open).
    void readNewest();
    // Commits what is waiting, says the stop was clean, closes the store and
    // ends the thread, waiting at most waitMs. False when the thread is still
    // busy then (a disk that does not answer): it is left to end by itself.
    bool close(int waitMs);

    static constexpr int kCloseWaitMs = 30000;
    static const char kRecordedSettingsKey[];

private:
    class Worker;
    QThread* thread_;
    Worker* worker_; // lives on thread_
    bool closed_ = false;
};

} // namespace tavelin
