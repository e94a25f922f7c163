#pragma once
// The pointer of a slide gauge: a vertical QwtSlider whose channel is filled
// from the scale minimum up to the value. Qwt clamps a slider's value to its
// scale, so the gauge keeps the value it was given itself: the thumb stops at
// the end of the scale, but the value, and the fill, stay as set, also across
// later changes of the scale.

#include <qwt_slider.h>

namespace tavelin {

class GaugeSlider : public QwtSlider {
public:
    explicit GaugeSlider(QWidget* parent = nullptr);

    void setGaugeValue(double value);
    double gaugeValue() const { return value_; }

    // The inside of the channel, and the part of it filled in blue (empty
    // when the value is at or below the minimum), in widget coordinates.
    QRect channelRect() const;
    QRect fillRect() const;

protected:
    void drawSlider(QPainter* painter, const QRect& sliderRect) const override;
    void drawHandle(QPainter* painter, const QRect& handleRect, int position) const override;
    void scaleChange() override;

private:
    double value_ = 0.0;
};

} // namespace tavelin
