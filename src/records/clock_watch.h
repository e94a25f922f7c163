#pragma once
// Watches the wall clock against the monotonic counter: a step of the wall
// clock (set by hand, by a time server that jumps, or time the machine spent
// suspended, which the monotonic counter does not count) shows as a
// difference between how far each moved since the last look.

#include <cstdint>
#include <optional>

namespace tavelin {

struct ClockStep {
    std::int64_t expectedMs = 0; // where the wall clock should stand, by the counter
    std::int64_t foundMs = 0;    // where it stands
    std::int64_t stepMs() const { return foundMs - expectedMs; }
};

class ClockWatch {
public:
    // A difference up to this is a clock slewed, or a look taken late.
    static constexpr std::int64_t kLargestDriftMs = 2000;

    // Looks at both clocks (the counter in milliseconds, wrapping at 32
    // bits); the step since the last look when it is larger than
    // kLargestDriftMs either way. The first look only starts the watch.
    std::optional<ClockStep> look(std::int64_t wallMs, std::uint32_t ticks);

private:
    bool started_ = false;
    std::int64_t lastWallMs_ = 0;
    std::uint32_t lastTicks_ = 0;
};

} // namespace tavelin
