#include "history_window.h"

#include "history/csv_writer.h"
#include "history/interval_source.h"
#include "history/period_csv.h"
#include "history_chart.h"
#include "history_table.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "platform/wall_clock.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QSplitter>
#include <QVBoxLayout>

namespace tavelin {

namespace {

QDateTime localStart(const PeriodRow& row)
{
    return QDateTime::fromMSecsSinceEpoch(row.period.startUtcMs, Qt::LocalTime);
}

// "by hour", "by day"...: what one bar and one row stand for.
QString byWhat(PeriodKind kind)
{
    switch (kind) {
    case PeriodKind::Hour:
        return QObject::tr("Liters by hour");
    case PeriodKind::Day:
        return QObject::tr("Liters by day");
    case PeriodKind::Month:
        return QObject::tr("Liters by month");
    default:
        return QObject::tr("Liters by year");
    }
}

} // namespace

HistoryWindow::HistoryWindow(IntervalSource* source, WallClock& clock, FileDialog& fileDialog, MessageBox& messages,
                             QWidget* parent)
    : QWidget(parent, Qt::Window),
      source_(source),
      clock_(clock),
      fileDialog_(fileDialog),
      messages_(messages),
      shown_(historyRange(scale_, clock.currentMSecsSinceEpoch())),
      chart_(new HistoryChart(this)),
      table_(new HistoryTable(this)),
      problem_(new QLabel(this))
{
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(tr("History"));
    problem_->setObjectName(QStringLiteral("lblProblem"));
    problem_->setWordWrap(true);
    problem_->hide();
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(chart_);
    split->addWidget(table_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(makeControls());
    layout->addWidget(split, 1);
    layout->addWidget(problem_);
    resize(820, 620);

    auto* close = new QAction(this);
    close->setShortcuts(QKeySequence::Close);
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);
}

QLayout* HistoryWindow::makeControls()
{
    scaleChoice_ = new QComboBox(this);
    scaleChoice_->setObjectName(QStringLiteral("cboScale"));
    scaleChoice_->addItems({tr("Hours of a day"), tr("Days of a month"), tr("Months of a year"), tr("Years")});
    scaleChoice_->setAccessibleName(tr("Show"));
    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("lblRange"));
    previous_ = new QPushButton(tr("&Previous"), this);
    today_ = new QPushButton(tr("&Today"), this);
    next_ = new QPushButton(tr("&Next"), this);
    export_ = new QPushButton(tr("&Export CSV..."), this);
    previous_->setObjectName(QStringLiteral("cmdPrevious"));
    today_->setObjectName(QStringLiteral("cmdToday"));
    next_->setObjectName(QStringLiteral("cmdNext"));
    export_->setObjectName(QStringLiteral("cmdExport"));
    connect(scaleChoice_, QOverload<int>::of(&QComboBox::activated), this,
            [this](int index) { showScale(HistoryScale(index)); });
    connect(previous_, &QPushButton::clicked, this, &HistoryWindow::showPrevious);
    connect(today_, &QPushButton::clicked, this, &HistoryWindow::showToday);
    connect(next_, &QPushButton::clicked, this, &HistoryWindow::showNext);
    connect(export_, &QPushButton::clicked, this, &HistoryWindow::exportCsv);

    auto* controls = new QHBoxLayout;
    for (QWidget* control : {static_cast<QWidget*>(scaleChoice_), static_cast<QWidget*>(previous_),
                             static_cast<QWidget*>(today_), static_cast<QWidget*>(next_)})
        controls->addWidget(control);
    controls->addSpacing(12);
    controls->addWidget(title_, 1);
    controls->addWidget(export_);
    return controls;
}

void HistoryWindow::setSource(IntervalSource* source)
{
    source_ = source;
    if (isVisible())
        refresh();
}

void HistoryWindow::showScale(HistoryScale scale)
{
    const std::int64_t now = clock_.currentMSecsSinceEpoch();
    const bool nowShown = now >= shown_.range.startUtcMs && now < shown_.range.endUtcMs;
    scale_ = scale;
    scaleChoice_->setCurrentIndex(int(scale));
    showRange(historyRange(scale, nowShown ? now : shown_.range.startUtcMs));
}

