#pragma once
// Where history reads the quarter-hour intervals from: the readings store in
// the programs, a list in tests. Ranges are [fromMs, toMs) on interval
// starts; a call that fails returns false and lastError() says why.

#include "history/local_periods.h"
#include "history/quarter_hour.h"

#include <QString>

#include <functional>
#include <optional>

namespace tavelin {

class IntervalSource {
public:
    virtual ~IntervalSource() = default;

    // The sums of the intervals starting in the range (all zero when none do).
    virtual bool sumOf(std::int64_t fromMs, std::int64_t toMs, FlowSums* sums) = 0;
    // Each interval starting in the range, oldest first, until each returns false.
    virtual bool forEach(std::int64_t fromMs, std::int64_t toMs,
                         const std::function<bool(const QuarterHour&)>& each) = 0;
    // From the oldest interval's start to the newest one's end; nothing when
    // there are none.
    virtual bool span(std::optional<Period>* span) = 0;
    virtual QString lastError() const = 0;
};

} // namespace tavelin
