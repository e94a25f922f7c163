#pragma once
// The station's event log: stamps each event handed over with the time, the
// user and the version, and stores it; events that come before the store is
// open wait, in order (at most kMostWaiting). What the station finds at
// start-up is recorded here too: a store set aside or a key made anew, an
// unclean end of the last run, the program's start, and every setting that
// changed in the file since the values the store last recorded.

#include "records/event_log.h"
#include "records/setting_changes.h"

#include <QVector>

namespace tavelin {

class ReadingsStore;
class WallClock;

class StationEvents : public EventSink {
public:
    static constexpr int kMostWaiting = 1000;

    explicit StationEvents(WallClock& clock);

    // Events go to store from now on, those waiting first; none: none kept.
    void attach(ReadingsStore* store);
    void record(const EventRecord& event) override;

    // A setting_changed for each key whose value differs, from source.
    void settingsChanged(const Settings& before, const Settings& after, const QString& source);

    struct Start {
        QString program;
        QString port;
        QString settingsFile;
        QString storePath;
        QString setAsideAs;       // a damaged store set aside at open
        bool keyReplaced = false;
        bool uncleanStop = false;
        std::int64_t lastReadingMs = 0; // of the run that ended uncleanly; 0: none
        QString recordedSettings; // as the store last recorded them; null: never
        Settings settings;        // the settings in use now
        bool buildingIntervals = false; // an older store's intervals are built from its readings now
    };
    // The start-up's events, in this order and before any that wait: set
    // aside, key replaced, unclean stop, program started, settings changed
    // in the file, intervals built from an older store.
    void started(const Start& start);

private:
    void recordStartEvents(const Start& start);
    void flushWaiting();

    WallClock& clock_;
    ReadingsStore* store_ = nullptr;
    QVector<StoredEvent> waiting_;
    QString user_;
};

} // namespace tavelin