void HistoryWindow::showPrevious()
{
    showRange(steppedRange(scale_, shown_, -1));
}

void HistoryWindow::showNext()
{
    showRange(steppedRange(scale_, shown_, +1));
}

void HistoryWindow::showToday()
{
    showRange(historyRange(scale_, clock_.currentMSecsSinceEpoch()));
}

void HistoryWindow::showRange(const HistoryRange& range)
{
    shown_ = range;
    if (isVisible())
        refresh();
}

void HistoryWindow::showEvent(QShowEvent* event)
{
    refresh();
    QWidget::showEvent(event);
}

void HistoryWindow::refresh()
{
    QString problem;
    if (!source_)
        problem = tr("The history is kept in the readings store, which is not open.");
    else if (!periodRows(*source_, shown_.kind, shown_.range.startUtcMs, shown_.range.endUtcMs, &rows_))
        problem = tr("The readings store cannot be read: %1.").arg(source_->lastError());
    if (!problem.isEmpty())
        rows_.clear();
    problem_->setText(problem);
    problem_->setVisible(!problem.isEmpty());

    QStringList axisLabels, rowLabels;
    for (const PeriodRow& row : rows_) {
        axisLabels << axisLabel(row);
        rowLabels << rowLabel(row);
    }
    const QString title = rangeTitle();
    title_->setText(title);
    chart_->setRows(rows_, axisLabels, tr("Bar chart, %1, %2").arg(byWhat(shown_.kind), title));
    table_->setRows(rows_, rowLabels, tr("%1, %2").arg(byWhat(shown_.kind), title));
    next_->setEnabled(shown_.range.endUtcMs <= clock_.currentMSecsSinceEpoch());
    export_->setEnabled(!rows_.isEmpty());
}

QString HistoryWindow::rangeTitle() const
{
    const QDate first = QDateTime::fromMSecsSinceEpoch(shown_.range.startUtcMs, Qt::LocalTime).date();
    const QLocale locale;
    switch (scale_) {
    case HistoryScale::HoursOfDay:
        return locale.toString(first, QLocale::LongFormat);
    case HistoryScale::DaysOfMonth:
        return tr("%1 %2").arg(locale.standaloneMonthName(first.month()), QString::number(first.year()));
    case HistoryScale::MonthsOfYear:
        return QString::number(first.year());
    case HistoryScale::Years:
        break;
    }
    return tr("%1 to %2").arg(first.year()).arg(first.year() + kYearsShown - 1);
}

QString HistoryWindow::axisLabel(const PeriodRow& row) const
{
    const QDateTime start = localStart(row);
    switch (shown_.kind) {
    case PeriodKind::Hour:
        return QStringLiteral("%1").arg(start.time().hour(), 2, 10, QLatin1Char('0'));
    case PeriodKind::Day:
        return QString::number(start.date().day());
    case PeriodKind::Month:
        return QLocale().standaloneMonthName(start.date().month(), QLocale::ShortFormat);
    default:
        return QString::number(start.date().year());
    }
}

QString HistoryWindow::rowLabel(const PeriodRow& row) const
{
    const QDateTime start = localStart(row);
    const QLocale locale;
    switch (shown_.kind) {
    case PeriodKind::Hour:
        return locale.toString(start.time(), QLocale::ShortFormat);
    case PeriodKind::Day:
        return locale.toString(start.date(), QLocale::ShortFormat);
    case PeriodKind::Month:
        return locale.standaloneMonthName(start.date().month());
    default:
        return QString::number(start.date().year());
    }
}

void HistoryWindow::exportCsv()
{
    const QString name = QStringLiteral("history-%1.csv")
                             .arg(QDateTime::fromMSecsSinceEpoch(shown_.range.startUtcMs, Qt::LocalTime)
                                      .date()
                                      .toString(Qt::ISODate));
    const QString path = fileDialog_.showSave({tr("CSV file (*.csv)")}, name);
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        CsvWriter csv(file);
        writePeriodHeader(csv);
        for (const PeriodRow& row : rows_)
            writePeriodRow(csv, row);
        if (csv.flush() && file.commit())
            return;
    }
    messages_.show(tr("%1 was not saved: %2.").arg(path, file.errorString()));
}

} // namespace tavelin
