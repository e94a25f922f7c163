#pragma once
// The unit of history: what flowed in one UTC quarter hour, and the sums of
// any number of them. Every time zone's offset is a whole number of quarter
// hours, so every local hour, day, week, month and year is a whole number of
// intervals, and a period's sums are the sums of its intervals.

#include <cstdint>
#include <optional>

namespace tavelin {

constexpr std::int64_t kQuarterHourMs = 15 * 60 * 1000;

// The start of the quarter hour holding utcMs (:00, :15, :30 or :45 UTC),
// also before the epoch.
constexpr std::int64_t quarterHourFloor(std::int64_t utcMs)
{
    const std::int64_t rest = utcMs % kQuarterHourMs;
    return utcMs - (rest < 0 ? rest + kQuarterHourMs : rest);
}

// What any stretch of readings adds up to. Flow is the displayed flow in
// L/min; least and greatest mean nothing while readings is 0.
struct FlowSums {
    double liters = 0.0;           // each reading at the K-factor in force for it
    std::int64_t centipulses = 0;  // exact: hundredths of a pulse
    std::int64_t readings = 0;
    double minFlow = 0.0;
    double maxFlow = 0.0;
    double sumFlow = 0.0;

    void add(const FlowSums& other);
    double meanFlow() const { return readings > 0 ? sumFlow / double(readings) : 0.0; }
};

// One quarter hour's sums; startUtcMs is a multiple of kQuarterHourMs.
struct QuarterHour : FlowSums {
    std::int64_t startUtcMs = 0;
};

// Where [store] interval_years ends: intervals that end at or before it
// leave the store. Nothing for 0 or less, which keeps them for good.
std::optional<std::int64_t> intervalRetentionCutoff(std::int64_t nowMs, double years);

} // namespace tavelin
