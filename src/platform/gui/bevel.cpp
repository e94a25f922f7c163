#include "platform/gui/bevel.h"

#include <QBrush>
#include <QPainter>
#include <QPalette>
#include <QRect>

namespace tavelin {
namespace {

// One ring of an edge, inset pixels inside rect: the top and left sides in
// one colour, the bottom and right sides (which own the corners they share
// with the others) in another. Filled rectangles scale with the painter,
// where lines drawn with a pen of one device pixel would not.
void drawRing(QPainter* painter, const QRect& rect, int inset, const QColor& topLeft, const QColor& bottomRight)
{
    const QRect r = rect.adjusted(inset, inset, -inset, -inset);
    if (r.width() < 1 || r.height() < 1)
        return;
    painter->fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), topLeft);
    painter->fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), topLeft);
    painter->fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
    painter->fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
}

} // namespace

void drawButtonBevel(QPainter* painter, const QRect& rect, const QPalette& palette, bool sunken,
                     const QBrush& face)
{
    if (rect.width() < 2 || rect.height() < 2)
        return;
    const QColor light = palette.color(QPalette::Light);
    const QColor shadow = palette.color(QPalette::Shadow);
    const QColor button = palette.color(QPalette::Button);
    const QColor dark = palette.color(QPalette::Dark);
    drawRing(painter, rect, 0, sunken ? shadow : light, sunken ? light : shadow);
    if (rect.width() > 4 && rect.height() > 4) {
        drawRing(painter, rect, 1, sunken ? dark : button, sunken ? button : dark);
        painter->fillRect(rect.adjusted(2, 2, -2, -2), face);
    }
}

void drawShadePanel(QPainter* painter, const QRect& rect, const QPalette& palette, bool sunken, int lineWidth,
                    const QBrush* fill)
{
    QColor shade = palette.color(QPalette::Dark);
    QColor light = palette.color(QPalette::Light);
    // An edge in the colour of the inside would vanish.
    if (fill && fill->color() == shade)
        shade = palette.color(QPalette::Shadow);
    if (fill && fill->color() == light)
        light = palette.color(QPalette::Midlight);
    for (int inset = 0; inset < lineWidth; ++inset)
        drawRing(painter, rect, inset, sunken ? shade : light, sunken ? light : shade);
    if (fill)
        painter->fillRect(rect.adjusted(lineWidth, lineWidth, -lineWidth, -lineWidth), *fill);
}

void drawSunkenLine(QPainter* painter, int left, int right, int y, const QPalette& palette)
{
    painter->fillRect(QRect(QPoint(left, y), QPoint(right, y)), palette.color(QPalette::Dark));
    painter->fillRect(QRect(QPoint(left, y + 1), QPoint(right - 1, y + 1)), palette.color(QPalette::Light));
}

} // namespace tavelin
