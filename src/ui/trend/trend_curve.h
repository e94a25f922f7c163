#pragma once
// One quantity of the trend ring (flow or total) as a Qwt curve against time.
// The curve draws only what lies in view, and each segment of the ring on its
// own, so a stretch without sampling stays a gap.

#include "sensor/trend_ring.h"

#include <qwt_plot_curve.h>
#include <qwt_series_data.h>

#include <cstdint>

namespace tavelin {

enum class TrendQuantity { Flow, Total };

// x: milliseconds since the epoch, as Qwt's date scales take them.
class TrendSeriesData : public QwtSeriesData<QPointF> {
public:
    TrendSeriesData(const TrendRing& ring, TrendQuantity quantity) : ring_(ring), quantity_(quantity) {}

    size_t size() const override { return ring_.size(); }
    QPointF sample(size_t index) const override;
    // The points within the times in view only, so the value axes scale to
    // what is shown; invalid (negative size) when none are.
    QRectF boundingRect() const override;
    void setTimesInView(double from, double to);

private:
    QRectF boundsInView() const;

    const TrendRing& ring_;
    TrendQuantity quantity_;
    double from_ = 0.0;
    double to_ = 0.0;
    // A replot asks more than once; the answer changes only with the view or a new point.
    mutable QRectF bounds_;
    mutable std::uint64_t boundsCount_ = ~std::uint64_t(0);
    mutable double boundsFrom_ = 0.0;
    mutable double boundsTo_ = 0.0;
};

class SegmentedCurve : public QwtPlotCurve {
public:
    SegmentedCurve(const TrendRing& ring, TrendQuantity quantity, const QString& title);

    void setTimesInView(double from, double to);

protected:
    void drawSeries(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap, const QRectF& canvasRect,
                    int from, int to) const override;

private:
    void drawColumns(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap, size_t first,
                     size_t last) const;
    void drawLonePoint(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap, size_t index) const;

    const TrendRing& ring_;
    TrendSeriesData* data_; // owned by the curve
};

} // namespace tavelin
