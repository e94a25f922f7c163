// records-cost: what sealed records cost. The time of one reading's commit,
// durable (WAL with synchronous=FULL, as the store writer commits), in a store
// that seals and in one that does not, the two taking turns on the same disk,
// and the processor's time each took: in stores that grow, and in stores
// that are full, where each commit also removes the oldest reading;
// --verify over a week of readings (604 800, one a second); and the event log
// window opened on 10 000 events (made, read from the store, shown and
// painted once).
//
//   records-cost [--readings N] [--dir FOLDER]
//
// The stores are made in a temporary folder inside FOLDER (the system's
// temporary folder by default). Prints "name value unit" lines. Needs a
// display for the window (the benchmark's own Xvfb, or offscreen).

#include "platform/qt/sqlite_readings_store.h"
#include "platform/qt/store_verifier.h"
#include "records/event_log.h"
#include "ui/events/event_log_window.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

namespace {

using namespace tavelin;

constexpr int kWeekReadings = 7 * 86400;
constexpr int kEvents = 10000;
constexpr int kFillBatch = 2000;

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(fraction * values.size()));
    return values[std::max<std::size_t>(rank, 1) - 1];
}

double threadCpuUs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e6 + now.tv_nsec / 1e3;
}

StoredReading readingNumber(int i, std::int64_t startMs)
{
    StoredReading reading;
    reading.seq = i + 1;
    reading.utcMs = startMs + std::int64_t(i) * 1000;
    reading.frequency = std::round((250.0 + 40.0 * std::sin(i / 300.0)) * 100.0) / 100.0;
    reading.litersPerMin = std::round(reading.frequency * 60.0 / 6900.0 * 100.0) / 100.0;
    reading.meterCentipulses = std::int64_t(i + 1) * 25000;
    reading.pulseTotal = reading.meterCentipulses / 100.0;
    reading.totalLiters = std::round(reading.pulseTotal / 6900.0 * 100.0) / 100.0;
    reading.pulsesPerLiter = 6900.0;
    reading.meterLiters = reading.pulseTotal / 6900.0;
    return reading;
}

std::unique_ptr<SqliteReadingsStore> openOrExit(const QString& path, StoreJournal journal)
{
    QString error;
    auto store = SqliteReadingsStore::open(path, &error, journal);
    if (!store) {
        std::fprintf(stderr, "records-cost: %s\n", qPrintable(error));
        std::exit(1);
    }
    return store;
}

void commitOrExit(SqliteReadingsStore& store, const StoreBatch& batch)
{
    if (!store.commit(batch)) {
        std::fprintf(stderr, "records-cost: %s\n", qPrintable(store.lastError()));
        std::exit(1);
    }
}

// One reading a commit into each store in turn, each commit timed alone.
// steady: the stores begin with as many older readings, and the retention
// removes one a commit as the station does once the store is full (in runs
// of 50, the anchor moving once a run).
void measureCommits(const QDir& folder, int readings, std::int64_t startMs, bool steady)
{
    const QString kind = steady ? QStringLiteral("steady") : QStringLiteral("growing");
    auto sealed = openOrExit(folder.filePath(kind + QStringLiteral("-sealed.db")), StoreJournal::WalFull);
    auto unsealed = openOrExit(folder.filePath(kind + QStringLiteral("-unsealed.db")), StoreJournal::WalFull);
    unsealed->setSealing(false);
    SqliteReadingsStore* stores[2] = {sealed.get(), unsealed.get()};
    const std::int64_t oldMs = startMs - std::int64_t(readings) * 1000;
    if (steady) {
        StoreBatch older;
        for (int i = 0; i < readings; ++i)
            older.readings.append(readingNumber(i, oldMs));
        for (SqliteReadingsStore* store : stores)
            commitOrExit(*store, older);
    }
    std::vector<double> times[2];
    double cpuUs[2] = {0.0, 0.0}; // the processor's time, without the wait for the disk
    for (int i = 0; i < readings; ++i) {
        StoreBatch batch;
        batch.readings.append(readingNumber(steady ? readings + i : i, steady ? oldMs : startMs));
        if (steady) {
            batch.pruneBeforeUtcMs = oldMs + std::int64_t(i) * 1000 + 1; // the oldest one leaves
            batch.pruneMaxRows = 50;
            batch.wholeRuns = true; // as the station removes them
        }
        for (int s = 0; s < 2; ++s) {
            QElapsedTimer timer;
            const double cpuBefore = threadCpuUs();
            timer.start();
            commitOrExit(*stores[s], batch);
            times[s].push_back(timer.nsecsElapsed() / 1e3);
            cpuUs[s] += threadCpuUs() - cpuBefore;
        }
    }
    const char* names[2] = {"sealed", "unsealed"};
    for (int s = 0; s < 2; ++s) {
        const QByteArray name = (kind + QLatin1Char('_') + QLatin1String(names[s])).toLatin1();
        std::printf("commit_%s_p50 %.1f us\ncommit_%s_p99 %.1f us\ncommit_%s_cpu_mean %.1f us\n", name.constData(),
                    percentile(times[s], 0.50), name.constData(), percentile(times[s], 0.99), name.constData(),
                    cpuUs[s] / readings);
    }
    if (steady && (sealed->readingCount() > readings + 50 || unsealed->readingCount() > readings + 50)) {
        std::fprintf(stderr, "records-cost: the steady stores hold %lld and %lld readings\n",
                     static_cast<long long>(sealed->readingCount()), static_cast<long long>(unsealed->readingCount()));
        std::exit(1);
    }
}

