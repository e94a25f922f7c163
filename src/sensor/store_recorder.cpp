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

StoreRecorder::StoreRecorder(ReadingsStore* store, WallClock& clock, MessageBox& messages)
    : store_(nullptr), clock_(clock), messages_(messages)
{
    attach(store);
}

void StoreRecorder::attach(ReadingsStore* store)
{
    store_ = store;
    lastSeq_.reset();
    lastStored_.reset();
    meterCentipulses_ = 0;
    failureReported_ = false;
    if (!store_)
        return;
    if (const std::optional<StoredReading> newest = store_->newest()) {
        lastSeq_ = newest->seq;
        lastStored_ = newest;
        meterCentipulses_ = newest->meterCentipulses;
    }
}

void StoreRecorder::sampleAccepted(const MeasurementState& state)
{
    if (!store_)
        return;
    // The meter counts what flowed, stored or not: a reading the store missed
    // still moves the meter that the next stored reading carries.
    meterCentipulses_ += centipulsesOf(state.dblFrequency);

    StoredReading reading;
    reading.utcMs = clock_.currentMSecsSinceEpoch();
    reading.frequency = state.dblFrequency;
    reading.litersPerMin = state.dblLitersPerMin;
    reading.pulseTotal = state.dblPulseTotal;
    reading.totalLiters = state.dblTotalLiters;
    reading.meterCentipulses = meterCentipulses_;

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
