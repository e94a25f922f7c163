#pragma once
// The system's millisecond counter: monotonic, 32 bits wide, wraps around;
// and a way to let the thread sleep on it instead of reading it in a loop.

#include <cstdint>

namespace tavelin {

class MillisecondCounter {
public:
    virtual ~MillisecondCounter() = default;
    virtual std::uint32_t ticks() = 0;
    // Sleeps for about this many milliseconds of the counter. It may come
    // back early (a signal) or late (a busy machine): a caller that needs the
    // counter to have reached a value reads it again.
    virtual void sleepFor(std::uint32_t milliseconds) = 0;
};

// Milliseconds of the monotonic clock, truncated to 32 bits.
class SystemMillisecondCounter : public MillisecondCounter {
public:
    std::uint32_t ticks() override;
    void sleepFor(std::uint32_t milliseconds) override;
};

} // namespace tavelin
