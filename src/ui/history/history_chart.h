#pragma once
// The History window's bars: liters per period, one bar each, labelled below
// with the period's name. A period with less than 90 % coverage (the program
// did not sample the whole of it) is drawn lighter and hatched, with its own
// line in the legend, so that nobody takes it for a period of little use.

#include "history/period_totals.h"

#include <QStringList>
#include <QVector>

#include <qwt_plot.h>

class QwtPlotBarChart;

namespace tavelin {

class HistoryChart : public QwtPlot {
    Q_OBJECT
public:
    explicit HistoryChart(QWidget* parent = nullptr);

    // One bar per row, labels[i] under rows[i]; what it shows is also said
    // in the accessible name given (for the bars, which a tool cannot read).
    void setRows(const QVector<PeriodRow>& rows, const QStringList& labels, const QString& accessibleName);

    // The bars of each kind, for tests: (index, liters).
    QVector<QPointF> fullBars() const;
    QVector<QPointF> lowCoverageBars() const;

private:
    QwtPlotBarChart* full_;
    QwtPlotBarChart* low_;
};

} // namespace tavelin
