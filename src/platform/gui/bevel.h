#pragma once
// Raised and sunken edges of the classic panel look, drawn in the widget's
// own (device-independent) pixels. Qt's qDrawWinButton and qDrawShadePanel
// keep their lines one device pixel wide, so under high-DPI scaling they
// turn thin; these grow with the rest of the drawing and match them at 1x.

class QBrush;
class QPainter;
class QPalette;
class QRect;

namespace tavelin {

// The two-line button edge (light and button face over shadow and dark),
// sunk while pressed, with the inside filled with face.
void drawButtonBevel(QPainter* painter, const QRect& rect, const QPalette& palette, bool sunken,
                     const QBrush& face);

// A panel edge lineWidth pixels wide, light over dark (raised) or dark over
// light (sunken); the inside is filled when fill is given.
void drawShadePanel(QPainter* painter, const QRect& rect, const QPalette& palette, bool sunken, int lineWidth,
                    const QBrush* fill = nullptr);

// A sunken horizontal groove: dark along y from left to right, light along
// the row below it, one pixel shorter.
void drawSunkenLine(QPainter* painter, int left, int right, int y, const QPalette& palette);

} // namespace tavelin
