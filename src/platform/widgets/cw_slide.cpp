#include "platform/widgets/cw_slide.h"

#include "platform/gui/fonts.h"
#include "platform/widgets/focus_frame.h"
#include "platform/widgets/gauge_slider.h"
#include "platform/widgets/instrument_accessibility.h"
#include "platform/widgets/scale_ticks.h"

#include <QLabel>
#include <QVBoxLayout>

namespace tavelin {
namespace {

const QColor kThumbColour(250, 250, 250);

// Thumb of about 22 x 9 px: small enough for a gauge of 85 px width, still
// wide enough to stand out of the channel.
const QSize kThumbSize(22, 9);

} // namespace

CWSlide::CWSlide(QWidget* parent)
    : QWidget(parent)
    , caption_(new QLabel(this))
    , pointer_(new GaugeSlider(this))
{
    installInstrumentAccessibility();
    setFont(instrumentFont());
    // Reached with Tab so that a screen reader can announce it; it takes no
    // input.
    setFocusPolicy(Qt::TabFocus);

    caption_->setObjectName(QStringLiteral("Caption"));
    caption_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    caption_->setWordWrap(true);

    pointer_->setObjectName(QStringLiteral("Pointer-1"));
    pointer_->setReadOnly(true);
    pointer_->setFocusPolicy(Qt::NoFocus);
    pointer_->setScalePosition(QwtSlider::TrailingScale); // the Axis, left of the channel
    pointer_->setTrough(true);
    pointer_->setGroove(false);
    pointer_->setBorderWidth(1);
    pointer_->setSpacing(2);
    pointer_->setHandleSize(kThumbSize);

    // Qwt draws tick labels in Text and the thumb in Button.
    QPalette colours = pointer_->palette();
    colours.setColor(QPalette::Text, colours.color(QPalette::WindowText));
    colours.setColor(QPalette::Button, kThumbColour);
    pointer_->setPalette(colours);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kFocusMargin, kFocusMargin, kFocusMargin, kFocusMargin);
    layout->setSpacing(2);
    layout->addWidget(caption_);
    layout->addWidget(pointer_, 1, Qt::AlignHCenter);

    setAxis(minimum_, maximum_, 1.0, 0.5);
}

void CWSlide::setCaption(const QString& caption)
{
    caption_->setText(caption);
}

QString CWSlide::caption() const
{
    return caption_->text();
}

void CWSlide::setAxis(double minimum, double maximum, double majorStep, double minorStep)
{
    minimum_ = minimum;
    maximum_ = maximum;
    pointer_->setScale(buildScaleDiv(minimum, maximum, TickSpacing{majorStep, minorStep}));
    announceValueChange(this, value());
}

void CWSlide::setAxisMaximum(double maximum)
{
    const TickSpacing spacing = readableSpacing(minimum_, maximum);
    setAxis(minimum_, maximum, spacing.major, spacing.minor);
}

void CWSlide::setValue(double value)
{
    pointer_->setGaugeValue(value);
    announceValueChange(this, value);
}

double CWSlide::value() const
{
    return pointer_->gaugeValue();
}

void CWSlide::paintEvent(QPaintEvent*)
{
    if (hasFocus())
        drawFocusFrame(this);
}

void CWSlide::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
}

void CWSlide::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

} // namespace tavelin
