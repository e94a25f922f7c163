#include "event_log_model.h"

#include <QDateTime>

#include <algorithm>

namespace tavelin {

EventLogModel::EventLogModel(QObject* parent) : QAbstractTableModel(parent) {}

void EventLogModel::setEvents(const QVector<StoredEvent>& events)
{
    beginResetModel();
    events_ = events;
    std::reverse(events_.begin(), events_.end());
    filter();
    endResetModel();
}

void EventLogModel::setKind(const QString& kind)
{
    beginResetModel();
    kind_ = kind;
    filter();
    endResetModel();
}

void EventLogModel::filter()
{
    shown_.clear();
    shown_.reserve(events_.size());
    for (int i = 0; i < events_.size(); ++i) {
        if (kind_.isEmpty() || events_[i].kind == kind_)
            shown_.append(i);
    }
}

int EventLogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : shown_.size();
}

int EventLogModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant EventLogModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= shown_.size())
        return QVariant();
    const StoredEvent& event = eventAt(index.row());
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(event.utcMs);
    if (role == Qt::ToolTipRole && index.column() == Time)
        return at.toUTC().toString(Qt::ISODateWithMs);
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
    case Seq: return QVariant::fromValue<qlonglong>(event.seq);
    case Time: return at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case Kind: return event.kind;
    case Subject: return event.subject;
    case OldValue: return event.oldValue;
    case NewValue: return event.newValue;
    case Source: return event.source;
    case User: return event.user;
    case Version: return event.version;
    default: return QVariant();
    }
}

QVariant EventLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const kHeaders[ColumnCount] = {
        QT_TR_NOOP("Seq"), QT_TR_NOOP("Time"), QT_TR_NOOP("Event"), QT_TR_NOOP("Concerns"), QT_TR_NOOP("Old value"),
        QT_TR_NOOP("New value"), QT_TR_NOOP("Source"), QT_TR_NOOP("User"), QT_TR_NOOP("Version")};
    return section >= 0 && section < ColumnCount ? tr(kHeaders[section]) : QVariant();
}

} // namespace tavelin
