#pragma once
// Keeps the run's trend: each accepted sampling cycle adds its flow and total,
// stamped with the time of day, to the ring. Switching sampling on or off, or
// a pause of several cycles (a module that did not answer), breaks the line.

#include "platform/readings_store.h"
#include "sensor/sample_listener.h"
#include "sensor/trend_ring.h"

#include <functional>

namespace tavelin {

class WallClock;

class TrendRecorder : public SampleListener {
public:
    // Longer than this between two accepted cycles, and the line breaks.
    static constexpr double kGapBreakMs = 5000.0;

    explicit TrendRecorder(WallClock& clock, std::size_t capacity = TrendRing::kDefaultCapacity)
        : clock_(clock), ring_(capacity) {}

    void sampleAccepted(const MeasurementState& state) override;
    void samplingSwitched() { ring_.markBreak(); }
    // Fills the ring with readings of an earlier run, oldest first, with the
    // same breaks; the next reading starts a new line.
    void restore(const QVector<StoredReading>& readings);

    const TrendRing& ring() const { return ring_; }
    // Called after each point is added (the trend window replots from there).
    void setOnAppended(std::function<void()> callback) { onAppended_ = std::move(callback); }

private:
    void append(double time, double flow, double total);

    WallClock& clock_;
    TrendRing ring_;
    std::function<void()> onAppended_;
};

} // namespace tavelin
