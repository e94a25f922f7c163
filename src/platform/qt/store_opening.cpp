#include "platform/qt/store_opening.h"

#include "platform/qt/sqlite_interval_reader.h"
#include "platform/qt/store_verifier.h"
#include "platform/state_directory.h"
#include "sensor/totals_report.h"
#include "settings/settings.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>

#include <cstdio>

namespace tavelin {

int printTotals(const Settings& settings)
{
    const QString path = readingsStorePath();
    QString error;
    std::unique_ptr<SqliteReadingsStore> store;
    if (QFileInfo::exists(path)) {
        store = SqliteReadingsStore::openReadOnly(path, &error);
        if (!store)
            std::fprintf(stderr, "%s\n", qPrintable(QCoreApplication::translate(
                                             "store", "The readings store %1 cannot be read: %2.").arg(path, error)));
    }
    // The day's and month's liters, once the store keeps its intervals.
    std::unique_ptr<SqliteIntervalReader> intervals = store ? SqliteIntervalReader::open(path, &error) : nullptr;
    if (intervals && !intervals->hasIntervals())
        intervals.reset();
    std::printf("%s", qPrintable(totalsReport(store.get(), settings.sensor.pulsesPerLiter, intervals.get(),
                                              QDateTime::currentMSecsSinceEpoch())));
    return store || !QFileInfo::exists(path) ? 0 : 1;
}

int printVerification()
{
    const StoreVerification verification = verifyStore(readingsStorePath());
    for (const QString& line : verificationLines(verification))
        std::printf("%s\n", qPrintable(line));
    if (verification.status == StoreVerification::Unreadable)
        std::fprintf(stderr, "%s\n", qPrintable(QCoreApplication::translate("store", "Cannot verify: %1.")
                                                      .arg(verification.error)));
    return verification.status;
}

} // namespace tavelin
