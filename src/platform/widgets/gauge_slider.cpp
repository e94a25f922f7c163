#include "platform/widgets/gauge_slider.h"

#include <QPainter>
#include <cmath>
#include <qdrawutil.h>
#include <qwt_scale_draw.h>

namespace tavelin {
namespace {

const QColor kChannelColour(109, 109, 131);
const QColor kFillColour(0, 65, 220);
const int kChannelBorder = 1;

} // namespace

GaugeSlider::GaugeSlider(QWidget* parent)
    : QwtSlider(Qt::Vertical, parent)
{
    // Short ticks suit a gauge only a few centimetres wide.
    auto* axis = new QwtScaleDraw;
    axis->setTickLength(QwtScaleDiv::MajorTick, 5);
    axis->setTickLength(QwtScaleDiv::MediumTick, 4);
    axis->setTickLength(QwtScaleDiv::MinorTick, 3);
    setScaleDraw(axis);
}

void GaugeSlider::setGaugeValue(double value)
{
    value_ = value;
    setValue(value); // clamped by Qwt: only places the thumb
    update();
}

void GaugeSlider::scaleChange()
{
    // Qwt has just clamped the value to the new scale; put the thumb back
    // where the kept value says.
    QwtSlider::scaleChange();
    setValue(value_);
    update();
}

QRect GaugeSlider::channelRect() const
{
    return sliderRect().adjusted(kChannelBorder, kChannelBorder, -kChannelBorder, -kChannelBorder);
}

QRect GaugeSlider::fillRect() const
{
    const double low = qMin(lowerBound(), upperBound());
    const double high = qMax(lowerBound(), upperBound());
    if (!std::isfinite(value_) || value_ <= low || high <= low)
        return QRect();

    const QRect channel = channelRect();
    // The fill rises from the bottom of the channel, below the thumb's lowest
    // position, so that no bare strip shows under a small value.
    const int bottom = channel.bottom();
    // Beyond the full scale the whole channel fills, the thumb stays at the end.
    const int top = value_ > high ? channel.top() : qMax(transform(value_), channel.top());
    if (top > bottom)
        return QRect();
    return QRect(QPoint(channel.left(), top), QPoint(channel.right(), bottom));
}

void GaugeSlider::drawSlider(QPainter* painter, const QRect& sliderRect) const
{
    const QBrush channel(kChannelColour);
    qDrawShadePanel(painter, sliderRect, palette(), true, kChannelBorder, &channel);
    const QRect fill = fillRect();
    if (!fill.isEmpty())
        painter->fillRect(fill, kFillColour);
    if (isValid())
        drawHandle(painter, handleRect(), transform(value()));
}

} // namespace tavelin
