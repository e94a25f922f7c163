#pragma once
// The end of the X session, or of any display the program is shown on: Qt's
// platform plugin then ends the process with exit(1) from inside the event
// loop, past every handler of the program. While a DisplayLossGuard lives,
// such an exit first runs the guard's function (which closes the log file)
// and the process then ends at once with status 0, as on SIGHUP.

#include <functional>

namespace tavelin {

class DisplayLossGuard {
public:
    explicit DisplayLossGuard(std::function<void()> closeFiles);
    ~DisplayLossGuard(); // the program's own return no longer counts as a loss
    DisplayLossGuard(const DisplayLossGuard&) = delete;
    DisplayLossGuard& operator=(const DisplayLossGuard&) = delete;

private:
    static void onExit();

    std::function<void()> closeFiles_;
};

} // namespace tavelin
