#include "platform/widgets/cw_button.h"

#include "platform/gui/bevel.h"
#include "platform/gui/fonts.h"
#include "platform/widgets/instrument_accessibility.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace tavelin {
namespace {

const QColor kOnColour(0, 255, 0);

bool isEnterKey(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// QAbstractButton works a button from the keyboard with Space only; Enter
// and Return are handed to it as Space so that they press and release alike.
QKeyEvent asSpace(const QKeyEvent& event)
{
    return QKeyEvent(event.type(), Qt::Key_Space, event.modifiers(), QStringLiteral(" "),
                     event.isAutoRepeat(), static_cast<ushort>(event.count()));
}

} // namespace

CWButton::CWButton(QWidget* parent)
    : QAbstractButton(parent)
{
    installInstrumentAccessibility();
    // Checkable, so that accessibility reports the switch's state.
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setFont(instrumentFont());
    connect(this, &QAbstractButton::toggled, this, &CWButton::onStateChanged);
    connect(this, &QAbstractButton::clicked, this, [this] { Q_EMIT Click(); });
    // A momentary switch follows the button's down state: pressed() comes on
    // a press (and when the pointer slides back over it while held),
    // released() when it is let go or the pointer slides off.
    connect(this, &QAbstractButton::pressed, this, [this] {
        if (mode_ == Mode::Momentary)
            setChecked(true);
    });
    connect(this, &QAbstractButton::released, this, &CWButton::releaseMomentary);
}

void CWButton::setMode(Mode mode)
{
    mode_ = mode;
}

void CWButton::setOffText(const QString& text)
{
    offText_ = text;
    if (!isChecked())
        setText(text);
}

void CWButton::setOnText(const QString& text)
{
    onText_ = text;
    if (isChecked())
        setText(text);
}

QSize CWButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    const int textWidth = qMax(metrics.horizontalAdvance(offText_), metrics.horizontalAdvance(onText_));
    return QSize(textWidth + 16, metrics.height() + 8);
}

void CWButton::onStateChanged(bool on)
{
    setText(on ? onText_ : offText_);
    update();
    Q_EMIT ValueChanged(on);
}

void CWButton::releaseMomentary()
{
    if (mode_ == Mode::Momentary && !isDown())
        setChecked(false);
}

// Runs when a click completes, before clicked() is emitted: a latching
// switch toggles, a momentary one goes back to Off.
void CWButton::nextCheckState()
{
    if (mode_ == Mode::Latching)
        setChecked(!isChecked());
    else
        setChecked(false);
}

void CWButton::keyPressEvent(QKeyEvent* event)
{
    if (isEnterKey(event->key())) {
        QKeyEvent space = asSpace(*event);
        QAbstractButton::keyPressEvent(&space);
        event->setAccepted(space.isAccepted());
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void CWButton::keyReleaseEvent(QKeyEvent* event)
{
    if (isEnterKey(event->key())) {
        QKeyEvent space = asSpace(*event);
        QAbstractButton::keyReleaseEvent(&space);
        event->setAccepted(space.isAccepted());
        return;
    }
    QAbstractButton::keyReleaseEvent(event);
}

// Letting go outside the switch, losing the focus or being hidden while held
// ends the press without a released() signal; a momentary switch must still
// drop back to Off.
void CWButton::mouseReleaseEvent(QMouseEvent* event)
{
    QAbstractButton::mouseReleaseEvent(event);
    releaseMomentary();
}

void CWButton::focusOutEvent(QFocusEvent* event)
{
    QAbstractButton::focusOutEvent(event);
    releaseMomentary();
}

void CWButton::hideEvent(QHideEvent* event)
{
    setDown(false);
    QAbstractButton::hideEvent(event);
    releaseMomentary();
}

void CWButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect body = rect();
    const QBrush face = isChecked() ? QBrush(kOnColour) : palette().brush(QPalette::Button);
    // The classic raised bevel, sunk while the switch is held down.
    drawButtonBevel(&painter, body, palette(), isDown(), face);

    QRect textArea = body.adjusted(3, 2, -3, -2);
    if (isDown())
        textArea.translate(1, 1);
    painter.setFont(font());
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(textArea, Qt::AlignCenter | Qt::TextSingleLine, text());

    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = body.adjusted(3, 3, -3, -3);
        option.backgroundColor = face.color();
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

} // namespace tavelin
