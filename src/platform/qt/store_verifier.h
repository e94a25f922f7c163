#pragma once
// --verify: walks every sealed table of a readings store, read only and in
// one read transaction, beside a running program or not, taking no lock;
// each chain is checked with the key beside the store (records/chain_walk.h),
// and the quarter-hour intervals against the readings still stored.

#include "records/chain_walk.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace tavelin {

struct StoreVerification {
    enum Status { Holds = 0, Broken = 1, Unreadable = 2 };
    Status status = Unreadable;
    QString error; // why the store or its key cannot be read
    std::vector<ChainReport> tables;
    // Quarter hours whose interval does not hold what the readings still
    // stored for them add up to, one line each.
    QStringList intervalFaults;
};

StoreVerification verifyStore(const QString& storePath);

// One line per table, then one line per fault, as --verify prints them.
QStringList verificationLines(const StoreVerification& verification);

} // namespace tavelin
