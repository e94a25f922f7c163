#include "trend_plot.h"

#include "sensor/trend_ring.h"
#include "trend_curve.h"

#include <QDateTime>
#include <QEvent>
#include <QPen>

#include <qwt_date_scale_draw.h>
#include <qwt_date_scale_engine.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_magnifier.h>
#include <qwt_plot_panner.h>
#include <qwt_text.h>

#include <algorithm>

namespace tavelin {

namespace {
const QColor kFlowColor(0, 65, 220);  // the flow gauge's fill
const QColor kTotalColor(0, 128, 0);

QwtText coloredTitle(const QString& text, const QColor& color)
{
    QwtText title(text);
    title.setColor(color);
    return title;
}
} // namespace

TrendPlot::TrendPlot(const TrendRing& ring, QWidget* parent)
    : QwtPlot(parent),
      ring_(ring),
      flow_(new SegmentedCurve(ring, TrendQuantity::Flow, tr("Flow"))),
      total_(new SegmentedCurve(ring, TrendQuantity::Total, tr("Total")))
{
    setObjectName(QStringLiteral("trendPlot"));
    setAutoReplot(false);
    setCanvasBackground(Qt::white);
    setUpAxes();

    flow_->setPen(kFlowColor, 1.5);
    flow_->setYAxis(QwtPlot::yLeft);
    flow_->attach(this);
    total_->setPen(kTotalColor, 1.5);
    total_->setYAxis(QwtPlot::yRight);
    total_->attach(this);

    auto* grid = new QwtPlotGrid;
    grid->setMajorPen(QColor(220, 220, 220), 0.0, Qt::DotLine);
    grid->attach(this);

    setUpNavigation();
    follow();
}

void TrendPlot::setUpAxes()
{
    // Time of day on one line; the date only where the ticks are days apart.
    auto* timeOfDay = new QwtDateScaleDraw(Qt::LocalTime);
    timeOfDay->setDateFormat(QwtDate::Millisecond, QStringLiteral("hh:mm:ss.zzz"));
    timeOfDay->setDateFormat(QwtDate::Second, QStringLiteral("hh:mm:ss"));
    timeOfDay->setDateFormat(QwtDate::Minute, QStringLiteral("hh:mm"));
    timeOfDay->setDateFormat(QwtDate::Hour, QStringLiteral("hh:mm"));
    timeOfDay->setDateFormat(QwtDate::Day, QStringLiteral("ddd dd MMM"));
    setAxisScaleDraw(QwtPlot::xBottom, timeOfDay);
    setAxisScaleEngine(QwtPlot::xBottom, new QwtDateScaleEngine(Qt::LocalTime));
    setAxisTitle(QwtPlot::yLeft, coloredTitle(tr("Flow (L/min)"), kFlowColor));
    enableAxis(QwtPlot::yRight);
    setAxisTitle(QwtPlot::yRight, coloredTitle(tr("Total (L)"), kTotalColor));
}

void TrendPlot::setUpNavigation()
{
    // Only the time axis moves: the value axes scale to what is in view.
    auto* magnifier = new QwtPlotMagnifier(canvas());
    magnifier->setAxisEnabled(QwtPlot::yLeft, false);
    magnifier->setAxisEnabled(QwtPlot::yRight, false);
    magnifier->setMouseButton(Qt::NoButton); // the wheel and +/- only
    magnifier->setWheelFactor(1.0 / magnifier->wheelFactor()); // wheel up zooms in, as in a map

    auto* panner = new QwtPlotPanner(canvas());
    panner->setAxisEnabled(QwtPlot::yLeft, false);
    panner->setAxisEnabled(QwtPlot::yRight, false);
    panner->setOrientations(Qt::Horizontal);
    // moved() comes while dragging, before the panner's own replot at release.
    connect(panner, &QwtPanner::moved, this, [this] { following_ = false; });

    canvas()->installEventFilter(this);
}

void TrendPlot::follow()
{
    following_ = true;
    const double end = ring_.isEmpty() ? static_cast<double>(QDateTime::currentMSecsSinceEpoch()) : ring_.newest().time;
    setAxisScale(QwtPlot::xBottom, end - kFollowSpanMs, end);
    replot();
}

void TrendPlot::replot()
{
    fitTimeAxis();
    QwtPlot::replot();
}

void TrendPlot::fitTimeAxis()
{
    updateAxes(); // takes in what the panner or the magnifier set
    const QwtInterval shown = axisInterval(QwtPlot::xBottom).normalized();
    const double span = std::clamp(shown.width(), kShortestSpanMs, kLongestSpanMs);
    double from = shown.minValue() + (shown.width() - span) / 2.0;
    if (following_ && !ring_.isEmpty())
        from = ring_.newest().time - span;
    setAxisScale(QwtPlot::xBottom, from, from + span);
    flow_->setTimesInView(from, from + span);
    total_->setTimesInView(from, from + span);
}

bool TrendPlot::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == canvas() && event->type() == QEvent::MouseButtonDblClick) {
        follow();
        return true;
    }
    return QwtPlot::eventFilter(watched, event);
}

} // namespace tavelin
