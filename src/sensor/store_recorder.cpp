#include "sensor/store_recorder.h"

#include "platform/message_box.h"
#include "platform/readings_store.h"
#include "platform/wall_clock.h"
#include "sensor/measurement_state.h"

#include <cmath>

namespace tavelin {

namespace {
constexpr double kMsPerDay = 24.0 * 3600.0 * 1000.0;
} // namespace

std::int64_t centipulsesOf(double frequency)
{
    return std::llround(frequency * 100.0);
}

double meterLitersOf(const StoredReading& reading, double pulsesPerLiter)
{
    if (reading.pulsesPerLiter > 0.0)
        return reading.meterLiters;
    return double(reading.meterCentipulses) / 100.0 / pulsesPerLiter;
}

StoreRecorder::StoreRecorder(ReadingsStore* store, WallClock& clock, MessageBox& messages)
    : store_(nullptr), clock_(clock), messages_(messages)
{
    attach(store);
}

void StoreRecorder::attach(ReadingsStore* store)
{
    // The same store again (now open) keeps the readings that wait for it.
    if (store != store_)
        waiting_.clear();
    store_ = store;
    lastSeq_.reset();
    lastStored_.reset();
    meterCentipulses_ = 0;
    meterLiters_ = 0.0;
    failureReported_ = false;
    baseKnown_ = false;
    if (store_)
        findBase();
}

// The meter and the seq go on from the store's newest reading. One that
// cannot be read (as against an empty store) leaves them unknown: nothing is
// stored until it can be read, never a meter started again at 0.
bool StoreRecorder::findBase()
{
    const std::optional<StoredReading> newest = store_->newest();
    if (!newest && store_->newestUnknown())
        return false;
    if (newest) {
        lastSeq_ = newest->seq;
        lastStored_ = newest;
        meterCentipulses_ = newest->meterCentipulses;
        meterLiters_ = meterLitersOf(*newest, pulsesPerLiter_);
    }
    baseKnown_ = true;
    return true;
}

void StoreRecorder::sampleAccepted(const MeasurementState& state)
{
    if (!store_)
        return;
    StoredReading reading;
    reading.utcMs = clock_.currentMSecsSinceEpoch();
    reading.frequency = state.dblFrequency;
    reading.litersPerMin = state.dblLitersPerMin;
    reading.pulseTotal = state.dblPulseTotal;
    reading.totalLiters = state.dblTotalLiters;
    reading.pulsesPerLiter = pulsesPerLiter_;
    if (!baseKnown_ && !findBase()) {
        // Kept in order until the meter they add to is known.
        if (waiting_.size() < kMostWaiting)
            waiting_.append(reading);
        return;
    }
    waiting_.append(reading);
    for (StoredReading& next : waiting_)
        store(next);
    waiting_.clear();
}

void StoreRecorder::store(StoredReading& reading)
{
    // The meter counts what flowed, stored or not: a reading the store missed
    // still moves the meter that the next stored reading carries.
    const std::int64_t step = centipulsesOf(reading.frequency);
    meterCentipulses_ += step;
    // Summed at the K of each reading, the meter in liters never falls when
    // K changes; it is not rounded, so nothing is lost between readings.
    meterLiters_ += double(step) / 100.0 / reading.pulsesPerLiter;
    reading.meterCentipulses = meterCentipulses_;
    reading.meterLiters = meterLiters_;

    const std::optional<std::int64_t> seq = store_->append(reading);
    if (!seq) {
        reportFailure();
        return;
    }
    lastSeq_ = seq;
    reading.seq = *seq;
    lastStored_ = reading;
    failureReported_ = false;
    pruneOlderThanRetention(reading.utcMs);
}

void StoreRecorder::pruneOlderThanRetention(std::int64_t nowMs)
{
    const double keptMs = retentionDays_ * kMsPerDay;
    // No retention, or one reaching back before the epoch: nothing is old.
    if (!(keptMs > 0.0) || keptMs >= static_cast<double>(nowMs))
        return;
    store_->removeOlderThan(nowMs - std::llround(keptMs), kPruneBatchRows);
}

void StoreRecorder::reportFailure()
{
    if (failureReported_)
        return;
    failureReported_ = true;
    const QString file = store_->filePath().isEmpty() ? QStringLiteral("the readings store")
                                                      : store_->filePath();
    messages_.notify(QStringLiteral("Readings cannot be saved to %1: %2. Sampling and logging go on "
                                    "without it; storing starts again by itself once it can be written.")
                         .arg(file, store_->lastError()));
}

} // namespace tavelin
