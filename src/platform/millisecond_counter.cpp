#include "millisecond_counter.h"

#include <ctime>

namespace tavelin {

std::uint32_t SystemMillisecondCounter::ticks()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u
                  + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

void SystemMillisecondCounter::sleepFor(std::uint32_t milliseconds)
{
    // On the clock the counter reads, so that a change of the wall clock
    // neither stretches nor cuts the sleep. An interrupted sleep just returns.
    timespec duration{};
    duration.tv_sec = static_cast<time_t>(milliseconds / 1000u);
    duration.tv_nsec = static_cast<long>(milliseconds % 1000u) * 1000000L;
    clock_nanosleep(CLOCK_MONOTONIC, 0, &duration, nullptr);
}

} // namespace tavelin
