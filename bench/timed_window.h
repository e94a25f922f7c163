#pragma once
// The instrument window with a stopwatch on its sampling cycle: each tick of
// the sampling timer is timed as it is delivered, and each cycle ends at its
// last display write (the total-volume gauge). Everything between the two is
// the program's own path: timer, PollSensor, the port, the settle delay, the
// reply and the display writes.

#include "platform/message_box.h"
#include "ui/main/frmmain.h"

#include <QObject>

#include <cstdint>
#include <vector>

namespace tavelin::bench {

// Microseconds of CLOCK_MONOTONIC, the clock the simulator logs on.
std::int64_t monotonicMicroseconds();

// Nanoseconds this thread has spent runnable but waiting for a processor
// (the second figure of /proc/thread-self/schedstat): what other work on a
// busy machine takes out of a cycle.
std::int64_t runQueueWaitNanoseconds();

struct CycleTiming {
    std::int64_t tick = 0;      // the timer event reaches the event loop
    std::int64_t lastWrite = 0; // the cycle's last display write returns
    std::int64_t waitedUs = 0;  // of the time between, spent off the processor
};

// A message box would hold a cycle for as long as nobody closes it: count
// the prompts instead, so a failed exchange shows up in the figures.
class CountingMessages : public MessageBox {
public:
    void show(const QString& prompt, const QString& title = QString()) override;
    int shown() const { return shown_; }
    QString lastPrompt() const { return lastPrompt_; }

private:
    int shown_ = 0;
    QString lastPrompt_;
};

class TimedWindow : public frmmain {
    Q_OBJECT
public:
    // Watches the application's timer events for the one of the sampling
    // timer, known by its interval (pick one no other timer uses).
    TimedWindow(Station& station, FileDialog& fileDialog, int samplingIntervalMs);
    ~TimedWindow() override;

    void setCWSlide2(double value) override;

    const std::vector<CycleTiming>& cycles() const { return cycles_; }
    // Ticks that ended without a display write (a rejected or late reply).
    int cyclesWithoutDisplay() const { return cyclesWithoutDisplay_; }

Q_SIGNALS:
    void cycleCompleted(int count);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int samplingIntervalMs_;
    std::int64_t pendingTick_ = 0;
    std::int64_t pendingRunQueueWait_ = 0;
    std::vector<CycleTiming> cycles_;
    int cyclesWithoutDisplay_ = 0;
};

} // namespace tavelin::bench
