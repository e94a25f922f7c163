#include "display_loss.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace tavelin {

namespace {
DisplayLossGuard* armed = nullptr;
} // namespace

DisplayLossGuard::DisplayLossGuard(std::function<void()> closeFiles) : closeFiles_(std::move(closeFiles))
{
    // Registered late, so it runs before the exit handlers and static
    // destructors of the libraries, while the window and its files still exist.
    static const bool registered = std::atexit(&DisplayLossGuard::onExit) == 0;
    if (registered)
        armed = this;
}

DisplayLossGuard::~DisplayLossGuard()
{
    if (armed == this)
        armed = nullptr;
}

void DisplayLossGuard::onExit()
{
    DisplayLossGuard* guard = std::exchange(armed, nullptr);
    if (!guard)
        return;
    if (guard->closeFiles_)
        guard->closeFiles_();
    std::fputs("tavelin: the display is gone; the log file is closed.\n", stderr);
    // No destructors: the window and the application object are still on the
    // stack below this exit, and the libraries' statics must not go before them.
    std::_Exit(0);
}

} // namespace tavelin
