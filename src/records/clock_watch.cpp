#include "records/clock_watch.h"

namespace tavelin {

std::optional<ClockStep> ClockWatch::look(std::int64_t wallMs, std::uint32_t ticks)
{
    const bool started = started_;
    const std::int64_t expected = lastWallMs_ + std::int64_t(std::uint32_t(ticks - lastTicks_)); // wraps as the counter
    started_ = true;
    lastWallMs_ = wallMs;
    lastTicks_ = ticks;
    if (!started)
        return std::nullopt;
    const std::int64_t step = wallMs - expected;
    if (step > kLargestDriftMs || step < -kLargestDriftMs)
        return ClockStep{expected, wallMs};
    return std::nullopt;
}

} // namespace tavelin
