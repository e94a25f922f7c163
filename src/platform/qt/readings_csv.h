#pragma once
// The stored readings as CSV, streamed from a forward-only query:
//   seq,utc,frequency_hz,flow_l_min,total_l,meter_l
// utc with milliseconds and Z; hertz, L/min and the total to the hundredth
// as displayed; the meter in liters to the milliliter, as stored, or for a
// reading stored before the meter was kept in liters, its hundredths of a
// pulse over its K-factor (else pulsesPerLiter).

#include <QSqlDatabase>
#include <QString>

#include <cstdint>
#include <optional>

namespace tavelin {

class CsvWriter;

void writeReadingsHeader(CsvWriter& csv);

// The header and the readings with fromMs <= utc < toMs (every reading
// without them), in order. False, with *error set, when the store cannot be
// read or the writer cannot write.
bool writeReadings(const QSqlDatabase& db, std::optional<std::int64_t> fromMs, std::optional<std::int64_t> toMs,
                   double pulsesPerLiter, CsvWriter& csv, QString* error);

} // namespace tavelin
