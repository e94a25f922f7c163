#pragma once
// How the desktop knows the program: the id of its installed desktop entry,
// which also names its icon in the icon theme.

namespace tavelin {

// Names the desktop entry (for the task bar and the window manager) and sets
// every window's icon: the one installed beside the program
// (bin/../share/icons); none when the program runs from its build folder. Call once the QApplication exists.
void applyDesktopIdentity();

} // namespace tavelin
