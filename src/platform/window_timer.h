#pragma once
// A window timer: an interval in milliseconds and an enabled flag, both
// settable at any time. While enabled with an interval above 0 it ticks on the
// user-interface thread, the first tick one interval after it was enabled;
// with interval 0 it never ticks; disabling keeps the interval.

namespace tavelin {

class WindowTimer {
public:
    virtual ~WindowTimer() = default;
    virtual void setInterval(int milliseconds) = 0;
    virtual int interval() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
};

} // namespace tavelin
