#pragma once
// The History window: how much flowed, as bars and as a table of the same
// rows with their total, for the hours of a day, the days of a month, the
// months of a year, or ten years; Previous, Next and Today move through
// them, and "Export CSV..." writes the rows shown. It reads the quarter-hour
// intervals through an IntervalSource (the readings store's reader in the
// program) each time the range changes or the window is shown.

#include "history/history_range.h"
#include "history/period_totals.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;

namespace tavelin {

class FileDialog;
class HistoryChart;
class HistoryTable;
class IntervalSource;
class MessageBox;
class WallClock;

class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    HistoryWindow(IntervalSource* source, WallClock& clock, FileDialog& fileDialog, MessageBox& messages,
                  QWidget* parent = nullptr);

    // None: the store is not open, and the window says so.
    void setSource(IntervalSource* source);
    // The range of the scale holding the one shown (today's, at first).
    void showScale(HistoryScale scale);
    void showPrevious();
    void showNext();
    void showToday();
    // Asks where, then writes the rows shown as CSV.
    void exportCsv();

    const HistoryRange& shown() const { return shown_; }
    const QVector<PeriodRow>& rows() const { return rows_; }
    QString rangeTitle() const;
    HistoryChart* chart() const { return chart_; }
    HistoryTable* table() const { return table_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLayout* makeControls();
    void showRange(const HistoryRange& range);
    void refresh();
    QString rowLabel(const PeriodRow& row) const;
    QString axisLabel(const PeriodRow& row) const;

    IntervalSource* source_;
    WallClock& clock_;
    FileDialog& fileDialog_;
    MessageBox& messages_;
    HistoryScale scale_ = HistoryScale::HoursOfDay;
    HistoryRange shown_;
    QVector<PeriodRow> rows_;
    QComboBox* scaleChoice_;
    QLabel* title_;
    QPushButton* previous_;
    QPushButton* today_;
    QPushButton* next_;
    QPushButton* export_;
    HistoryChart* chart_;
    HistoryTable* table_;
    QLabel* problem_;
};

} // namespace tavelin
