#include "platform/widgets/cw_slide.h"

#include "platform/fonts.h"
#include "platform/widgets/focus_frame.h"
#include "platform/widgets/gauge_slider.h"
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
    , m_caption(new QLabel(this))
    , m_pointer(new GaugeSlider(this))
{
    setFont(instrumentFont());
    // Reached with Tab so that a screen reader can announce it; it takes no
    // input.
    setFocusPolicy(Qt::TabFocus);

    m_caption->setObjectName(QStringLiteral("Caption"));
    m_caption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_caption->setWordWrap(true);

    m_pointer->setObjectName(QStringLiteral("Pointer-1"));
    m_pointer->setReadOnly(true);
    m_pointer->setFocusPolicy(Qt::NoFocus);
    m_pointer->setScalePosition(QwtSlider::TrailingScale); // the Axis, left of the channel
    m_pointer->setTrough(true);
    m_pointer->setGroove(false);
    m_pointer->setBorderWidth(1);
    m_pointer->setSpacing(2);
    m_pointer->setHandleSize(kThumbSize);

    // Qwt draws tick labels in Text and the thumb in Button.
    QPalette colours = m_pointer->palette();
    colours.setColor(QPalette::Text, colours.color(QPalette::WindowText));
    colours.setColor(QPalette::Button, kThumbColour);
    m_pointer->setPalette(colours);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kFocusMargin, kFocusMargin, kFocusMargin, kFocusMargin);
    layout->setSpacing(2);
    layout->addWidget(m_caption);
    layout->addWidget(m_pointer, 1, Qt::AlignHCenter);

    setAxis(m_minimum, m_maximum, 1.0, 0.5);
}

void CWSlide::setCaption(const QString& caption)
{
    m_caption->setText(caption);
}

QString CWSlide::caption() const
{
    return m_caption->text();
}

void CWSlide::setAxis(double minimum, double maximum, double majorStep, double minorStep)
{
    m_minimum = minimum;
    m_maximum = maximum;
    m_pointer->setScale(buildScaleDiv(minimum, maximum, TickSpacing{majorStep, minorStep}));
}

void CWSlide::setAxisMaximum(double maximum)
{
    const TickSpacing spacing = readableSpacing(m_minimum, maximum);
    setAxis(m_minimum, maximum, spacing.major, spacing.minor);
}

void CWSlide::setValue(double value)
{
    m_pointer->setGaugeValue(value);
}

double CWSlide::value() const
{
    return m_pointer->gaugeValue();
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
