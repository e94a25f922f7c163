#pragma once
// Quarter-hour intervals held in a list, as the readings store would give
// them; a source that fails on demand.

#include "history/interval_source.h"

#include <QVector>

#include <algorithm>

namespace tavelin::test {

class FakeIntervalSource : public IntervalSource {
public:
    bool sumOf(std::int64_t fromMs, std::int64_t toMs, FlowSums* sums) override
    {
        *sums = FlowSums();
        for (const QuarterHour& interval : intervals) {
            if (interval.startUtcMs >= fromMs && interval.startUtcMs < toMs)
                sums->add(interval);
        }
        return !failing;
    }
    bool forEach(std::int64_t fromMs, std::int64_t toMs, const std::function<bool(const QuarterHour&)>& each) override
    {
        for (const QuarterHour& interval : intervals) {
            if (interval.startUtcMs >= fromMs && interval.startUtcMs < toMs && !each(interval))
                break;
        }
        return !failing;
    }
    bool span(std::optional<Period>* span) override
    {
        span->reset();
        if (!intervals.isEmpty())
            *span = Period{intervals.first().startUtcMs, intervals.last().startUtcMs + kQuarterHourMs};
        return !failing;
    }
    QString lastError() const override { return failing ? QStringLiteral("disk I/O error") : QString(); }

    // Adds an interval of readings seconds at flow L/min and K 6900.
    void add(std::int64_t startUtcMs, std::int64_t readings, double flow = 2.0)
    {
        QuarterHour interval;
        interval.startUtcMs = quarterHourFloor(startUtcMs);
        interval.readings = readings;
        interval.centipulses = readings * 25000; // 250 Hz
        interval.liters = double(interval.centipulses) / 100.0 / 6900.0;
        interval.minFlow = flow;
        interval.maxFlow = flow;
        interval.sumFlow = flow * double(readings);
        intervals.append(interval);
        std::sort(intervals.begin(), intervals.end(),
                  [](const QuarterHour& a, const QuarterHour& b) { return a.startUtcMs < b.startUtcMs; });
    }

    QVector<QuarterHour> intervals; // oldest first
    bool failing = false;
};

} // namespace tavelin::test
