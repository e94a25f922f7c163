#pragma once
// The totals the readings store in the state folder holds, as `key=value`
// lines, for --show-totals of both programs.

#include "platform/qt/sqlite_readings_store.h"

#include <QString>

#include <memory>

namespace tavelin {

struct Settings;

// Prints the store's totals to standard output, read-only, whether or not a
// program is sampling into it. Returns the exit status.
int printTotals(const Settings& settings);

} // namespace tavelin
