#include "history_table.h"

#include "history/local_periods.h"

#include <QHeaderView>

namespace tavelin {

namespace {

QString litersText(double liters)
{
    return QLocale().toString(liters, 'f', 1);
}

QString flowText(const PeriodRow& row, double flow)
{
    return row.sums.readings > 0 ? QLocale().toString(flow, 'f', 2) : QString();
}

QStringList cellsOf(const QString& label, const PeriodRow& row)
{
    return {label,
            localIsoText(row.period.startUtcMs),
            localIsoText(row.period.endUtcMs),
            litersText(row.sums.liters),
            QLocale().toString(row.sums.readings),
            QObject::tr("%1 %").arg(QLocale().toString(row.coveragePercent(), 'f', 1)),
            flowText(row, row.sums.minFlow),
            flowText(row, row.sums.meanFlow()),
            flowText(row, row.sums.maxFlow)};
}

} // namespace

HistoryTable::HistoryTable(QWidget* parent) : QTableWidget(parent)
{
    setObjectName(QStringLiteral("tblHistory"));
    setColumnCount(9);
    setHorizontalHeaderLabels({tr("Period"), tr("Start"), tr("End"), tr("Liters"), tr("Readings"), tr("Coverage"),
                               tr("Least L/min"), tr("Mean L/min"), tr("Greatest L/min")});
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    verticalHeader()->hide();
}

void HistoryTable::fillRow(int index, const QStringList& cells, RowStyle style)
{
    for (int column = 0; column < cells.size(); ++column) {
        auto* item = new QTableWidgetItem(cells.at(column));
        item->setTextAlignment((column >= 3 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        QFont font = item->font();
        font.setBold(style == RowStyle::Total);
        font.setItalic(style == RowStyle::LowCoverage);
        item->setFont(font);
        if (style == RowStyle::LowCoverage) {
            item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
            item->setToolTip(tr("Coverage under 90 %: the program did not sample all of this period."));
        }
        setItem(index, column, item);
    }
}

void HistoryTable::setRows(const QVector<PeriodRow>& rows, const QStringList& labels, const QString& accessibleName)
{
    setRowCount(rows.isEmpty() ? 0 : rows.size() + 1); // nothing read: no total either
    PeriodRow total;
    for (int i = 0; i < rows.size(); ++i) {
        const PeriodRow& row = rows.at(i);
        fillRow(i, cellsOf(labels.value(i), row),
                row.coveragePercent() < kLowCoveragePercent ? RowStyle::LowCoverage : RowStyle::Plain);
        total.sums.add(row.sums);
    }
    if (!rows.isEmpty()) {
        total.period = {rows.first().period.startUtcMs, rows.last().period.endUtcMs};
        fillRow(rows.size(), cellsOf(tr("Total"), total), RowStyle::Total);
    }
    // Once, not at each cell as ResizeToContents would: that took a quarter
    // of a second for a day's rows.
    resizeColumnsToContents();
    setAccessibleName(accessibleName);
}

} // namespace tavelin
