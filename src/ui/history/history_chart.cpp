#include "history_chart.h"

#include <QPalette>

#include <qwt_column_symbol.h>
#include <qwt_legend.h>
#include <qwt_plot_barchart.h>
#include <qwt_plot_grid.h>
#include <qwt_scale_div.h>
#include <qwt_scale_draw.h>

namespace tavelin {

namespace {

const QColor kBarColor(0, 65, 220); // the gauges' fill
const double kBarWidth = 0.7;       // of the space between two labels

// Names the bars under them instead of numbering the axis.
class PeriodScaleDraw : public QwtScaleDraw {
public:
    explicit PeriodScaleDraw(QStringList labels) : labels_(std::move(labels)) {}
    QwtText label(double value) const override
    {
        const int index = qRound(value);
        return index >= 0 && index < labels_.size() ? QwtText(labels_.at(index)) : QwtText();
    }

private:
    QStringList labels_;
};

QwtPlotBarChart* makeBars(const QString& title, const QBrush& brush, QwtPlot* plot)
{
    auto* bars = new QwtPlotBarChart(title);
    auto* symbol = new QwtColumnSymbol(QwtColumnSymbol::Box);
    symbol->setFrameStyle(QwtColumnSymbol::Plain);
    symbol->setLineWidth(1);
    QPalette palette(kBarColor);
    palette.setBrush(QPalette::Window, brush);
    palette.setColor(QPalette::Dark, kBarColor);
    symbol->setPalette(palette);
    bars->setSymbol(symbol);
    bars->setLayoutPolicy(QwtPlotAbstractBarChart::ScaleSamplesToAxes);
    bars->setLayoutHint(kBarWidth);
    bars->setLegendMode(QwtPlotBarChart::LegendChartTitle);
    bars->setLegendIconSize(QSize(14, 14));
    bars->attach(plot);
    return bars;
}

QVector<QPointF> samplesOf(const QwtPlotBarChart* bars)
{
    QVector<QPointF> samples;
    for (size_t i = 0; i < bars->dataSize(); ++i)
        samples.append(bars->sample(int(i)));
    return samples;
}

} // namespace

HistoryChart::HistoryChart(QWidget* parent) : QwtPlot(parent)
{
    setObjectName(QStringLiteral("plotHistory"));
    setCanvasBackground(Qt::white);
    setAxisTitle(QwtPlot::yLeft, tr("L"));
    setAxisMaxMinor(QwtPlot::xBottom, 0);
    auto* grid = new QwtPlotGrid;
    grid->enableX(false);
    grid->setMajorPen(QColor(210, 210, 210), 0, Qt::DotLine);
    grid->attach(this);
    full_ = makeBars(tr("Liters"), kBarColor, this);
    low_ = makeBars(tr("Liters, coverage under 90 %"), QBrush(kBarColor.lighter(170), Qt::BDiagPattern), this);
    insertLegend(new QwtLegend, QwtPlot::BottomLegend);
}

void HistoryChart::setRows(const QVector<PeriodRow>& rows, const QStringList& labels, const QString& accessibleName)
{
    QVector<QPointF> full, low;
    QList<double> ticks;
    for (int i = 0; i < rows.size(); ++i) {
        const PeriodRow& row = rows.at(i);
        (row.coveragePercent() < kLowCoveragePercent ? low : full).append(QPointF(i, row.sums.liters));
        ticks.append(i);
    }
    full_->setSamples(full);
    low_->setSamples(low);
    QwtScaleDiv division(-0.5, rows.size() - 0.5);
    division.setTicks(QwtScaleDiv::MajorTick, ticks);
    setAxisScaleDraw(QwtPlot::xBottom, new PeriodScaleDraw(labels));
    setAxisScaleDiv(QwtPlot::xBottom, division);
    setAccessibleName(accessibleName);
    replot();
}

QVector<QPointF> HistoryChart::fullBars() const
{
    return samplesOf(full_);
}

QVector<QPointF> HistoryChart::lowCoverageBars() const
{
    return samplesOf(low_);
}

} // namespace tavelin
