#include "platform/widgets/cw_knob.h"

#include "platform/gui/fonts.h"
#include "platform/widgets/focus_frame.h"
#include "platform/widgets/instrument_accessibility.h"
#include "platform/widgets/scale_ticks.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QGridLayout>
#include <QWheelEvent>
#include <qwt_knob.h>
#include <qwt_round_scale_draw.h>

namespace tavelin {
namespace {

const double kSweepDegrees = 270.0;
const int kStepsPerMinorTick = 5;
const int kPageSteps = kStepsPerMinorTick;

} // namespace

CWKnob::CWKnob(QWidget* parent)
    : QWidget(parent)
    , caption_(new QLabel(this))
    , knob_(new QwtKnob(this))
{
    installInstrumentAccessibility();
    setFont(instrumentFont());
    // The widget itself takes the focus and hands keys to the knob, so that
    // its accessible name is the one announced.
    setFocusPolicy(Qt::StrongFocus);

    caption_->setObjectName(QStringLiteral("Caption"));
    caption_->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    caption_->setWordWrap(true);

    knob_->setObjectName(QStringLiteral("Pointer-1"));
    knob_->setFocusPolicy(Qt::NoFocus);
    knob_->setTotalAngle(kSweepDegrees);
    knob_->setNumTurns(1);
    knob_->setWrapping(false);
    knob_->setTracking(true);
    knob_->setStepAlignment(true);
    knob_->setKnobStyle(QwtKnob::Raised);   // the "Knob" body
    knob_->setMarkerStyle(QwtKnob::Dot);    // the "Divot", dark on the light body
    knob_->setMarkerSize(6);
    knob_->setBorderWidth(1);
    knob_->setKnobWidth(0); // as large as the widget allows
    knob_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    knob_->scaleDraw()->setTickLength(QwtScaleDiv::MajorTick, 4);
    knob_->scaleDraw()->setTickLength(QwtScaleDiv::MediumTick, 3);
    knob_->scaleDraw()->setTickLength(QwtScaleDiv::MinorTick, 2);
    knob_->scaleDraw()->setSpacing(2);
    knob_->scaleDraw()->setPenWidth(1); // one pixel, not one device pixel: scales with the screen

    QPalette colours = knob_->palette();
    colours.setColor(QPalette::Text, colours.color(QPalette::WindowText));
    knob_->setPalette(colours);

    // The sweep leaves the bottom of the scale open: the caption sits there,
    // over the knob's own area, so that the knob can use the full height.
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(kFocusMargin, kFocusMargin, kFocusMargin, kFocusMargin);
    layout->addWidget(knob_, 0, 0);
    layout->addWidget(caption_, 0, 0, Qt::AlignHCenter | Qt::AlignBottom);
    caption_->raise();
    caption_->setAttribute(Qt::WA_TransparentForMouseEvents);

    setAxis(0.0, 10.0, 1.0, 0.5);
    connect(knob_, &QwtKnob::valueChanged, this, &CWKnob::onKnobMoved);
}

void CWKnob::setCaption(const QString& caption, const QColor& colour)
{
    caption_->setText(caption);
    QPalette colours = caption_->palette();
    colours.setColor(QPalette::WindowText, colour);
    caption_->setPalette(colours);
}

QString CWKnob::caption() const
{
    return caption_->text();
}

void CWKnob::setAxis(double minimum, double maximum, double majorStep, double minorStep)
{
    const bool wasProgrammatic = programmatic_;
    programmatic_ = true;
    knob_->setScale(buildScaleDiv(minimum, maximum, TickSpacing{majorStep, minorStep}));
    if (minorStep > 0.0 && maximum > minimum)
        knob_->setTotalSteps(static_cast<uint>(qRound((maximum - minimum) / minorStep * kStepsPerMinorTick)));
    knob_->setSingleSteps(1);
    knob_->setPageSteps(kPageSteps);
    value_ = knob_->value();
    programmatic_ = wasProgrammatic;
    announceValueChange(this, value_);
}

double CWKnob::axisMinimum() const
{
    return knob_->lowerBound();
}

double CWKnob::axisMaximum() const
{
    return knob_->upperBound();
}

void CWKnob::setValue(double value)
{
    const bool wasProgrammatic = programmatic_;
    programmatic_ = true;
    knob_->setValue(value);
    value_ = knob_->value();
    programmatic_ = wasProgrammatic;
    announceValueChange(this, value_);
}

void CWKnob::turnTo(double value)
{
    knob_->setValue(value); // not programmatic: onKnobMoved reports it
}

double CWKnob::Value() const
{
    return knob_->value();
}

// Qwt also announces values set by the program and every scale change, even
// an unchanged value; only a real turn by the operator goes out.
void CWKnob::onKnobMoved(double value)
{
    if (programmatic_ || value == value_)
        return;
    const double previous = value_;
    value_ = value;
    announceValueChange(this, value);
    Q_EMIT ValueChanged(value, previous);
}

// Only the keys that turn the knob are handed on: a key the knob ignores
// would come back up to this widget.
void CWKnob::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        QCoreApplication::sendEvent(knob_, event);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

// Wheel turns over the caption or the margin turn the knob as well.
void CWKnob::wheelEvent(QWheelEvent* event)
{
    QCoreApplication::sendEvent(knob_, event);
}

void CWKnob::paintEvent(QPaintEvent*)
{
    if (hasFocus())
        drawFocusFrame(this);
}

void CWKnob::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
}

void CWKnob::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

} // namespace tavelin
