#include "timed_window.h"

#include <QApplication>
#include <QTimer>
#include <QTimerEvent>

#include <cstdio>
#include <ctime>

namespace tavelin::bench {

std::int64_t monotonicMicroseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

std::int64_t runQueueWaitNanoseconds()
{
    std::FILE* file = std::fopen("/proc/thread-self/schedstat", "r");
    if (!file)
        return 0;
    long long running = 0;
    long long waiting = 0;
    const int read = std::fscanf(file, "%lld %lld", &running, &waiting);
    std::fclose(file);
    return read == 2 ? waiting : 0;
}

void CountingMessages::show(const QString& prompt, const QString&)
{
    ++shown_;
    lastPrompt_ = prompt;
}

TimedWindow::TimedWindow(Station& station, FileDialog& fileDialog, int samplingIntervalMs)
    : frmmain(station, fileDialog), samplingIntervalMs_(samplingIntervalMs)
{
    qApp->installEventFilter(this);
}

TimedWindow::~TimedWindow()
{
    qApp->removeEventFilter(this);
}

bool TimedWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Runs before the timer itself sees the event, so the stopwatch starts
    // ahead of everything the tick sets off.
    if (event->type() == QEvent::Timer) {
        auto* timer = qobject_cast<QTimer*>(watched);
        if (timer && timer->interval() == samplingIntervalMs_
            && static_cast<QTimerEvent*>(event)->timerId() == timer->timerId()) {
            if (pendingTick_ != 0)
                ++cyclesWithoutDisplay_;
            pendingTick_ = monotonicMicroseconds();
            pendingRunQueueWait_ = runQueueWaitNanoseconds();
        }
    }
    return frmmain::eventFilter(watched, event);
}

void TimedWindow::setCWSlide2(double value)
{
    frmmain::setCWSlide2(value);
    const std::int64_t now = monotonicMicroseconds();
    if (pendingTick_ == 0)
        return; // a write from outside a timed cycle
    const std::int64_t waited = (runQueueWaitNanoseconds() - pendingRunQueueWait_) / 1000;
    cycles_.push_back({pendingTick_, now, waited});
    pendingTick_ = 0;
    Q_EMIT cycleCompleted(static_cast<int>(cycles_.size()));
}

} // namespace tavelin::bench
