#pragma once
// Turns SIGTERM, SIGINT and SIGHUP into a call on the user-interface thread,
// so that the program ends as when its window is closed: log file closed,
// port closed, exit status 0.

#include <functional>

class QObject;

namespace tavelin {

// From now on the signals no longer end the process; each is kept until an
// event loop runs with a handler installed by onTerminationSignal.
void catchTerminationSignals();

// Runs handler for each signal caught, also one caught before this call.
void onTerminationSignal(QObject* context, std::function<void()> handler);
// The same, told which signal it was (SIGTERM, SIGINT or SIGHUP).
void onTerminationSignal(QObject* context, std::function<void(int signal)> handler);

} // namespace tavelin
