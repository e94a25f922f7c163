#pragma once
// The "Event log" window: every change that affected the measurement, newest
// first, read from the store when the window shows and again whenever the
// store makes new events durable while it is shown; a list of kinds narrows
// it to one. The window reads through a source function, so that it can be
// shown on any store.

#include "platform/readings_store.h"

#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QTableView;

namespace tavelin {

class EventLogModel;

class EventLogWindow : public QWidget {
    Q_OBJECT
public:
    // The events, oldest first.
    using Source = std::function<QVector<StoredEvent>()>;

    explicit EventLogWindow(Source source, QWidget* parent = nullptr);

    // Reads the events again (done when shown).
    void reload();
    // New events are durable: read again while shown.
    void eventsAdded();

    EventLogModel* model() const { return model_; }
    QTableView* table() const { return table_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showCount();

    Source source_;
    EventLogModel* model_;
    QComboBox* kinds_;
    QTableView* table_;
    QLabel* count_;
    bool sized_ = false;
};

} // namespace tavelin
