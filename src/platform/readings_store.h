#pragma once
// The readings store: every accepted reading, in order, kept across restarts,
// and the alarms' events. The store gives each reading its sequence number,
// one more than the last one it ever stored.

#include <QByteArray>
#include <QString>
#include <QVector>

#include <cstdint>
#include <optional>

namespace tavelin {

struct StoredReading {
    std::int64_t seq = 0;         // given by the store
    std::int64_t utcMs = 0;       // milliseconds since the epoch
    double frequency = 0.0;       // Hz
    double litersPerMin = 0.0;    // as displayed
    double pulseTotal = 0.0;      // the resettable total, in pulses
    double totalLiters = 0.0;     // the resettable total as displayed
    std::int64_t meterCentipulses = 0; // the meter: every reading since the store began, in 1/100 pulse
    double pulsesPerLiter = 0.0;  // the K-factor in force when the reading was taken
    double meterLiters = 0.0;     // the meter in liters: each reading's liters at its own K-factor, summed,
                                  // so that it never falls when K changes
    QByteArray seal;              // as read back from the store; empty before it is sealed
};

// An alarm's raise, clear or acknowledgement, kept for the outputs that carry
// the events on. Its sequence number is its own, one more than the last
// event's.
struct StoredAlarmEvent {
    std::int64_t seq = 0;    // given by the store
    std::int64_t utcMs = 0;  // milliseconds since the epoch
    QString alarm;           // "high_flow", "low_flow", "no_reading", "leak", "batch"
    QString event;           // "raised", "cleared", "acknowledged"
    double value = 0.0;      // L/min, s or L, as the alarm measures
    double threshold = 0.0;
};

// An entry of the event log: a change that affects the measurement, or the
// program's start and end. Its seq is its own, as the alarm events' is.
struct StoredEvent {
    std::int64_t seq = 0;   // given by the store
    std::int64_t utcMs = 0; // milliseconds since the epoch
    QString kind;           // records/event_kinds.h: "setting_changed", "total_reset"...
    QString subject;        // what it concerns: a settings key, "total", the program
    QString oldValue;       // empty when there is none
    QString newValue;
    QString source;         // how it came: "settings_dialog", "reload", "start-up"...
    QString user;           // the login name the program ran under
    QString version;        // the program's version
};

// The newest reading's seal that is on the disk, with the seq it seals.
struct DurableSeal {
    std::int64_t seq = 0; // 0: none yet
    QByteArray seal;
};

class ReadingsStore {
public:
    virtual ~ReadingsStore() = default;

    virtual bool isOpen() const = 0;
    // Commits the reading and returns its sequence number; nothing when it
    // cannot be written (lastError() says why).
    virtual std::optional<std::int64_t> append(const StoredReading& reading) = 0;
    // The newest reading; nothing in an empty store, or when it cannot be
    // read (then newestUnknown() says so, and lastError() why).
    virtual std::optional<StoredReading> newest() = 0;
    virtual bool newestUnknown() const { return false; }
    // The readings at or after utcMs, oldest first.
    virtual QVector<StoredReading> readingsSince(std::int64_t utcMs) = 0;
    // At most maxRows readings with a sequence number above seq, in order.
    virtual QVector<StoredReading> readingsAfter(std::int64_t seq, int maxRows) = 0;
    // How far a stream of the store ("mqtt_state", "mqtt_alarm") has been
    // delivered: every entry up to this sequence number; nothing before the
    // stream's first delivery. Kept in the store itself, so that a restart
    // resumes.
    virtual std::optional<std::int64_t> deliveredUpTo(const QString& stream) = 0;
    virtual bool setDeliveredUpTo(const QString& stream, std::int64_t seq) = 0;
    virtual std::int64_t readingCount() = 0;
    // When the store was made (milliseconds since the epoch); 0 when not open.
    virtual std::int64_t createdUtcMs() = 0;
    // Removes at most maxRows readings older than utcMs, never the newest
    // (it carries the meter and the sequence on); returns how many went.
    virtual int removeOlderThan(std::int64_t utcMs, int maxRows) = 0;
    // Commits the alarm event and returns its sequence number; nothing when
    // it cannot be written (lastError() says why).
    virtual std::optional<std::int64_t> appendAlarmEvent(const StoredAlarmEvent& event) = 0;
    // At most maxRows alarm events with a sequence number above seq, in order.
    virtual QVector<StoredAlarmEvent> alarmEventsAfter(std::int64_t seq, int maxRows) = 0;
    // The newest alarm event's sequence number; nothing before the first event.
    virtual std::optional<std::int64_t> newestAlarmEventSeq() = 0;
    virtual QString lastError() const = 0;
    // Where the store keeps its readings, for messages; empty when unknown.
    virtual QString filePath() const { return QString(); }
    // The store's identity, a UUID made with it: (store_id, seq) names a
    // reading for good, across restarts and hosts. Empty when not open.
    virtual QString storeId() { return QString(); }

    // The event log: an event committed like an alarm event, those with a
    // seq above seq in order, and how many there are.
    virtual std::optional<std::int64_t> appendEvent(const StoredEvent&) { return std::nullopt; }
    virtual QVector<StoredEvent> eventsAfter(std::int64_t /*seq*/, int /*maxRows*/) { return {}; }
    virtual std::int64_t eventCount() { return 0; }
    // The newest reading's seal once durable; for outside witnesses.
    virtual DurableSeal durableSeal() { return {}; }
};

} // namespace tavelin
