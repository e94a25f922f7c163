#pragma once
// Periods as CSV rows, for the window's "Export CSV..." and --export alike:
//   start,end,liters,readings,coverage_percent,min_flow_l_min,mean_flow_l_min,max_flow_l_min
// start and end in local time with their UTC offset, liters to the
// milliliter, coverage to a tenth of a percent, flows in L/min to the
// hundredth; the flows of a period without readings are empty.

#include "history/local_periods.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace tavelin {

class CsvWriter;
class IntervalSource;
struct PeriodRow;

void writePeriodHeader(CsvWriter& csv);
void writePeriodRow(CsvWriter& csv, const PeriodRow& row);

// The header and every period of the kind over [fromMs, toMs), each taken
// back to its quarter hour's start; without them, from the period of the
// oldest interval to that of the newest. One pass over the intervals, so the
// memory stays flat. False, with *error set, when the source cannot be read
// or the writer cannot write.
bool writePeriods(IntervalSource& source, PeriodKind kind, std::optional<std::int64_t> fromMs,
                  std::optional<std::int64_t> toMs, CsvWriter& csv, QString* error);

} // namespace tavelin
