#pragma once
// A readings store held in memory, keeping the real store's rules: the next
// sequence number follows the newest, and removal never takes the newest.
// Appends (of readings, alarm events and events) fail while failAppends is set;
// every removal request is recorded, and so is every write of a delivery
// cursor.

#include "platform/readings_store.h"

#include <QMap>
#include <QPair>
#include <QStringList>

#include <algorithm>

namespace tavelin::test {

class FakeReadingsStore : public ReadingsStore {
public:
    bool isOpen() const override { return true; }
    std::optional<std::int64_t> append(const StoredReading& reading) override
    {
        if (failAppends)
            return std::nullopt;
        StoredReading stored = reading;
        stored.seq = rows.isEmpty() ? 1 : rows.last().seq + 1;
        rows.append(stored);
        return stored.seq;
    }
    std::optional<StoredReading> newest() override
    {
        return rows.isEmpty() || newestFails ? std::nullopt : std::optional<StoredReading>(rows.last());
    }
    bool newestUnknown() const override { return newestFails; }
    QVector<StoredReading> readingsSince(std::int64_t utcMs) override
    {
        QVector<StoredReading> since;
        std::copy_if(rows.begin(), rows.end(), std::back_inserter(since),
                     [utcMs](const StoredReading& r) { return r.utcMs >= utcMs; });
        return since;
    }
    QVector<StoredReading> readingsAfter(std::int64_t seq, int maxRows) override
    {
        QVector<StoredReading> after;
        for (const StoredReading& r : rows)
            if (r.seq > seq && after.size() < maxRows)
                after.append(r);
        return after;
    }
    std::optional<std::int64_t> deliveredUpTo(const QString& stream) override
    {
        return cursors.contains(stream) ? std::optional<std::int64_t>(cursors.value(stream)) : std::nullopt;
    }
    bool setDeliveredUpTo(const QString& stream, std::int64_t seq) override
    {
        cursors.insert(stream, seq);
        ++cursorWrites;
        return true;
    }
    std::int64_t readingCount() override { return rows.size(); }
    std::int64_t createdUtcMs() override { return createdMs; }
    int removeOlderThan(std::int64_t utcMs, int maxRows) override
    {
        removals.append({utcMs, maxRows});
        int removed = 0;
        while (removed < maxRows && rows.size() > 1 && rows.first().utcMs < utcMs) {
            rows.removeFirst();
            ++removed;
        }
        return removed;
    }
    std::optional<std::int64_t> appendAlarmEvent(const StoredAlarmEvent& event) override
    {
        if (failAppends)
            return std::nullopt;
        alarmEvents.append(event);
        alarmEvents.last().seq = alarmEvents.size();
        return alarmEvents.last().seq;
    }
    QVector<StoredAlarmEvent> alarmEventsAfter(std::int64_t seq, int maxRows) override
    {
        return alarmEvents.mid(int(std::clamp<std::int64_t>(seq, 0, alarmEvents.size())), std::max(0, maxRows));
    }
    std::optional<std::int64_t> newestAlarmEventSeq() override
    {
        return alarmEvents.isEmpty() ? std::nullopt : std::optional<std::int64_t>(alarmEvents.size());
    }
    QString lastError() const override { return error; }
    QString filePath() const override { return path; }
    QString storeId() override { return id; }
    std::optional<std::int64_t> appendEvent(const StoredEvent& event) override
    {
        if (failAppends)
            return std::nullopt;
        events.append(event);
        events.last().seq = events.size();
        return events.last().seq;
    }
    QVector<StoredEvent> eventsAfter(std::int64_t seq, int maxRows) override
    {
        return events.mid(int(std::clamp<std::int64_t>(seq, 0, events.size())), std::max(0, maxRows));
    }
    std::int64_t eventCount() override { return events.size(); }
    // The events of one kind, as "subject: old -> new (source)".
    QStringList eventsOf(const QString& kind) const
    {
        QStringList found;
        for (const StoredEvent& e : events)
            if (e.kind == kind)
                found.append(QStringLiteral("%1: %2 -> %3 (%4)").arg(e.subject, e.oldValue, e.newValue, e.source));
        return found;
    }

    QVector<StoredReading> rows;
    QVector<StoredAlarmEvent> alarmEvents;
    QVector<StoredEvent> events;
    QVector<QPair<std::int64_t, int>> removals; // (cutoff, maxRows) per request
    QMap<QString, std::int64_t> cursors;
    int cursorWrites = 0;
    bool failAppends = false;
    bool newestFails = false; // the newest reading cannot be read (busy, I/O error)
    QString error = QStringLiteral("database or disk is full");
    QString path = QStringLiteral("/var/lib/tavelin/readings.db");
    std::int64_t createdMs = 0;
    QString id = QStringLiteral("0b0e9f4c-2d0e-4a57-9a4e-1f6f3c2a7d11");
};

} // namespace tavelin::test
