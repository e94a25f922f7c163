#pragma once
// The History window's rows as a table a screen reader reads cell by cell:
// period, start, end, liters, readings, coverage, least, mean and greatest
// flow, then a last row with the shown range's total. Rows of periods under
// 90 % coverage are set apart in grey italics, as their bars are.

#include "history/period_totals.h"

#include <QStringList>
#include <QTableWidget>
#include <QVector>

namespace tavelin {

class HistoryTable : public QTableWidget {
    Q_OBJECT
public:
    explicit HistoryTable(QWidget* parent = nullptr);

    // labels[i] names rows[i]; the total sums them all.
    void setRows(const QVector<PeriodRow>& rows, const QStringList& labels, const QString& accessibleName);

private:
    enum class RowStyle { Plain, LowCoverage, Total };
    void fillRow(int index, const QStringList& cells, RowStyle style);
};

} // namespace tavelin
