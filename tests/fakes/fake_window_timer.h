#pragma once
// A window timer whose state tests inspect; ticks are delivered by calling the handler.

#include "platform/window_timer.h"

namespace tavelin::test {

class FakeWindowTimer : public WindowTimer {
public:
    void setInterval(int milliseconds) override { interval_ = milliseconds; }
    int interval() const override { return interval_; }
    void setEnabled(bool enabled) override { enabled_ = enabled; }
    bool isEnabled() const override { return enabled_; }

private:
    int interval_ = 0;
    bool enabled_ = false;
};

} // namespace tavelin::test
