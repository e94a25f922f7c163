#pragma once
// The event log as a table: newest first, one row an event, the columns the
// store keeps (the time in local time), optionally only one kind of event.

#include "platform/readings_store.h"

#include <QAbstractTableModel>
#include <QVector>

namespace tavelin {

class EventLogModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Seq, Time, Kind, Subject, OldValue, NewValue, Source, User, Version, ColumnCount };

    explicit EventLogModel(QObject* parent = nullptr);

    // The events, in the store's order (oldest first).
    void setEvents(const QVector<StoredEvent>& events);
    // Only events of this kind; empty: every kind.
    void setKind(const QString& kind);
    QString kind() const { return kind_; }
    int eventCount() const { return events_.size(); }
    const StoredEvent& eventAt(int row) const { return events_[shown_[row]]; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void filter();

    QVector<StoredEvent> events_; // newest first
    QVector<int> shown_;          // indexes into events_
    QString kind_;
};

} // namespace tavelin
