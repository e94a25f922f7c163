#pragma once
// The system's millisecond counter: monotonic, 32 bits wide, wraps around.

#include <cstdint>

namespace tavelin {

class MillisecondCounter {
public:
    virtual ~MillisecondCounter() = default;
    virtual std::uint32_t ticks() = 0;
};

// Milliseconds of the monotonic clock, truncated to 32 bits.
class SystemMillisecondCounter : public MillisecondCounter {
public:
    std::uint32_t ticks() override;
};

} // namespace tavelin
