// history-cost: what the quarter-hour intervals cost.
//  - Commit: one reading committed alone, as in every sampling cycle, with
//    and without its interval's upsert in the same transaction (p50/p99).
//  - Window: the History window on ten years of intervals (350 400): opening
//    it (made, shown, painted) beside a panel already shown, as the program
//    opens it, then changing what it shows (scale, Previous, Next, Today),
//    each until painted; the slowest change.
//  - First open: the intervals of a week of readings (604 800) built from the
//    stored readings in transactions of 5000 readings, as a store made before
//    the intervals gets them: all of it, and the longest transaction.
//
//   history-cost [--dir FOLDER]
//   history-cost --fill-week PATH   (a store of the present schema at PATH
//                                    holding a week of readings, no intervals)
//   history-cost --fill-day PATH    (the same with a day of readings)
// Prints "name value unit" lines; the stores go in a temporary folder inside
// FOLDER (the system's temporary folder by default).

#include "bench_store.h"
#include "fakes/fake_file_dialog.h"
#include "fakes/fake_message_box.h"
#include "history/history_range.h"
#include "platform/qt/sqlite_interval_reader.h"
#include "platform/qt/sqlite_interval_statements.h"
#include "platform/wall_clock.h"
#include "ui/history/history_window.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>

namespace {

using namespace tavelin;

constexpr int kCommits = 2000;
constexpr int kBuildBatch = 5000;

void measureCommits(const QString& folder)
{
    for (const bool withInterval : {false, true}) {
        BenchStore store(folder + (withInterval ? QStringLiteral("/with.db") : QStringLiteral("/without.db")));
        SqliteIntervalStatements intervals(store.db());
        intervals.create();
        std::vector<double> times;
        std::int64_t meter = 0;
        const std::int64_t start = QDateTime::currentMSecsSinceEpoch();
        for (int i = 0; i < kCommits; ++i) {
            const StoredReading reading = benchReading(i, start, &meter);
            QElapsedTimer timer;
            timer.start();
            store.db().transaction();
            store.insert(reading);
            if (withInterval && !intervals.add(reading))
                benchFail(intervals.error());
            if (!store.db().commit())
                benchFail(QStringLiteral("commit failed"));
            times.push_back(timer.nsecsElapsed() / 1e3);
        }
        const char* name = withInterval ? "commit_with_interval" : "commit_without_interval";
        std::printf("%s_p50 %.1f us\n%s_p99 %.1f us\n", name, percentile(times, 0.5), name, percentile(times, 0.99));
    }
}

// Ten years of full intervals up to now, written straight into the table.
void fillTenYears(const QString& path)
{
    BenchStore store(path);
    SqliteIntervalStatements(store.db()).create();
    QSqlQuery insert(store.db());
    insert.prepare(QStringLiteral("INSERT INTO intervals(start_utc_ms, liters, centipulses, readings, min_flow, max_flow, sum_flow) "
                                  "VALUES (?, ?, ?, 900, ?, ?, ?)"));
    const std::int64_t end = quarterHourFloor(QDateTime::currentMSecsSinceEpoch());
    store.db().transaction();
    for (int i = 350400; i > 0; --i) {
        const double flow = 2.0 + std::sin(i / 96.0);
        insert.bindValue(0, static_cast<qint64>(end - std::int64_t(i) * kQuarterHourMs));
        insert.bindValue(1, flow * 15.0);
        insert.bindValue(2, static_cast<qint64>(std::llround(flow * 15.0 * 690000)));
        insert.bindValue(3, flow);
        insert.bindValue(4, flow);
        insert.bindValue(5, flow * 900);
        if (!insert.exec())
            benchFail(insert.lastError().text());
    }
    store.db().commit();
}

double timedUntilPainted(const std::function<void()>& change)
{
    QElapsedTimer timer;
    timer.start();
    change();
    QApplication::processEvents(); // the paint the change asked for
    return timer.nsecsElapsed() / 1e6;
}

void measureWindow(const QString& folder)
{
    const QString path = folder + QStringLiteral("/ten-years.db");
    fillTenYears(path);
    QString error;
    auto reader = SqliteIntervalReader::open(path, &error);
    if (!reader)
        benchFail(error);
    SystemWallClock clock;
    test::FakeFileDialog files;
    test::FakeMessageBox messages;
    // The program opens the window from its instrument window, whose showing
    // has already loaded the style and the fonts: so does a panel here.
    QWidget panel;
    auto* panelLayout = new QVBoxLayout(&panel);
    panelLayout->addWidget(new QLabel(QStringLiteral("000")));
    panelLayout->addWidget(new QPushButton(QStringLiteral("Start")));
    panel.show();
    QApplication::processEvents();
    std::unique_ptr<HistoryWindow> window;
    std::printf("window_open %.2f ms\n", timedUntilPainted([&] {
                    window = std::make_unique<HistoryWindow>(reader.get(), clock, files, messages);
                    window->show();
                }));
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"days_of_month", [&] { window->showScale(HistoryScale::DaysOfMonth); }},
        {"months_of_year", [&] { window->showScale(HistoryScale::MonthsOfYear); }},
        {"years", [&] { window->showScale(HistoryScale::Years); }},
        {"previous_years", [&] { window->showPrevious(); }},
        {"next_years", [&] { window->showNext(); }},
        {"hours_of_day", [&] { window->showScale(HistoryScale::HoursOfDay); }},
        {"previous_day", [&] { window->showPrevious(); }},
        {"today", [&] { window->showToday(); }},
    };
    double slowest = 0;
    for (const auto& [name, change] : changes) {
        const double ms = timedUntilPainted(change);
        slowest = std::max(slowest, ms);
        std::printf("window_change_%s %.2f ms\n", name, ms);
    }
    std::printf("window_change_slowest %.2f ms\n", slowest);
}

void measureFirstOpen(const QString& folder)
{
    const QString path = folder + QStringLiteral("/week.db");
    fillReadings(path, kWeekReadings);
    BenchStore store(path);
    SqliteIntervalStatements intervals(store.db());
    QElapsedTimer all;
    all.start();
    intervals.create();
    double longest = 0;
    for (std::int64_t done = 0; done < kWeekReadings; done += kBuildBatch) {
        QElapsedTimer batch;
        batch.start();
        store.db().transaction();
        if (!intervals.addReadings(done, done + kBuildBatch, 6900.0))
            benchFail(intervals.error());
        store.db().commit();
        longest = std::max(longest, batch.nsecsElapsed() / 1e6);
    }
    std::printf("build_week_intervals %.1f ms\nbuild_longest_transaction %.2f ms\n", all.nsecsElapsed() / 1e6,
                longest);
}

} // namespace

int main(int argc, char* argv[])
{
    QString base = QDir::tempPath();
    for (int i = 1; i + 1 < argc; i += 2) {
        const bool week = !std::strcmp(argv[i], "--fill-week");
        if (week || !std::strcmp(argv[i], "--fill-day")) {
            QCoreApplication app(argc, argv);
            fillReadings(QString::fromLocal8Bit(argv[i + 1]), week ? kWeekReadings : kWeekReadings / 7);
            return 0;
        }
        if (!std::strcmp(argv[i], "--dir"))
            base = QString::fromLocal8Bit(argv[i + 1]);
    }
    QApplication app(argc, argv);
    QTemporaryDir folder(base + QStringLiteral("/history-cost-XXXXXX"));
    if (!folder.isValid())
        benchFail(QStringLiteral("cannot make a folder in %1").arg(base));
    measureCommits(folder.path());
    measureFirstOpen(folder.path());
    measureWindow(folder.path());
    return 0;
}
