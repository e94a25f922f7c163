#pragma once
// Slide gauge of the instrument panel: a caption over one vertical scale (its
// "Axis") with one pointer ("Pointer-1"), a thumb on a channel that fills in
// blue from the scale minimum up to the value. It only shows values: the
// program sets them, the operator cannot move the thumb. A value outside the
// scale is kept as given; the thumb then rests at the end of the scale.

#include <QString>
#include <QWidget>

class QLabel;

namespace tavelin {

class GaugeSlider;

class CWSlide : public QWidget {
    Q_OBJECT
public:
    explicit CWSlide(QWidget* parent = nullptr);

    void setCaption(const QString& caption);
    QString caption() const;

    // The scale with its major (labelled) and minor tick intervals.
    void setAxis(double minimum, double maximum, double majorStep, double minorStep);
    // A new full scale; the minimum and the value stay, and the ticks are
    // spaced afresh so that the labels stay readable.
    void setAxisMaximum(double maximum);
    double axisMinimum() const { return minimum_; }
    double axisMaximum() const { return maximum_; }

    void setValue(double value);
    double value() const;

    // The pointer, for looking at its ticks and drawing.
    const GaugeSlider* pointer() const { return pointer_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QLabel* caption_ = nullptr;
    GaugeSlider* pointer_ = nullptr;
    double minimum_ = 0.0;
    double maximum_ = 10.0;
};

} // namespace tavelin
