// alarm-cost: what the alarms add to each sampling cycle. The monitor is told
// of a reading and of the tick after it, as the instrument tells it, on the
// real millisecond counter: with every rule off (the program without an
// [alarms] section), and with all five on and nothing due (the steady
// state). Then one raise and one clear, each writing its journal line to a
// real file, as happens only when an alarm comes or goes.
//
//   alarm-cost [--cycles N]
//
// Prints "name value unit" lines: the median over batches of 10 000 cycles.

#include "alarms/alarm_monitor.h"
#include "platform/message_box.h"
#include "platform/millisecond_counter.h"
#include "platform/qt/posix_text_file_channel.h"
#include "platform/wall_clock.h"
#include "platform/window_timer.h"
#include "sensor/measurement_state.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using namespace tavelin;

constexpr int kBatch = 10000;

class StillTimer : public WindowTimer {
public:
    void setInterval(int milliseconds) override { interval_ = milliseconds; }
    int interval() const override { return interval_; }
    void setEnabled(bool enabled) override { enabled_ = enabled; }
    bool isEnabled() const override { return enabled_; }

private:
    int interval_ = 0;
    bool enabled_ = false;
};

class StderrMessages : public MessageBox {
public:
    void show(const QString& prompt, const QString&) override { std::fprintf(stderr, "%s\n", qPrintable(prompt)); }
};

AlarmSettings allFive()
{
    AlarmSettings s;
    s.highFlowLMin = 3.0;
    s.lowFlowLMin = 0.5;
    s.noReadingS = 10.0;
    s.leakFlowLMin = 5.0;
    s.leakMinutes = 60.0;
    s.batchLiters = 1e9;
    return s;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Nanoseconds per cycle (a reading, then its tick), median of the batches.
double nsPerCycle(AlarmMonitor& monitor, int cycles)
{
    MeasurementState state;
    std::vector<double> batches;
    for (int done = 0; done < cycles; done += kBatch) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < kBatch; ++i) {
            state.dblLitersPerMin = 1.0 + (i % 100) * 0.01; // between low and high
            state.dblTotalLiters += 0.04;
            monitor.sampleAccepted(state);
            monitor.tick();
        }
        batches.push_back(double(timer.nsecsElapsed()) / kBatch);
    }
    return median(batches);
}

// Microseconds of one raise and of one clear, each with its journal line.
std::pair<double, double> eventCost(AlarmMonitor& monitor)
{
    std::vector<double> raises, clears;
    MeasurementState state;
    for (int i = 0; i < 200; ++i) {
        QElapsedTimer timer;
        timer.start();
        state.dblLitersPerMin = 5.0;
        monitor.sampleAccepted(state);
        raises.push_back(timer.nsecsElapsed() / 1e3);
        timer.start();
        state.dblLitersPerMin = 1.0;
        monitor.sampleAccepted(state);
        clears.push_back(timer.nsecsElapsed() / 1e3);
    }
    return {median(raises), median(clears)};
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    int cycles = 1000000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--cycles"))
            cycles = std::max(kBatch, std::atoi(argv[i + 1]));
    }
    QTemporaryDir folder;
    SystemMillisecondCounter counter;
    SystemWallClock clock;
    StderrMessages messages;
    StillTimer watch;
    PosixTextFileChannel journal;
    AlarmMonitor monitor({counter, watch, {&journal, folder.filePath(QStringLiteral("alarms.csv")), nullptr, clock,
                                           messages}});
    monitor.samplingSwitched(true);

    std::printf("cycles %d\n", cycles);
    std::printf("rules_off %.1f ns\n", nsPerCycle(monitor, cycles));
    monitor.configure(allFive());
    std::printf("rules_all_five %.1f ns\n", nsPerCycle(monitor, cycles));

    AlarmSettings unlatched;
    unlatched.highFlowLMin = 2.0;
    unlatched.flowDelayS = 0.0;
    unlatched.latching = false;
    monitor.configure(unlatched);
    const auto [raise, clear] = eventCost(monitor);
    std::printf("raise_with_journal_line %.1f us\nclear_with_journal_line %.1f us\n", raise, clear);
    monitor.shutDown();
    return 0;
}
