#pragma once
// The flow and total of the run's accepted sampling cycles, oldest first, in a
// ring of fixed capacity: a run of days keeps its newest 24 hours in memory
// that stops growing once the ring is full. Breaks mark where sampling
// stopped, so a plot can leave a gap there instead of a line across it.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavelin {

struct TrendPoint {
    double time = 0.0;          // milliseconds since the epoch (UTC)
    double total = 0.0;         // liters
    float flow = 0.0f;          // liters per minute: two decimals below 800 fit a float
    bool startsSegment = false; // no line from the point before
};

class TrendRing {
public:
    static constexpr std::size_t kDefaultCapacity = 86400; // 24 h at one cycle a second

    explicit TrendRing(std::size_t capacity = kDefaultCapacity);

    // Adds the newest point, dropping the oldest when full. Times never go
    // back: a clock set back holds the last time until it catches up, so the
    // points stay in order for lowerBound().
    void append(double time, double flow, double total);
    // The next point starts a new segment.
    void markBreak() { breakPending_ = true; }

    std::size_t size() const { return points_.size(); }
    std::size_t capacity() const { return capacity_; }
    bool isEmpty() const { return points_.empty(); }
    // 0 is the oldest point kept; the oldest always starts a segment.
    const TrendPoint& at(std::size_t index) const;
    bool startsSegment(std::size_t index) const { return index == 0 || at(index).startsSegment; }
    const TrendPoint& newest() const { return at(size() - 1); }
    // The first index whose time is at or after time; size() when there is none.
    std::size_t lowerBound(double time) const;
    // Every point ever appended, also those the ring has dropped since.
    std::uint64_t appendedCount() const { return appended_; }

private:
    std::vector<TrendPoint> points_;
    std::size_t capacity_;
    std::size_t oldest_ = 0; // where the oldest point lies once the ring is full
    std::uint64_t appended_ = 0;
    bool breakPending_ = false;
};

} // namespace tavelin