void measureVerify(const QDir& folder, std::int64_t startMs)
{
    const QString path = folder.filePath(QStringLiteral("week.db"));
    {
        auto store = openOrExit(path, StoreJournal::WalNormal);
        for (int first = 0; first < kWeekReadings; first += kFillBatch) {
            StoreBatch batch;
            for (int i = first; i < std::min(first + kFillBatch, kWeekReadings); ++i)
                batch.readings.append(readingNumber(i, startMs));
            commitOrExit(*store, batch);
        }
    }
    QElapsedTimer timer;
    timer.start();
    const StoreVerification verification = verifyStore(path);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (verification.status != StoreVerification::Holds) {
        std::fprintf(stderr, "records-cost: the week's store does not verify: %s\n", qPrintable(verification.error));
        std::exit(1);
    }
    std::printf("verify_week_readings %lld rows\nverify_week %.2f s\n",
                static_cast<long long>(verification.tables.front().rows), seconds);
}

void measureEventLog(const QDir& folder)
{
    const QString path = folder.filePath(QStringLiteral("events.db"));
    {
        auto store = openOrExit(path, StoreJournal::WalNormal);
        StoreBatch batch;
        for (int i = 0; i < kEvents; ++i)
            batch.events.append({i + 1, 1796824791158 + i * 60000LL, QStringLiteral("setting_changed"),
                                 QStringLiteral("sensor/pulses_per_liter"), QString::number(6900 + i),
                                 QString::number(6901 + i), QStringLiteral("settings_dialog"), QStringLiteral("op"),
                                 QStringLiteral("1.0.0")});
        commitOrExit(*store, batch);
    }
    QString error;
    auto reader = SqliteReadingsStore::openReadOnly(path, &error);
    if (!reader) {
        std::fprintf(stderr, "records-cost: %s\n", qPrintable(error));
        std::exit(1);
    }
    std::vector<double> opens;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        tavelin::EventLogWindow window([&reader] {
            QVector<StoredEvent> events;
            forEachEvent(*reader, [&events](const StoredEvent& event) { events.append(event); });
            return events;
        });
        window.show();
        QApplication::processEvents();
        window.grab(); // painted once, as it first shows
        opens.push_back(timer.nsecsElapsed() / 1e6);
        if (window.table()->model()->rowCount() != kEvents) {
            std::fprintf(stderr, "records-cost: the window shows %d events\n", window.table()->model()->rowCount());
            std::exit(1);
        }
    }
    std::printf("event_log_open_%d %.1f ms\n", kEvents, percentile(opens, 0.5));
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    int readings = 2000;
    QString base = QDir::tempPath();
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--readings"))
            readings = std::max(1, std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--dir"))
            base = QString::fromLocal8Bit(argv[i + 1]);
    }
    QTemporaryDir folder(base + QStringLiteral("/records-cost-XXXXXX"));
    if (!folder.isValid()) {
        std::fprintf(stderr, "records-cost: cannot make a folder in %s\n", qPrintable(base));
        return 1;
    }
    const std::int64_t startMs = QDateTime::currentMSecsSinceEpoch() - std::int64_t(kWeekReadings) * 1000;
    std::printf("readings %d\n", readings);
    measureCommits(QDir(folder.path()), readings, startMs, false);
    measureCommits(QDir(folder.path()), readings, startMs, true);
    measureVerify(QDir(folder.path()), startMs);
    measureEventLog(QDir(folder.path()));
    return 0;
}
