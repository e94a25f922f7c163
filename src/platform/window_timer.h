#pragma once
// A window timer: an interval in milliseconds and an enabled flag, both
// settable at any time. While enabled with an interval above 0 it ticks on the
// user-interface thread, the first tick one interval after it was enabled;
// with interval 0 it never ticks; disabling keeps the interval.

#include <QObject>
#include <QTimer>

#include <functional>

namespace tavelin {

class WindowTimer {
public:
    virtual ~WindowTimer() = default;
    virtual void setInterval(int milliseconds) = 0;
    virtual int interval() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
};

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
