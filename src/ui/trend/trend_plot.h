#pragma once
// The trend plot: flow (L/min, left axis) and total volume (L, right axis)
// against the time of day. It follows the newest point with the last ten
// minutes in view until the operator drags the time axis; the mouse wheel
// zooms the time axis; follow() (double click) returns to following.

#include <qwt_plot.h>

namespace tavelin {

class SegmentedCurve;
class TrendRing;

class TrendPlot : public QwtPlot {
    Q_OBJECT
public:
    static constexpr double kFollowSpanMs = 10 * 60 * 1000.0;
    static constexpr double kShortestSpanMs = 30 * 1000.0;
    static constexpr double kLongestSpanMs = 48 * 60 * 60 * 1000.0;

    explicit TrendPlot(const TrendRing& ring, QWidget* parent = nullptr);

    bool isFollowing() const { return following_; }
    void follow();
    // Fits the time axis (following, or as panned and zoomed) and redraws.
    void replot() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setUpAxes();
    void setUpNavigation();
    void fitTimeAxis();

    const TrendRing& ring_;
    SegmentedCurve* flow_;
    SegmentedCurve* total_;
    bool following_ = true;
};

} // namespace tavelin
