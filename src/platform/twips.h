#pragma once
// Layout units: a twip is 1/1440 inch, 15 twips a pixel at 96 dots per inch.

#include <QRect>
#include <QWidget>
#include <QtMath>

namespace tavelin {

inline int twipsToPixels(int twips, int dotsPerInch) { return qRound(twips * dotsPerInch / 1440.0); }

inline QRect twipsRect(int left, int top, int width, int height, int dotsPerInch)
{
    return QRect(twipsToPixels(left, dotsPerInch), twipsToPixels(top, dotsPerInch),
                 twipsToPixels(width, dotsPerInch), twipsToPixels(height, dotsPerInch));
}

// Puts a widget at a rectangle given in twips, relative to its parent.
inline void placeInTwips(QWidget* widget, int left, int top, int width, int height, int dotsPerInch)
{
    widget->setGeometry(twipsRect(left, top, width, height, dotsPerInch));
}

} // namespace tavelin
