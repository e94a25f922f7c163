#pragma once
// The options Qt's application object takes from the command line itself
// (-platform offscreen, -style fusion...), so that the program's own parser,
// which runs before there is a display, accepts them instead of refusing
// them as unknown. Qt removes them from argv when the window's application
// starts; the program does not act on them.

#include <QCommandLineParser>

namespace tavelin {

// Adds Qt 5.15's own options to the parser; hidden from --help, listed by
// --help-all.
void addToolkitOptions(QCommandLineParser& parser, bool listed);

} // namespace tavelin
