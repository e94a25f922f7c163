#pragma once
// The window timer on a QTimer.

#include "platform/window_timer.h"

#include <QObject>
#include <QTimer>

#include <functional>

namespace tavelin {

// On a precise QTimer: a coarse timer's slack would bias a total that counts
// one reading per tick.
class QtWindowTimer : public QObject, public WindowTimer {
    Q_OBJECT
public:
    explicit QtWindowTimer(std::function<void()> onTick, QObject* parent = nullptr);

    void setInterval(int milliseconds) override;
    int interval() const override { return interval_; }
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return enabled_; }
    // Whether the underlying timer is counting down (enabled with an interval).
    bool isRunning() const { return timer_.isActive(); }

private:
    void apply();

    QTimer timer_;
    std::function<void()> onTick_;
    int interval_ = 0;
    bool enabled_ = false;
};

} // namespace tavelin
