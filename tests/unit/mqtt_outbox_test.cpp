// The store as the outbox: scripts of store, connection and acknowledgement
// events, and what was published, how far delivery got, what the store keeps
// as the cursor and what retention took before it went out; the alarm events
// as a stream of their own, whose cursor leaves the readings' alone.
#include "fakes/fake_mqtt_connection.h"
#include "fakes/fake_readings_store.h"
#include "mqtt/mqtt_alarms.h"
#include "mqtt/mqtt_outbox.h"
#include "mqtt/mqtt_payloads.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <memory>
#include <string>

using namespace tavelin;
using namespace tavelin::test;

namespace {

const QString kTopic = QStringLiteral("tavelin/d/state");
const QString kReadings = QStringLiteral("mqtt_state");
const QString kAlarms = QStringLiteral("mqtt_alarm");
constexpr int kWindow = 8;

struct OutboxCase {
    const char* name;
    std::int64_t startAfter; // where a stream never delivered begins
    const char* script;      // "store 20; connect; pump; ack 1-3; ..." ("readings 5" even for alarms)
    const char* published;   // every state message's seq in order, as ranges: "1-8,4-11"
    std::int64_t delivered;
    std::int64_t savedCursor;
    std::int64_t lost;
    bool alarms = false; // the stream of alarm events: "store" adds events
};

std::string ranges(const std::vector<std::int64_t>& seqs)
{
    std::string out;
    for (std::size_t i = 0; i < seqs.size();) {
        std::size_t j = i;
        while (j + 1 < seqs.size() && seqs[j + 1] == seqs[j] + 1)
            ++j;
        out += (out.empty() ? "" : ",") + std::to_string(seqs[i]);
        if (j > i)
            out += "-" + std::to_string(seqs[j]);
        i = j + 1;
    }
    return out;
}

struct OutboxRig {
    FakeReadingsStore store;
    FakeMqttConnection connection;
    std::unique_ptr<MqttOutbox> outbox;
    std::int64_t startAfter = 0;
    bool alarms = false;

