#pragma once
// Rotary knob of the instrument panel: a knob body ("Knob"), captioned below,
// with a position mark ("Divot") that turns along one round scale ("Axis")
// with one pointer ("Pointer-1"). The operator turns it with the mouse
// (drag), the wheel or the arrow and page keys; only those turns are
// reported, never values or scales set by the program.
//
// The pointer sweeps 270 degrees, from lower left through the top to lower
// right. It moves in steps of a fifth of the minor tick interval: an arrow
// key or one wheel notch moves one step, Page Up / Page Down (or the wheel
// with Ctrl or Shift) one minor interval, Home / End go to the ends.

#include <QColor>
#include <QString>
#include <QWidget>

class QLabel;
class QwtKnob;

namespace tavelin {

class CWKnob : public QWidget {
    Q_OBJECT
public:
    explicit CWKnob(QWidget* parent = nullptr);

    void setCaption(const QString& caption, const QColor& colour);
    QString caption() const;

    // The scale with its major (labelled) and minor tick intervals; a value
    // outside the new scale is brought to its nearer end, silently.
    void setAxis(double minimum, double maximum, double majorStep, double minorStep);
    double axisMinimum() const;
    double axisMaximum() const;

    // Sets the position from the program, limited to the scale; raises no
    // ValueChanged.
    void setValue(double value);
    double Value() const;

    // Turns the knob as the operator does, for an assistive tool: limited to
    // the scale, and reported with ValueChanged when the position changes.
    void turnTo(double value);

    // The knob itself, for looking at its scale and geometry.
    const QwtKnob* pointer() const { return knob_; }

Q_SIGNALS:
    // The operator turned the knob from previousValue to value.
    void ValueChanged(double value, double previousValue);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void onKnobMoved(double value);

    QLabel* caption_ = nullptr;
    QwtKnob* knob_ = nullptr;
    double value_ = 0.0;     // the position last reported (or set)
    bool programmatic_ = false; // inside setValue / setAxis
};

} // namespace tavelin
