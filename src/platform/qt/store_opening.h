#pragma once
// The totals the readings store in the state folder holds, as `key=value`
// lines, for --show-totals of both programs; and --verify of its seals.

#include "platform/qt/sqlite_readings_store.h"

#include <QString>

#include <memory>

namespace tavelin {

struct Settings;

// Prints the store's totals to standard output, read-only, whether or not a
// program is sampling into it. Returns the exit status.
int printTotals(const Settings& settings);

// Checks every sealed chain of the store, read-only, and prints one line per
// table and one per fault. Returns 0 when all hold, 1 when any is broken, 2
// when the store or its key cannot be read (the reason on standard error).
int printVerification();

} // namespace tavelin
