#include "event_log_window.h"

#include "event_log_model.h"
#include "records/event_log.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

namespace tavelin {

EventLogWindow::EventLogWindow(Source source, QWidget* parent)
    : QWidget(parent, Qt::Window),
      source_(std::move(source)),
      model_(new EventLogModel(this)),
      kinds_(new QComboBox(this)),
      table_(new QTableView(this)),
      count_(new QLabel(this))
{
    setObjectName(QStringLiteral("frmEvents"));
    setWindowTitle(tr("Event log"));
    kinds_->setObjectName(QStringLiteral("cmbKind"));
    kinds_->addItem(tr("All events"), QString());
    for (const QString& kind : eventKinds())
        kinds_->addItem(kind, kind);
    auto* kindLabel = new QLabel(tr("&Show:"), this);
    kindLabel->setBuddy(kinds_);
    count_->setObjectName(QStringLiteral("lblCount"));

    table_->setObjectName(QStringLiteral("tblEvents"));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    // Every row one line high: a long log needs no row measured.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->horizontalHeader()->setStretchLastSection(true);
    // Columns sized to the rows in view: measuring a thousand rows' texts
    // would cost a long log a good part of a second at each opening.
    table_->horizontalHeader()->setResizeContentsPrecision(0);

    auto* top = new QHBoxLayout;
    top->addWidget(kindLabel);
    top->addWidget(kinds_);
    top->addStretch();
    top->addWidget(count_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(table_, 1);
    resize(880, 420);

    connect(kinds_, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int index) {
        model_->setKind(kinds_->itemData(index).toString());
        showCount();
    });
}

void EventLogWindow::reload()
{
    model_->setEvents(source_());
    if (!sized_ && model_->rowCount() > 0) {
        sized_ = true; // once: the operator's widths are kept after
        table_->resizeColumnsToContents();
    }
    showCount();
}

void EventLogWindow::eventsAdded()
{
    if (isVisible())
        reload();
}

void EventLogWindow::showEvent(QShowEvent* event)
{
    reload();
    QWidget::showEvent(event);
}

void EventLogWindow::showCount()
{
    const int all = model_->eventCount();
    const QString events = all == 1 ? tr("1 event") : tr("%1 events").arg(all);
    count_->setText(model_->kind().isEmpty() ? events : tr("%1 of %2").arg(model_->rowCount()).arg(events));
}

} // namespace tavelin
