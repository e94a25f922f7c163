#pragma once
// One stream of the store (the readings, the alarm events) delivered at
// least once, in order. The store is the outbox: entries are read from it
// after the last one sent, at most a window's worth unacknowledged at a time,
// and an entry counts as delivered only once the broker has acknowledged it
// and everything before it. How far that is (the cursor) is kept in the store,
// so that a reconnect and a restart both resume from it and send again what
// was not acknowledged. Entries the store's retention removed before they
// were delivered are counted and skipped.

#include "mqtt/mqtt_connection.h"

#include <QVector>

#include <cstdint>
#include <deque>
#include <functional>

namespace tavelin {

class ReadingsStore;

struct OutboxEntry {
    std::int64_t seq = 0;
    QByteArray payload;
};

class MqttOutbox {
public:
    // At most maxEntries entries with a sequence number above seq, in order.
    using Source = std::function<QVector<OutboxEntry>(std::int64_t seq, int maxEntries)>;
    static constexpr int kDefaultWindow = 64;

    // The cursor is the store's for stream; a stream never delivered before
    // starts after startAfter, and that is written at once.
    MqttOutbox(ReadingsStore& store, QString stream, QString topic, Source source, MqttConnection& connection,
               std::int64_t startAfter, int window = kDefaultWindow);

    // Whatever was sent and not acknowledged is sent again from the cursor.
    void connected();
    void disconnected();
    // Ids that are not this stream's are ignored.
    void acknowledged(int messageId);
    // Publishes what the window has room for, oldest first, at most
    // maxEntries; returns how many.
    int pump(int maxEntries = kDefaultWindow);
    // Writes the cursor to the store when it moved.
    void saveCursor();

    std::int64_t delivered() const { return delivered_; }
    std::int64_t inFlight() const { return inFlight_; }
    // Entries the retention removed before they were delivered.
    std::int64_t lostToRetention() const { return lost_; }

private:
    struct Pending {
        std::int64_t firstSeq;
        std::int64_t lastSeq; // a range: the entries retention removed
        int messageId;        // 0 for a removed range
        bool acknowledged;
    };
    void restartFromCursor();
    void advance();

    ReadingsStore& store_;
    QString stream_;
    QString topic_;
    Source source_;
    MqttConnection& connection_;
    int window_;
    bool connected_ = false;
    std::int64_t delivered_ = 0;
    std::int64_t saved_ = 0;
    std::int64_t sentUpTo_ = 0;
    std::int64_t inFlight_ = 0;
    std::int64_t lost_ = 0;
    std::deque<Pending> pending_;
};

} // namespace tavelin
