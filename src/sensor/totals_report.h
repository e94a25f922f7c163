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
//   store_id=...                   the store's identity
//   seq=604800                     the newest reading's seq (0 before the first)
//   seal=5e1c...                   its seal, in hex; empty when it has none
//   events=42                      entries of the event log (the event counter)

#include <QString>

#include <cstdint>

namespace tavelin {

class ReadingsStore;

// A null or empty store gives zeros and an empty last_reading.
QString totalsReport(ReadingsStore* store, double pulsesPerLiter);

// Hundredths of a pulse as pulses with two decimals, exactly: "-0.05", "12.30".
QString centipulsesText(std::int64_t centipulses);

} // namespace tavelin
