#pragma once
// Keeps every accepted reading in the readings store, with the meter: the sum
// of every reading since the store began, in hundredths of a pulse. The
// module gives readings with two decimals, so the meter is an exact integer
// sum that no reset and no restart loses. Readings older than the retention
// leave the store a few at a time, after each reading.
//
// A store that cannot be written is reported once; sampling goes on, each
// reading is offered to the store again, and a reading that is stored
// re-arms the report. Without a store it does nothing.

#include "platform/readings_store.h"
#include "sensor/sample_listener.h"

#include "platform/readings_store.h"

#include <QVector>

#include <cstdint>
#include <optional>

namespace tavelin {

class MessageBox;
class WallClock;

class StoreRecorder : public SampleListener {
public:
    // At most this many old readings leave the store after each reading.
    static constexpr int kPruneBatchRows = 50;
    // Readings kept while the store's newest reading cannot be read: a day's.
    static constexpr int kMostWaiting = 86400;

    StoreRecorder(ReadingsStore* store, WallClock& clock, MessageBox& messages);

    // The store to keep readings in from now on (none: keep none); the meter
    // and the sequence go on from its newest reading.
    void attach(ReadingsStore* store);

    // Readings older than this many days leave the store; 0 or less keeps all.
    void setRetentionDays(double days) { retentionDays_ = days; }
    // The K-factor each reading from now on is taken at.
    void setPulsesPerLiter(double pulsesPerLiter) { pulsesPerLiter_ = pulsesPerLiter; }
    double retentionDays() const { return retentionDays_; }

    void sampleAccepted(const MeasurementState& state) override;

    bool hasStore() const { return store_ != nullptr; }
    // The newest stored reading's sequence number; nothing before the first.
    std::optional<std::int64_t> lastSeq() const { return lastSeq_; }
    std::int64_t meterCentipulses() const { return meterCentipulses_; }
    // The meter in liters: each reading's liters at its own K-factor, summed.
    double meterLiters() const { return meterLiters_; }
    // The newest stored reading, as stored; nothing before the first.
    const std::optional<StoredReading>& lastStored() const { return lastStored_; }
    // The last reading offered could not be stored.
    bool lastAppendFailed() const { return failureReported_; }

private:
    bool findBase();
    void store(StoredReading& reading);
    void pruneOlderThanRetention(std::int64_t nowMs);
    void reportFailure();

    ReadingsStore* store_;
    WallClock& clock_;
    MessageBox& messages_;
    double retentionDays_ = 7.0;
    std::optional<std::int64_t> lastSeq_;
    std::optional<StoredReading> lastStored_;
    std::int64_t meterCentipulses_ = 0;
    double meterLiters_ = 0.0;
    double pulsesPerLiter_ = 6900.0;
    bool failureReported_ = false;
    bool baseKnown_ = false;
    QVector<StoredReading> waiting_; // accepted while the base is unknown
};

// The meter's step for one reading: the frequency in hundredths of a pulse.
std::int64_t centipulsesOf(double frequency);

// The meter in liters that a stored reading carries; a reading stored before
// the K-factor was kept with it is taken at pulsesPerLiter.
double meterLitersOf(const StoredReading& reading, double pulsesPerLiter);

} // namespace tavelin
