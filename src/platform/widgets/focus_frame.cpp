#include "platform/widgets/focus_frame.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QWidget>

namespace tavelin {

void drawFocusFrame(QWidget* widget)
{
    QPainter painter(widget);
    QStyleOptionFocusRect option;
    option.initFrom(widget);
    option.rect = widget->rect();
    option.backgroundColor = widget->palette().color(QPalette::Window);
    widget->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, widget);
}

} // namespace tavelin
