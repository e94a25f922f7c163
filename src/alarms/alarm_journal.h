#pragma once
// The alarm journal: every raise, clear and acknowledgement as one line of a
// comma-separated file (alarms.csv in the state directory) and as a row of
// the readings store, where other outputs find them:
//
//     2026-12-07T14:05:09.123Z,high_flow,raised,2.5,2
//
// UTC time with milliseconds, the alarm, the event, the value and the
// threshold. The file is opened for appending at the first event and stays
// open. A line that cannot be written is reported once; the alarms go on,
// and a line written again re-arms the report.

#include "alarms/alarm_event.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace tavelin {

class MessageBox;
class ReadingsStore;
class TextFileChannel;
class WallClock;

class AlarmJournal {
public:
    struct Parts {
        TextFileChannel* channel = nullptr; // none: no file, the store's rows only
        QString path;
        ReadingsStore* store = nullptr;     // none: the file only
        WallClock& clock;
        MessageBox& messages;
    };
    explicit AlarmJournal(Parts parts);

    // The line and the row; the row's seq, or nothing without one.
    std::optional<std::int64_t> record(const AlarmEvent& event);
    void close();
    // The store whose rows carry the events from now on.
    void attachStore(ReadingsStore* store) { parts_.store = store; }

private:
    void writeLine(const QByteArray& line);

    Parts parts_;
    bool failureReported_ = false;
};

// One line of the file, ending in a line feed.
QByteArray alarmJournalLine(std::int64_t utcMs, const AlarmEvent& event);

} // namespace tavelin
