#include "trend_ring.h"

#include <algorithm>

namespace tavelin {

TrendRing::TrendRing(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1))
{
    // Reserved once: no reallocation (and no copy at twice the size) as it fills.
    points_.reserve(capacity_);
}

void TrendRing::append(double time, double flow, double total)
{
    TrendPoint point;
    point.time = isEmpty() ? time : std::max(time, newest().time);
    point.flow = static_cast<float>(flow);
    point.total = total;
    point.startsSegment = breakPending_;
    breakPending_ = false;

    if (points_.size() < capacity_) {
        points_.push_back(point);
    } else {
        points_[oldest_] = point;
        oldest_ = (oldest_ + 1) % capacity_;
    }
    ++appended_;
}

const TrendPoint& TrendRing::at(std::size_t index) const
{
    return points_[(oldest_ + index) % points_.size()];
}

std::size_t TrendRing::lowerBound(double time) const
{
    std::size_t first = 0;
    std::size_t count = size();
    while (count > 0) {
        const std::size_t half = count / 2;
        if (at(first + half).time < time) {
            first += half + 1;
            count -= half + 1;
        } else {
            count = half;
        }
    }
    return first;
}

} // namespace tavelin
