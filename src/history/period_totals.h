#pragma once
// Periods summed from whole quarter-hour intervals, for a range [fromMs,
// toMs) on quarter hours. Every period of the kind that overlaps the range is
// a row, cut to the range where it reaches beyond it, and a row without
// readings is still a row (0 readings, 0 % coverage): a gap in the readings
// shows as such, and the rows add up to the range.

#include "history/local_periods.h"
#include "history/quarter_hour.h"

#include <QVector>

#include <functional>

namespace tavelin {

class IntervalSource;

struct PeriodRow {
    Period period;
    FlowSums sums;

    // Readings per second of the period, in %: readings come once a second,
    // so a day the program sampled for twelve hours shows 50 %.
    double coveragePercent() const;
};

// Periods under this coverage are told apart wherever they are shown.
constexpr double kLowCoveragePercent = 90.0;

// The rows, each summed by the source; false when it cannot be read.
bool periodRows(IntervalSource& source, PeriodKind kind, std::int64_t fromMs, std::int64_t toMs,
                QVector<PeriodRow>* rows);

// The same rows from intervals given one by one, oldest first, so that a
// range of any length is summed in one pass with flat memory.
class PeriodStream {
public:
    // emit is given each finished row; when it returns false, so do add()
    // and finish().
    PeriodStream(PeriodKind kind, std::int64_t fromMs, std::int64_t toMs, std::function<bool(const PeriodRow&)> emit);

    bool add(const QuarterHour& interval);
    // The rows still open, up to the range's end.
    bool finish();

private:
    bool emitUpTo(std::int64_t utcMs);
    void openAt(std::int64_t utcMs);

    PeriodKind kind_;
    std::int64_t fromMs_;
    std::int64_t toMs_;
    std::function<bool(const PeriodRow&)> emit_;
    PeriodRow current_;
    Period whole_; // the current row's period before it was cut to the range
};

} // namespace tavelin
