#include "mqtt/mqtt_outbox.h"

#include "platform/readings_store.h"

#include <algorithm>

namespace tavelin {

MqttOutbox::MqttOutbox(ReadingsStore& store, QString stream, QString topic, Source source,
                       MqttConnection& connection, std::int64_t startAfter, int window)
    : store_(store), stream_(std::move(stream)), topic_(std::move(topic)), source_(std::move(source)),
      connection_(connection), window_(std::max(1, window))
{
    const std::optional<std::int64_t> cursor = store_.deliveredUpTo(stream_);
    delivered_ = saved_ = cursor.value_or(startAfter);
    if (!cursor)
        store_.setDeliveredUpTo(stream_, delivered_);
    sentUpTo_ = delivered_;
}

void MqttOutbox::restartFromCursor()
{
    pending_.clear();
    inFlight_ = 0;
    sentUpTo_ = delivered_;
}

void MqttOutbox::connected()
{
    connected_ = true;
    restartFromCursor();
}

void MqttOutbox::disconnected()
{
    connected_ = false;
    restartFromCursor();
}

void MqttOutbox::acknowledged(int messageId)
{
    const auto it = std::find_if(pending_.begin(), pending_.end(), [messageId](const Pending& p) {
        return p.messageId == messageId && !p.acknowledged;
    });
    if (it == pending_.end())
        return;
    it->acknowledged = true;
    --inFlight_;
    advance();
}

void MqttOutbox::advance()
{
    while (!pending_.empty() && pending_.front().acknowledged) {
        delivered_ = pending_.front().lastSeq;
        pending_.pop_front();
    }
}

int MqttOutbox::pump(int maxEntries)
{
    int sent = 0;
    while (connected_ && inFlight_ < window_ && sent < maxEntries) {
        const int room = int(std::min<std::int64_t>(window_ - inFlight_, maxEntries - sent));
        const QVector<OutboxEntry> entries = source_(sentUpTo_, room);
        for (const OutboxEntry& entry : entries) {
            if (entry.seq > sentUpTo_ + 1) { // removed by retention before it went out
                lost_ += entry.seq - sentUpTo_ - 1;
                pending_.push_back({sentUpTo_ + 1, entry.seq - 1, 0, true});
                sentUpTo_ = entry.seq - 1;
            }
            const std::optional<int> id = connection_.publish(topic_, entry.payload, false);
            if (!id) { // the connection cannot take it now: sent again from here later
                connected_ = false;
                break;
            }
            pending_.push_back({entry.seq, entry.seq, *id, false});
            sentUpTo_ = entry.seq;
            ++inFlight_;
            ++sent;
        }
        if (entries.size() < room)
            break;
    }
    advance();
    return sent;
}

void MqttOutbox::saveCursor()
{
    if (delivered_ != saved_ && store_.setDeliveredUpTo(stream_, delivered_))
        saved_ = delivered_;
}

} // namespace tavelin
