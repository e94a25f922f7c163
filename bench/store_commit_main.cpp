// store-commit: what keeping a reading in the readings store costs. For each
// way of journaling, the time of each append() (one commit, as in every
// sampling cycle) over N readings into a fresh store; then, journaled as the
// program does, the file a whole day of readings (86 400, one a second)
// leaves, the time to open it (with its quick check), to find that nothing
// is old enough to remove, and to write the totals text from it.
//
//   store-commit [--readings N] [--dir FOLDER]
//   store-commit --fill PATH    (a store at PATH with a day of readings up to now,
//                                none of them delivered over MQTT yet)
//
// The stores are made in a temporary folder inside FOLDER (the system's
// temporary folder by default): put it on the disk the program writes to,
// since commit times are mostly the disk's. Prints "name value unit" lines.

#include "platform/qt/sqlite_readings_store.h"
#include "sensor/totals_report.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using tavelin::SqliteReadingsStore;
using tavelin::StoreJournal;
using tavelin::StoredReading;

constexpr int kDayReadings = 86400;

struct Journal {
    StoreJournal journal;
    const char* name;
};

const Journal kJournals[] = {
    {StoreJournal::WalNormal, "wal_normal"},
    {StoreJournal::WalFull, "wal_full"},
    {StoreJournal::DeleteFull, "delete_full"},
};

// Nearest rank, as bench/benchlib/stats.py takes it.
double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(fraction * values.size()));
    return values[std::max<std::size_t>(rank, 1) - 1];
}

// A flow wandering around 250 Hz, one reading a second from startMs; the
// meter moves on by the reading.
StoredReading readingNumber(int i, std::int64_t startMs, std::int64_t& meter)
{
    StoredReading reading;
    reading.utcMs = startMs + std::int64_t(i) * 1000;
    reading.frequency = std::round((250.0 + 40.0 * std::sin(i / 300.0)) * 100.0) / 100.0;
    reading.litersPerMin = std::round(reading.frequency * 60.0 / 6900.0 * 100.0) / 100.0;
    meter += std::llround(reading.frequency * 100.0);
    reading.pulseTotal = meter / 100.0;
    reading.totalLiters = std::round(reading.pulseTotal / 6900.0 * 100.0) / 100.0;
    reading.meterCentipulses = meter;
    return reading;
}

std::unique_ptr<SqliteReadingsStore> openOrExit(const QString& path, StoreJournal journal)
{
    QString error;
    auto store = SqliteReadingsStore::open(path, &error, journal);
    if (!store) {
        std::fprintf(stderr, "store-commit: %s\n", qPrintable(error));
        std::exit(1);
    }
    return store;
}

// Appends readings, returning each append's time in microseconds.
std::vector<double> timedAppends(SqliteReadingsStore& store, int readings, std::int64_t startMs)
{
    std::vector<double> times;
    times.reserve(readings);
    std::int64_t meter = 0;
    for (int i = 0; i < readings; ++i) {
        const StoredReading reading = readingNumber(i, startMs, meter);
        QElapsedTimer timer;
        timer.start();
        if (!store.append(reading)) {
            std::fprintf(stderr, "store-commit: %s\n", qPrintable(store.lastError()));
            std::exit(1);
        }
        times.push_back(timer.nsecsElapsed() / 1e3);
    }
    return times;
}

void measureCommits(const QDir& folder, int readings, std::int64_t startMs)
{
    for (const Journal& journal : kJournals) {
        auto store = openOrExit(folder.filePath(QStringLiteral("%1.db").arg(journal.name)), journal.journal);
        const std::vector<double> times = timedAppends(*store, readings, startMs);
        std::printf("commit_%s_p50 %.1f us\ncommit_%s_p99 %.1f us\ncommit_%s_max %.1f us\n", journal.name,
                    percentile(times, 0.50), journal.name, percentile(times, 0.99), journal.name,
                    *std::max_element(times.begin(), times.end()));
    }
}

void measureDay(const QDir& folder, std::int64_t startMs)
{
    const QString path = folder.filePath(QStringLiteral("day.db"));
    { // closing folds the journal back into the file
        auto store = openOrExit(path, StoreJournal::WalNormal);
        timedAppends(*store, kDayReadings, startMs);
    }
    std::printf("day_file_bytes %lld B\n", static_cast<long long>(QFileInfo(path).size()));

    QElapsedTimer timer;
    timer.start();
    auto store = openOrExit(path, StoreJournal::WalNormal);
    std::printf("day_open %.2f ms\n", timer.nsecsElapsed() / 1e6);

    std::vector<double> prunes;
    for (int i = 0; i < 200; ++i) {
        timer.start();
        store->removeOlderThan(startMs - 1, 50);
        prunes.push_back(timer.nsecsElapsed() / 1e3);
    }
    std::printf("prune_nothing_p50 %.1f us\n", percentile(prunes, 0.50));

    timer.start();
    const QString totals = tavelin::totalsReport(store.get(), 6900.0);
    std::printf("day_totals %.2f ms\n", timer.nsecsElapsed() / 1e6);
    std::fprintf(stderr, "%s", qPrintable(totals));
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    int readings = 2000;
    QString base = QDir::tempPath();
    QString fill;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--readings"))
            readings = std::max(1, std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--dir"))
            base = QString::fromLocal8Bit(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--fill"))
            fill = QString::fromLocal8Bit(argv[i + 1]);
    }
    if (!fill.isEmpty()) { // a store holding the last day, one reading a second up to now
        auto store = openOrExit(fill, StoreJournal::WalNormal);
        timedAppends(*store, kDayReadings, QDateTime::currentMSecsSinceEpoch() - std::int64_t(kDayReadings) * 1000);
        store->setDeliveredUpTo(QStringLiteral("mqtt_state"), 0); // a backlog for the publisher
        return 0;
    }
    QTemporaryDir folder(base + QStringLiteral("/store-commit-XXXXXX"));
    if (!folder.isValid()) {
        std::fprintf(stderr, "store-commit: cannot make a folder in %s\n", qPrintable(base));
        return 1;
    }
    std::fprintf(stderr, "store-commit: stores in %s\n", qPrintable(folder.path()));
    const std::int64_t startMs = QDateTime::currentMSecsSinceEpoch() - std::int64_t(kDayReadings) * 1000;
    std::printf("readings %d\n", readings);
    measureCommits(QDir(folder.path()), readings, startMs);
    measureDay(QDir(folder.path()), startMs);
    return 0;
}
