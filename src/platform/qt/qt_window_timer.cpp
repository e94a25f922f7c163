#include "qt_window_timer.h"

namespace tavelin {

QtWindowTimer::QtWindowTimer(std::function<void()> onTick, QObject* parent)
    : QObject(parent), onTick_(std::move(onTick))
{
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (onTick_)
            onTick_();
    });
}

void QtWindowTimer::setInterval(int milliseconds)
{
    if (milliseconds == interval_)
        return; // QTimer::setInterval would restart the countdown
    interval_ = milliseconds;
    apply();
}

void QtWindowTimer::setEnabled(bool enabled)
{
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    apply();
}

void QtWindowTimer::apply()
{
    // A QTimer with interval 0 would fire whenever the event loop is idle:
    // run it only while enabled with a real interval.
    if (enabled_ && interval_ > 0)
        timer_.start(interval_);
    else
        timer_.stop();
}

} // namespace tavelin
