#include "history/quarter_hour.h"

#include <algorithm>
#include <cmath>

namespace tavelin {

void FlowSums::add(const FlowSums& other)
{
    if (other.readings == 0)
        return;
    minFlow = readings == 0 ? other.minFlow : std::min(minFlow, other.minFlow);
    maxFlow = readings == 0 ? other.maxFlow : std::max(maxFlow, other.maxFlow);
    liters += other.liters;
    centipulses += other.centipulses;
    readings += other.readings;
    sumFlow += other.sumFlow;
}

std::optional<std::int64_t> intervalRetentionCutoff(std::int64_t nowMs, double years)
{
    constexpr double kMsPerYear = 365.2425 * 86400000.0; // the Gregorian calendar's mean year
    if (!(years > 0.0))
        return std::nullopt;
    return quarterHourFloor(nowMs - std::llround(years * kMsPerYear));
}

} // namespace tavelin
