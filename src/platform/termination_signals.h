#pragma once
// Turns SIGTERM, SIGINT and SIGHUP into a call on the user-interface thread,
// so that the program ends as when its window is closed: log file closed,
// port closed, exit status 0.

#include <functional>

class QObject;

namespace tavelin {

void onTerminationSignal(QObject* context, std::function<void()> handler);

} // namespace tavelin