    void make()
    {
        MqttOutbox::Source readings = [this](std::int64_t seq, int max) {
            QVector<OutboxEntry> entries;
            for (const StoredReading& r : store.readingsAfter(seq, max))
                entries.append({r.seq, stateJson(r, 6900.0, store.storeId())});
            return entries;
        };
        outbox = std::make_unique<MqttOutbox>(store, alarms ? kAlarms : kReadings, kTopic,
                                              alarms ? alarmEventSource(store) : readings, connection, startAfter,
                                              kWindow);
    }
    void step(const QString& step)
    {
        const QStringList words = step.trimmed().split(QLatin1Char(' '));
        const QString verb = words.value(0);
        const QStringList span = words.value(1).split(QLatin1Char('-'));
        const int from = span.value(0).toInt(), to = span.value(span.size() - 1).toInt();
        if (verb == QLatin1String("store") && alarms) {
            for (int i = 0; i < from; ++i)
                store.appendAlarmEvent({0, 1000, QStringLiteral("leak"), QStringLiteral("raised"), 0.6, 0.5});
        } else if (verb == QLatin1String("store") || verb == QLatin1String("readings")) {
            for (int i = 0; i < from; ++i)
                store.append(StoredReading{0, (store.rows.size() + 1) * 1000LL, 250, 2.17, 0, 0, 0});
        } else if (verb == QLatin1String("prune")) { // readings before seq from leave
            store.removeOlderThan(from * 1000LL, 1000000);
        } else if (verb == QLatin1String("ack")) {
            for (int seq = from; seq <= to; ++seq)
                outbox->acknowledged(connection.idOf(kTopic, seq));
        } else if (verb == QLatin1String("ackid")) {
            outbox->acknowledged(from);
        } else if (verb == QLatin1String("connect")) {
            outbox->connected();
        } else if (verb == QLatin1String("disconnect")) {
            outbox->disconnected();
        } else if (verb == QLatin1String("pump")) {
            outbox->pump();
        } else if (verb == QLatin1String("save")) {
            outbox->saveCursor();
        } else if (verb == QLatin1String("refuse")) {
            connection.refusing = true;
        } else if (verb == QLatin1String("accept")) {
            connection.refusing = false;
        } else if (verb == QLatin1String("restart")) { // the program ends and starts again
            outbox.reset();
            make();
        } else {
            FAIL() << "unknown step " << step.toStdString();
        }
    }
};

class Outbox : public ::testing::TestWithParam<OutboxCase> {};

TEST_P(Outbox, DeliversEveryStoredReadingAtLeastOnceInOrder)
{
    const OutboxCase& c = GetParam();
    OutboxRig rig;
    rig.startAfter = c.startAfter;
    rig.alarms = c.alarms;
    if (c.startAfter > 0)
        rig.step(QStringLiteral("store %1").arg(c.startAfter)); // there before the first delivery
    rig.make();
    for (const QString& step : QString::fromUtf8(c.script).split(QLatin1Char(';'), Qt::SkipEmptyParts))
        rig.step(step);

    EXPECT_EQ(ranges(rig.connection.seqs(kTopic)), c.published);
    EXPECT_EQ(rig.outbox->delivered(), c.delivered);
    EXPECT_EQ(rig.store.deliveredUpTo(c.alarms ? kAlarms : kReadings), c.savedCursor);
    EXPECT_EQ(rig.store.deliveredUpTo(c.alarms ? kReadings : kAlarms), std::nullopt) << "the other stream's cursor";
    EXPECT_EQ(rig.outbox->lostToRetention(), c.lost);
    for (const PublishedMessage& m : rig.connection.published)
        EXPECT_FALSE(m.retain) << m.id;
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, Outbox,
    ::testing::Values(
        // The window: at most 8 unacknowledged; each acknowledgement makes room.
        OutboxCase{"WindowThenRoomPerAck", 0, "store 20; connect; pump; pump; ack 1-3; pump", "1-11", 3, 0, 0},
        OutboxCase{"NothingBeforeConnect", 0, "store 5; pump", "", 0, 0, 0},
        OutboxCase{"CursorSavedOnlyWhenAsked", 0, "store 5; connect; pump; ack 1-5; save", "1-5", 5, 5, 0},
        OutboxCase{"NewReadingFollowsBacklog", 0, "store 3; connect; pump; ack 1-3; store 1; pump", "1-4", 3, 0, 0},
        // The cursor passes only what is acknowledged with all before it.
        OutboxCase{"AckOutOfOrderWaits", 0, "store 5; connect; pump; ack 3-4; save", "1-5", 0, 0, 0},
        OutboxCase{"AckOutOfOrderThenTheMissingOnes", 0, "store 5; connect; pump; ack 3-4; ack 1; ack 2; save", "1-5", 4, 4, 0},
        OutboxCase{"UnknownAndRepeatedAcksIgnored", 0,
                   "store 3; connect; pump; ackid 999; ack 1; ack 1; ackid 0; save", "1-3", 1, 1, 0},
        // What was not acknowledged goes again, from the cursor, in order.
        OutboxCase{"ReconnectResends", 0, "store 6; connect; pump; ack 1-2; disconnect; connect; pump",
                   "1-6,3-6", 2, 0, 0},
        OutboxCase{"AcksAfterDisconnectIgnored", 0, "store 4; connect; pump; disconnect; ack 1-4; connect; pump",
                   "1-4,1-4", 0, 0, 0},
        OutboxCase{"RefusedMidWayStopsUntilReconnect", 0,
                   "store 6; connect; pump; ack 1-6; store 4; refuse; pump; accept; pump; connect; pump",
                   "1-10", 6, 0, 0},
        OutboxCase{"RestartResumesFromSavedCursor", 0,
                   "store 6; connect; pump; ack 1-4; save; restart; connect; pump", "1-6,5-6", 4, 4, 0},
        OutboxCase{"RestartLosesUnsavedProgressOnly", 0,
                   "store 6; connect; pump; ack 1-2; save; ack 3-4; restart; connect; pump", "1-6,3-6", 2, 2, 0},
        // A stream never delivered starts with the readings stored after it began.
        OutboxCase{"FirstStartSkipsOlderReadings", 5, "store 3; connect; pump", "6-8", 5, 5, 0},
        // Retention: what left the store before it went out is counted and passed.
        OutboxCase{"PrunedBeforeSending", 0, "store 10; prune 5; connect; pump; ack 5-10; save", "5-10", 10, 10, 4},
        OutboxCase{"PrunedWhileUnacknowledged", 0,
                   "store 10; connect; pump; ack 1-2; disconnect; prune 7; connect; pump; ack 7-10; save",
                   "1-8,7-10", 10, 10, 4},
        OutboxCase{"PrunedCountedOnce", 0, "store 10; prune 5; connect; refuse; pump; accept; connect; pump; "
                   "connect; pump",
                   "5-10,5-10", 4, 0, 4},
        // The alarm events, from the store's alarm_events, beside readings that are not theirs.
        OutboxCase{"AlarmEventsResentAfterRestartUntilAcknowledged", 0,
                   "readings 6; store 4; connect; pump; ack 1-2; save; restart; connect; pump; ack 3-4; save",
                   "1-4,3-4", 4, 4, 0, true},
        OutboxCase{"AlarmEventsFirstStartSkipsOlderEvents", 2, "store 2; connect; pump; ack 3; save", "3-4", 3, 3, 0,
                   true}),
    [](const ::testing::TestParamInfo<OutboxCase>& info) { return std::string(info.param.name); });

} // namespace
