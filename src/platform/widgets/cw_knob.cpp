#include "platform/widgets/cw_knob.h"

#include "platform/widgets/focus_frame.h"
#include "platform/fonts.h"
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
    , m_caption(new QLabel(this))
    , m_knob(new QwtKnob(this))
{
    setFont(instrumentFont());
    // The widget itself takes the focus and hands keys to the knob, so that
    // its accessible name is the one announced.
    setFocusPolicy(Qt::StrongFocus);

    m_caption->setObjectName(QStringLiteral("Caption"));
    m_caption->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    m_caption->setWordWrap(true);

    m_knob->setObjectName(QStringLiteral("Pointer-1"));
    m_knob->setFocusPolicy(Qt::NoFocus);
    m_knob->setTotalAngle(kSweepDegrees);
    m_knob->setNumTurns(1);
    m_knob->setWrapping(false);
    m_knob->setTracking(true);
    m_knob->setStepAlignment(true);
    m_knob->setKnobStyle(QwtKnob::Raised);   // the "Knob" body
    m_knob->setMarkerStyle(QwtKnob::Dot);    // the "Divot", dark on the light body
    m_knob->setMarkerSize(6);
    m_knob->setBorderWidth(1);
    m_knob->setKnobWidth(0); // as large as the widget allows
    m_knob->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_knob->scaleDraw()->setTickLength(QwtScaleDiv::MajorTick, 4);
    m_knob->scaleDraw()->setTickLength(QwtScaleDiv::MediumTick, 3);
    m_knob->scaleDraw()->setTickLength(QwtScaleDiv::MinorTick, 2);
    m_knob->scaleDraw()->setSpacing(2);

    QPalette colours = m_knob->palette();
    colours.setColor(QPalette::Text, colours.color(QPalette::WindowText));
    m_knob->setPalette(colours);

    // The sweep leaves the bottom of the scale open: the caption sits there,
    // over the knob's own area, so that the knob can use the full height.
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(kFocusMargin, kFocusMargin, kFocusMargin, kFocusMargin);
    layout->addWidget(m_knob, 0, 0);
    layout->addWidget(m_caption, 0, 0, Qt::AlignHCenter | Qt::AlignBottom);
    m_caption->raise();
    m_caption->setAttribute(Qt::WA_TransparentForMouseEvents);

    setAxis(0.0, 10.0, 1.0, 0.5);
    connect(m_knob, &QwtKnob::valueChanged, this, &CWKnob::onKnobMoved);
}

void CWKnob::setCaption(const QString& caption, const QColor& colour)
{
    m_caption->setText(caption);
    QPalette colours = m_caption->palette();
    colours.setColor(QPalette::WindowText, colour);
    m_caption->setPalette(colours);
}

QString CWKnob::caption() const
{
    return m_caption->text();
}

void CWKnob::setAxis(double minimum, double maximum, double majorStep, double minorStep)
{
    const bool wasProgrammatic = m_programmatic;
    m_programmatic = true;
    m_knob->setScale(buildScaleDiv(minimum, maximum, TickSpacing{majorStep, minorStep}));
    if (minorStep > 0.0 && maximum > minimum)
        m_knob->setTotalSteps(static_cast<uint>(qRound((maximum - minimum) / minorStep * kStepsPerMinorTick)));
    m_knob->setSingleSteps(1);
    m_knob->setPageSteps(kPageSteps);
    m_value = m_knob->value();
    m_programmatic = wasProgrammatic;
}

double CWKnob::axisMinimum() const
{
    return m_knob->lowerBound();
}

double CWKnob::axisMaximum() const
{
    return m_knob->upperBound();
}

void CWKnob::setValue(double value)
{
    const bool wasProgrammatic = m_programmatic;
    m_programmatic = true;
    m_knob->setValue(value);
    m_value = m_knob->value();
    m_programmatic = wasProgrammatic;
}

double CWKnob::Value() const
{
    return m_knob->value();
}

// Qwt also announces values set by the program and every scale change, even
// an unchanged value; only a real turn by the operator goes out.
void CWKnob::onKnobMoved(double value)
{
    if (m_programmatic || value == m_value)
        return;
    const double previous = m_value;
    m_value = value;
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
        QCoreApplication::sendEvent(m_knob, event);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

// Wheel turns over the caption or the margin turn the knob as well.
void CWKnob::wheelEvent(QWheelEvent* event)
{
    QCoreApplication::sendEvent(m_knob, event);
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
