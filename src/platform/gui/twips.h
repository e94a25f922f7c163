#pragma once
// Layout units: a twip is 1/1440 inch, 15 twips a pixel at 96 dots per inch.
// A window's layout is one table of places, which the window applies and the
// tests read.

#include <QRect>

#include <cstddef>

class QWidget;

namespace tavelin {

// A control's rectangle in twips, relative to its container: the frame named
// there, or the window itself when there is none.
struct TwipsPlace {
    const char* control;
    const char* container;
    int left;
    int top;
    int width;
    int height;
};

struct TwipsSize {
    int width;
    int height;
};

inline int twipsToPixels(int twips, int dotsPerInch) { return qRound(twips * dotsPerInch / 1440.0); }

QRect twipsRect(const TwipsPlace& place, int dotsPerInch);

// Puts each control of the window, found by its object name, at its place.
void placeControls(QWidget* window, const TwipsPlace* places, std::size_t count, int dotsPerInch);

template <std::size_t N>
void placeControls(QWidget* window, const TwipsPlace (&places)[N], int dotsPerInch)
{
    placeControls(window, places, N, dotsPerInch);
}

// The control of the window that a place names; a missing one is a
// programming error and stops the program.
QWidget* placedControl(QWidget* window, const TwipsPlace& place);

} // namespace tavelin
