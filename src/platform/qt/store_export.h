#pragma once
// --export for both programs: the readings store's history as CSV on
// standard output or in a file, read without changing the store, beside a
// program that samples into it. A file is written whole or not at all.

#include <QString>

namespace tavelin {

struct ExportRequest;

// Runs the export and returns the exit status: 0 when written (a missing
// store gives the header alone), 1 when the store cannot be read, 2 when the
// output cannot be written. What went wrong is one sentence on stderr.
// pulsesPerLiter counts readings stored without a K-factor of their own.
int runExport(const ExportRequest& request, const QString& storePath, double pulsesPerLiter);

} // namespace tavelin
