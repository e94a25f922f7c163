#include "platform/widgets/gauge_slider.h"

#include "platform/gui/bevel.h"

#include <QPainter>
#include <cmath>
#include <qwt_scale_draw.h>

namespace tavelin {
namespace {

const QColor kChannelColour(109, 109, 131);
const QColor kFillColour(0, 65, 220);
const int kChannelBorder = 1;

// The gauge's axis is drawn with a pen one pixel wide rather than Qwt's
// default of one device pixel, so that ticks and backbone grow with high-DPI
// scaling. Qwt lengthens each tick by the pen's width; taking that back keeps
// the ticks as long as with the default pen.
class GaugeScaleDraw : public QwtScaleDraw {
protected:
    void drawTick(QPainter* painter, double value, double length) const override
    {
        QwtScaleDraw::drawTick(painter, value, length - penWidth());
    }
};

} // namespace

GaugeSlider::GaugeSlider(QWidget* parent)
    : QwtSlider(Qt::Vertical, parent)
{
    // Short ticks suit a gauge only a few centimetres wide.
    auto* axis = new GaugeScaleDraw;
    axis->setPenWidth(1);
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
    drawShadePanel(painter, sliderRect, palette(), true, kChannelBorder, &channel);
    const QRect fill = fillRect();
    if (!fill.isEmpty())
        painter->fillRect(fill, kFillColour);
    if (isValid())
        drawHandle(painter, handleRect(), transform(value()));
}

// Qwt's thumb, raised with a groove across it at the value, drawn so that it
// keeps its proportions under high-DPI scaling.
void GaugeSlider::drawHandle(QPainter* painter, const QRect& handleRect, int position) const
{
    const int border = borderWidth();
    drawShadePanel(painter, handleRect, palette(), false, border, &palette().brush(QPalette::Button));
    drawSunkenLine(painter, handleRect.left() + border, handleRect.right() - border - 1, position, palette());
}

} // namespace tavelin
