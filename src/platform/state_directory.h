#pragma once
// Where the program keeps what it must remember between runs (the readings
// store, the alarm journal). Qt 5.15 has no standard location for state, so it follows systemd
// and the XDG base directories itself.

#include <QString>

namespace tavelin {

// $STATE_DIRECTORY when systemd gives one (the first of a ':'-separated
// list), else $XDG_STATE_HOME/tavelin when that is an absolute path, else
// ~/.local/state/tavelin.
QString stateDirectory();

// The readings store's file in the state directory.
QString readingsStorePath();

// The alarm journal's file in the state directory.
QString alarmJournalPath();

} // namespace tavelin
