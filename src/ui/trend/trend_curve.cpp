#include "trend_curve.h"

#include <QPainter>

#include <qwt_scale_map.h>

#include <algorithm>
#include <cmath>

namespace tavelin {

QPointF TrendSeriesData::sample(size_t index) const
{
    const TrendPoint& point = ring_.at(index);
    return QPointF(point.time, quantity_ == TrendQuantity::Flow ? static_cast<double>(point.flow) : point.total);
}

void TrendSeriesData::setTimesInView(double from, double to)
{
    from_ = from;
    to_ = to;
}

QRectF TrendSeriesData::boundingRect() const
{
    if (boundsCount_ != ring_.appendedCount() || boundsFrom_ != from_ || boundsTo_ != to_) {
        bounds_ = boundsInView();
        boundsCount_ = ring_.appendedCount();
        boundsFrom_ = from_;
        boundsTo_ = to_;
    }
    return bounds_;
}

QRectF TrendSeriesData::boundsInView() const
{
    const size_t first = ring_.lowerBound(from_);
    const size_t end = ring_.lowerBound(to_ + 1.0); // points at the right edge count
    if (first >= end)
        return QRectF(1.0, 1.0, -2.0, -2.0);
    double low = sample(first).y();
    double high = low;
    for (size_t i = first + 1; i < end; ++i) {
        const double y = sample(i).y();
        low = std::min(low, y);
        high = std::max(high, y);
    }
    return QRectF(QPointF(sample(first).x(), low), QPointF(sample(end - 1).x(), high));
}

SegmentedCurve::SegmentedCurve(const TrendRing& ring, TrendQuantity quantity, const QString& title)
    : QwtPlotCurve(title), ring_(ring), data_(new TrendSeriesData(ring, quantity))
{
    setData(data_);
    setPaintAttribute(QwtPlotCurve::FilterPoints, true); // many points on one pixel when zoomed out
    setRenderHint(QwtPlotItem::RenderAntialiased, true);
}

void SegmentedCurve::setTimesInView(double from, double to)
{
    data_->setTimesInView(from, to);
}

void SegmentedCurve::drawSeries(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap,
                                const QRectF& canvasRect, int from, int to) const
{
    if (ring_.isEmpty())
        return;
    const size_t last = to < 0 ? ring_.size() - 1 : static_cast<size_t>(to);
    // What lies in view, with one point beyond each edge so the lines reach it.
    size_t begin = ring_.lowerBound(std::min(xMap.s1(), xMap.s2()));
    size_t end = ring_.lowerBound(std::max(xMap.s1(), xMap.s2()));
    begin = std::max(begin > 0 ? begin - 1 : 0, static_cast<size_t>(std::max(from, 0)));
    end = std::min(end, last);
    if (begin > end)
        return;

    size_t start = begin;
    for (size_t i = begin + 1; i <= end + 1; ++i) {
        if (i <= end && !ring_.startsSegment(i))
            continue;
        if (i - 1 == start)
            drawLonePoint(painter, xMap, yMap, start);
        else if (i - start > 2 * static_cast<size_t>(canvasRect.width()))
            drawColumns(painter, xMap, yMap, start, i - 1);
        else
            QwtPlotCurve::drawSeries(painter, xMap, yMap, canvasRect, static_cast<int>(start),
                                     static_cast<int>(i - 1));
        start = i;
    }
}

void SegmentedCurve::drawColumns(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap,
                                 size_t first, size_t last) const
{
    // Many points to a pixel column (hours in view): each column is drawn as
    // its first, lowest, highest and last value, which looks the same as
    // every point and keeps a day's redraw short.
    QPolygonF line;
    double column = 0.0;
    double entry = 0.0, low = 0.0, high = 0.0, exit = 0.0;
    auto flush = [&] {
        line << QPointF(column, entry) << QPointF(column, low) << QPointF(column, high) << QPointF(column, exit);
    };
    for (size_t i = first; i <= last; ++i) {
        const QPointF point = data_->sample(i);
        const double x = std::floor(xMap.transform(point.x()));
        const double y = yMap.transform(point.y());
        if (i == first || x != column) {
            if (i != first)
                flush();
            column = x;
            entry = low = high = exit = y;
            continue;
        }
        low = std::min(low, y);
        high = std::max(high, y);
        exit = y;
    }
    flush();
    painter->save();
    // A one-pixel line: the raster engine draws it directly, where a wider
    // pen would make it outline thousands of short strokes.
    QPen thin = pen();
    thin.setWidth(0);
    painter->setPen(thin);
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->drawPolyline(line);
    painter->restore();
}

void SegmentedCurve::drawLonePoint(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap,
                                   size_t index) const
{
    // A segment of one cycle has no line: a dot the width of a few lines.
    const QPointF point = data_->sample(index);
    painter->save();
    QPen dot = pen();
    dot.setWidthF(std::max(3.0, pen().widthF() * 3.0));
    dot.setCapStyle(Qt::RoundCap);
    painter->setPen(dot);
    painter->drawPoint(QPointF(xMap.transform(point.x()), yMap.transform(point.y())));
    painter->restore();
}

} // namespace tavelin
