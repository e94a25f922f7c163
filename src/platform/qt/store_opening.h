#pragma once
// Opening the readings store in the state folder for a program, and the
// totals it holds as `key=value` lines: what both programs do alike.

#include "platform/qt/sqlite_readings_store.h"

#include <QString>

#include <memory>

namespace tavelin {

struct Settings;

struct StoreOpening {
    std::unique_ptr<SqliteReadingsStore> store; // none: the program runs without one
    QString notice; // what the operator is told once; empty when all is well
};

// The store at readingsStorePath(): a damaged file is set aside and a new one
// made; a store that cannot be opened at all leaves the program without one.
StoreOpening openReadingsStore();

// Prints the store's totals to standard output, read-only, whether or not a
// program is sampling into it. Returns the exit status.
int printTotals(const Settings& settings);

} // namespace tavelin
