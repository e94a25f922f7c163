#pragma once
// The focus mark of the composite instrument widgets (gauge, knob): a dotted
// frame in the margin that their inner parts leave free.

class QWidget;

namespace tavelin {

// Margin, in pixels, that a composite widget keeps around its parts.
constexpr int kFocusMargin = 2;

// Paints the focus frame along the widget's edge; call from paintEvent.
void drawFocusFrame(QWidget* widget);

} // namespace tavelin
