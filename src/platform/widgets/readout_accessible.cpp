#include "platform/widgets/readout_accessible.h"

#include <QLabel>

namespace tavelin {

ReadoutAccessible::ReadoutAccessible(QLabel* label)
    : QAccessibleWidget(label, QAccessible::StaticText)
{
}

QString ReadoutAccessible::reading() const
{
    return static_cast<const QLabel*>(object())->text();
}

QString ReadoutAccessible::text(QAccessible::Text type) const
{
    if (type == QAccessible::Value)
        return reading();
    return QAccessibleWidget::text(type); // the name says what is shown, and in which unit
}

QAccessible::State ReadoutAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = true;
    return state;
}

void* ReadoutAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString ReadoutAccessible::text(int startOffset, int endOffset) const
{
    const QString whole = reading();
    if (endOffset < 0 || endOffset > whole.size())
        endOffset = whole.size();
    if (startOffset < 0 || startOffset > endOffset)
        return QString();
    return whole.mid(startOffset, endOffset - startOffset);
}

int ReadoutAccessible::characterCount() const
{
    return reading().size();
}

void ReadoutAccessible::selection(int, int* startOffset, int* endOffset) const
{
    *startOffset = 0;
    *endOffset = 0;
}

// Where single characters stand is not offered; the readout as a whole has
// its rectangle.
QRect ReadoutAccessible::characterRect(int) const
{
    return QRect();
}

int ReadoutAccessible::offsetAtPoint(const QPoint&) const
{
    return -1;
}

QString ReadoutAccessible::attributes(int offset, int* startOffset, int* endOffset) const
{
    *startOffset = offset;
    *endOffset = offset;
    return QString();
}

} // namespace tavelin
