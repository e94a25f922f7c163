#pragma once
// The totals as text for the command line: one "key=value" line each, with
// numbers written the same whatever the regional settings.
//
//   meter_pulses=1234567.25        every reading since the store began (exact)
//   meter_liters=178.92            the meter over the K-factor
//   total_liters=13.54             the resettable total of the newest reading
//   pulses_per_liter=6900          the K-factor, as few digits as needed
//   last_reading=2026-12-09T02:16:05.123Z   empty before the first reading
//   readings=86400                 readings kept in the store
//   today_liters=123.45            with the store's quarter-hour intervals:
//   yesterday_liters=234.56        the local day, the day before, the local
//   this_month_liters=3456.78      month and the month before
//   last_month_liters=4567.89
//   store_id=...                   the store's identity
//   seq=604800                     the newest reading's seq (0 before the first)
//   seal=5e1c...                   its seal, in hex; empty when it has none
//   events=42                      entries of the event log (the event counter)

#include <QString>

#include <cstdint>

namespace tavelin {

class IntervalSource;
class ReadingsStore;

// A null or empty store gives zeros and an empty last_reading. The four
// period lines come only with intervals that can be read, as of nowMs.
QString totalsReport(ReadingsStore* store, double pulsesPerLiter, IntervalSource* intervals = nullptr,
                     std::int64_t nowMs = 0);

// Hundredths of a pulse as pulses with two decimals, exactly: "-0.05", "12.30".
QString centipulsesText(std::int64_t centipulses);

} // namespace tavelin
