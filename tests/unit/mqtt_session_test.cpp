// What goes over a broker connection besides the readings: the status, the
// discovery configs and the one subscription on each connect, discovery again
// when Home Assistant says online (and nothing for anything else) or the
// alarms on change, the state and alarm payloads themselves, and the status
// line.
#include "fakes/fake_mqtt_connection.h"
#include "fakes/fake_readings_store.h"
#include "mqtt/mqtt_alarms.h"
#include "mqtt/mqtt_outbox.h"
#include "mqtt/mqtt_payloads.h"
#include "mqtt/mqtt_records.h"
#include "mqtt/mqtt_session.h"
#include "mqtt/mqtt_status.h"
#include "platform/readings_store.h"
#include "settings/mqtt_settings.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>

#include <set>
#include <string>
#include <tuple>

using namespace tavelin;
using namespace tavelin::test;

namespace {

MqttTopics topicsFor(const char* discoveryPrefix)
{
    MqttSettings settings;
    settings.deviceId = QStringLiteral("line-2");
    settings.topicPrefix = QStringLiteral("plant/flow");
    settings.discoveryPrefix = QString::fromLatin1(discoveryPrefix);
    return mqttTopics(settings, QStringLiteral("ignored"), QStringLiteral("ignored"));
}

const QString kStoreId = QStringLiteral("4f0c6f4e-1b5a-4c55-9d0e-2a7c1e9b3d21");

std::vector<std::string> topicsOf(const FakeMqttConnection& c)
{
    std::vector<std::string> out;
    for (const PublishedMessage& m : c.published)
        out.push_back(m.topic.toStdString() + (m.retain ? " (retained)" : ""));
    return out;
}

const std::vector<std::string> kOnConnect = {
    "plant/flow/line-2/status (retained)",
    "ha/sensor/line-2/frequency_hz/config (retained)",
    "ha/sensor/line-2/flow_l_min/config (retained)",
    "ha/sensor/line-2/total_l/config (retained)",
    "ha/sensor/line-2/meter_l/config (retained)",
    "ha/binary_sensor/line-2/high_flow/config (retained)",
    "ha/binary_sensor/line-2/low_flow/config (retained)",
    "ha/binary_sensor/line-2/no_reading/config (retained)",
    "ha/binary_sensor/line-2/leak/config (retained)",
    "ha/binary_sensor/line-2/batch/config (retained)",
};

// Each alarm's binary sensor as last published: "high_flow+" for a config,
// "low_flow-" for its removal (an empty payload).
std::string alarmSensorsOf(const FakeMqttConnection& c)
{
    QMap<QString, QString> last;
    for (const PublishedMessage& m : c.published)
        if (m.topic.contains(QLatin1String("/binary_sensor/")) && m.retain)
            last[m.topic.section(QLatin1Char('/'), 3, 3)] = QLatin1String(m.payload.isEmpty() ? "-" : "+");
    QStringList out;
    for (AlarmId id : kAllAlarms)
        out << alarmKey(id) + last.value(alarmKey(id), QStringLiteral("?"));
    return out.join(QLatin1Char(' ')).toStdString();
}

TEST(MqttSession, EachConnectSaysOnlineDescribesTheSensorsAndSubscribesOnce)
{
    FakeMqttConnection connection;
    MqttSession session(connection, topicsFor("ha"), QStringLiteral("1.2.3"));
    session.connected();
    EXPECT_EQ(topicsOf(connection), kOnConnect);
    EXPECT_EQ(connection.published[0].payload, "online");
    EXPECT_EQ(connection.subscriptions, QStringList{QStringLiteral("ha/status")});

    EXPECT_EQ(alarmSensorsOf(connection), "high_flow- low_flow- no_reading- leak- batch-")
        << "with no rule on, configs left by an earlier run are removed";

    session.disconnected();
    session.connected();
    EXPECT_EQ(connection.published.size(), 20);
    EXPECT_EQ(connection.subscriptions.size(), 2);
}

TEST(MqttSession, ABinarySensorForEachAlarmOnTheOthersRemovedAndBothAgainWhenTheyChange)
{
    FakeMqttConnection connection;
    MqttSession session(connection, topicsFor("ha"), QStringLiteral("1.2.3"));
    session.setAlarms({AlarmId::HighFlow, AlarmId::Leak});
    session.connected();
    EXPECT_EQ(alarmSensorsOf(connection), "high_flow+ low_flow- no_reading- leak+ batch-");

    connection.published.clear();
    session.setAlarms({AlarmId::HighFlow, AlarmId::Leak});
    session.pump(64);
    EXPECT_TRUE(connection.published.isEmpty()) << "the same alarms send nothing";
    session.setAlarms({AlarmId::Batch});
    EXPECT_TRUE(connection.published.isEmpty()) << "not before the pump";
    session.pump(64);
    session.pump(64);
    EXPECT_EQ(alarmSensorsOf(connection), "high_flow- low_flow- no_reading- leak- batch+");
    EXPECT_EQ(connection.published.size(), 9) << "once";

    session.disconnected();
    connection.published.clear();
    session.setAlarms({AlarmId::NoReading});
    session.pump(64);
    EXPECT_TRUE(connection.published.isEmpty()) << "disconnected";
    session.connected();
    EXPECT_EQ(alarmSensorsOf(connection), "high_flow- low_flow- no_reading+ leak- batch-");
}

TEST(MqttSession, NoDiscoveryPrefixNoConfigsAndNoSubscription)
{
    FakeMqttConnection connection;
    MqttSession session(connection, topicsFor(""), QStringLiteral("1.2.3"));
    session.connected();
    session.messageArrived(QStringLiteral("/status"), "online");
    session.pump(64);
    EXPECT_EQ(topicsOf(connection), std::vector<std::string>{"plant/flow/line-2/status (retained)"});
    EXPECT_TRUE(connection.subscriptions.isEmpty());
}

struct StatusMessageCase {
    const char* name;
    const char* topic;
    QByteArray payload;
    int times;
    bool republished;
};

class DiscoveryStatus : public ::testing::TestWithParam<StatusMessageCase> {};

TEST_P(DiscoveryStatus, OnlyOnlineOnTheStatusTopicPublishesDiscoveryAgainOnce)
{
    const StatusMessageCase& c = GetParam();
    FakeMqttConnection connection;
    MqttSession session(connection, topicsFor("ha"), QStringLiteral("1.2.3"));
    session.connected();
    connection.published.clear();
    for (int i = 0; i < c.times; ++i)
        session.messageArrived(QString::fromLatin1(c.topic), c.payload);
    session.pump(64);
    session.pump(64);
    EXPECT_EQ(connection.published.size(), c.republished ? 9 : 0) << "four sensors, five alarms";
}

INSTANTIATE_TEST_SUITE_P(
    Messages, DiscoveryStatus,
    ::testing::Values(StatusMessageCase{"Online", "ha/status", "online", 1, true},
                      StatusMessageCase{"ManyOnlineInOnePass", "ha/status", "online", 50, true},
                      StatusMessageCase{"Offline", "ha/status", "offline", 1, false},
                      StatusMessageCase{"OnlineWithJunk", "ha/status", QByteArray("online\0x", 8), 1, false},
                      StatusMessageCase{"Oversized", "ha/status", QByteArray(100000, 'o'), 1, false},
                      StatusMessageCase{"NotUtf8", "ha/status", "\xff\xfe", 1, false},
                      StatusMessageCase{"OtherTopic", "ha/status/x", "online", 1, false},
                      StatusMessageCase{"EmptyTopic", "", "online", 1, false}),
    [](const ::testing::TestParamInfo<StatusMessageCase>& info) { return std::string(info.param.name); });

TEST(MqttSession, DiscoveryAskedWhileDisconnectedIsNotSent)
{
    FakeMqttConnection connection;
    MqttSession session(connection, topicsFor("ha"), QStringLiteral("1.2.3"));
    session.messageArrived(QStringLiteral("ha/status"), "online");
    session.pump(64);
    EXPECT_TRUE(connection.published.isEmpty());
}

TEST(MqttSession, ReadingsFollowTheStatusAndAcknowledgementsReachTheOutbox)
{
    FakeMqttConnection connection;
    FakeReadingsStore store;
    for (int i = 0; i < 3; ++i)
        store.append(StoredReading{0, 1000, 250, 2.17, 0, 0, 0});
    MqttSession session(connection, topicsFor(""), QStringLiteral("1.2.3"));
    const QString state = session.topics().state;
    MqttOutbox outbox(
        store, QStringLiteral("mqtt_state"), state,
        [&store](std::int64_t seq, int max) {
            QVector<OutboxEntry> entries;
            for (const StoredReading& r : store.readingsAfter(seq, max))
                entries.append({r.seq, stateJson(r, 6900, kStoreId)});
            return entries;
        },
        connection, 0);
    session.addOutbox(&outbox);
    session.connected();
    session.pump(64);
    EXPECT_EQ(connection.seqs(state), (std::vector<std::int64_t>{1, 2, 3}));
    EXPECT_EQ(connection.published.first().topic, session.topics().status);
    for (std::int64_t seq : {1, 2})
        session.acknowledged(connection.idOf(state, seq));
    session.pump(64);
    EXPECT_EQ(store.deliveredUpTo(QStringLiteral("mqtt_state")), 0); // written only when asked
    session.saveCursors();
    EXPECT_EQ(store.deliveredUpTo(QStringLiteral("mqtt_state")), 2);
}

// --- payloads ------------------------------------------------------------------

TEST(MqttRecords, TheNewestDurableSealGoesOutRetainedOnlyWhileConnected)
{
    FakeMqttConnection connection;
    bool connected = false;
    DurableSeal seal;
    MqttRecords records(connection, [&] { return connected; }, mqttRecordsTopic("plant/flow", "line-2"),
                        QStringLiteral("0b0e9f4c"), [&] { return seal; });
    const struct {
        const char* name;
        bool connected;
        DurableSeal seal;
        int published; // messages so far
    } rows[] = {
        {"connected, nothing sealed yet", true, {}, 0},
        {"a seal, but no connection", false, {41, QByteArray::fromHex("5e1c")}, 0},
        {"a seal and a connection", true, {41, QByteArray::fromHex("5e1c")}, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        connected = row.connected;
        seal = row.seal;
        records.publish();
        EXPECT_EQ(connection.published.size(), row.published);
    }
    const PublishedMessage& message = connection.published.last();
    EXPECT_EQ(message.topic, QStringLiteral("plant/flow/line-2/records"));
    EXPECT_EQ(message.payload, QByteArray(R"({"seal":"5e1c","seq":41,"store_id":"0b0e9f4c"})"));
    EXPECT_TRUE(message.retain);
}

TEST(MqttPayloads, StateIsTheStoredReadingWithItsStoreItsOwnTimeAndTheMeterInLiters)
{
    StoredReading reading{1234, 1796782565123, 250, 2.17, 93150, 13.5, 851847000};
    EXPECT_EQ(stateJson(reading, 6900, kStoreId).toStdString(),
              "{\"flow_l_min\":2.17,\"frequency_hz\":250,\"meter_l\":1234.56,\"seq\":1234,"
              "\"store_id\":\"4f0c6f4e-1b5a-4c55-9d0e-2a7c1e9b3d21\",\"total_l\":13.5,"
              "\"ts\":\"2026-12-09T02:16:05.123Z\"}");
    reading.seq = 9007199254740000; // far beyond a day's readings, still exact
    EXPECT_EQ(QJsonDocument::fromJson(stateJson(reading, 6900, kStoreId)).object().value("seq").toDouble(),
              9007199254740000.0);
}

// Readings taken at 6900, then at 7000 (the store keeps each one's K and its
// meter summed at each K), published after K became 7000: the meter never
// falls. A reading stored before K was kept falls back to the K in force.
TEST(MqttPayloads, TheMeterIsEachReadingsOwnAndNeverFallsWhenKChanges)
{
    struct Row {
        double readingK;   // 0: stored before the K-factor was kept
        double meterLiters;
        std::int64_t meterCentipulses;
        double meterL;     // published at the K now in force, 7000
    };
    const Row rows[] = {{0, 0, 6900 * 100 * 10, 9.86}, // 10 L at 6900, read at 7000
                        {6900, 10.0, 6900 * 100 * 10, 10.0},
                        {6900, 10.036, 6925 * 100 * 10, 10.04},
                        {7000, 10.07, 6950 * 100 * 10, 10.07},
                        {7000, 10.107, 6975 * 100 * 10, 10.11}};
    double last = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.meterLiters);
        StoredReading reading{1, 0, 250, 2.14, 0, 0, row.meterCentipulses, row.readingK, row.meterLiters};
        const double meter =
            QJsonDocument::fromJson(stateJson(reading, 7000, kStoreId)).object().value("meter_l").toDouble();
        EXPECT_DOUBLE_EQ(meter, row.meterL);
        if (row.readingK > 0) {
            EXPECT_GE(meter, last);
        }
        last = meter;
    }
}

TEST(MqttPayloads, DiscoveryKeepsToHomeAssistantsPairsAndPointsAtTheStateAndStatus)
{
    const std::set<std::tuple<std::string, std::string, std::string>> documented = {
        {"frequency", "measurement", "Hz"},
        {"volume_flow_rate", "measurement", "L/min"},
        {"water", "total", "L"},
        {"water", "total_increasing", "L"},
    };
    const MqttTopics topics = topicsFor("ha");
    const QByteArray state = stateJson(StoredReading{7, 0, 250, 2.17, 0, 13.5, 100}, 6900, kStoreId);
    // A resettable total falls only at a reset, which Home Assistant takes
    // for a new cycle; the meter never falls.
    const QMap<QString, QString> stateClasses = {{"frequency_hz", "measurement"}, {"flow_l_min", "measurement"},
                                                 {"total_l", "total_increasing"}, {"meter_l", "total_increasing"}};
    const QJsonObject stateKeys = QJsonDocument::fromJson(state).object();
    std::set<std::string> uniqueIds;
    for (const MqttMessage& message : discoveryMessages(topics, QStringLiteral("1.2.3"))) {
        SCOPED_TRACE(message.topic.toStdString());
        const QJsonObject config = QJsonDocument::fromJson(message.payload).object();
        EXPECT_TRUE(documented.count({config.value("device_class").toString().toStdString(),
                                      config.value("state_class").toString().toStdString(),
                                      config.value("unit_of_measurement").toString().toStdString()}));
        EXPECT_EQ(config.value("state_topic").toString(), topics.state);
        EXPECT_EQ(config.value("availability_topic").toString(), topics.status);
        const QString key = config.value("value_template").toString().section('.', 1).section(' ', 0, 0);
        EXPECT_TRUE(stateKeys.contains(key)) << key.toStdString();
        EXPECT_EQ(config.value("state_class").toString(), stateClasses.value(key));
        uniqueIds.insert(config.value("unique_id").toString().toStdString());
        const QJsonObject device = config.value("device").toObject();
        EXPECT_EQ(device.value("identifiers").toArray(), QJsonArray{QStringLiteral("line-2")});
        EXPECT_EQ(device.value("sw_version").toString(), QStringLiteral("1.2.3"));
    }
    EXPECT_EQ(uniqueIds.size(), 4u);
}

TEST(MqttPayloads, AnAlarmEventIsItsStoreRowWithItsStoreItsOwnSeqAndTime)
{
    const StoredAlarmEvent event{17, 1796782565123, QStringLiteral("high_flow"), QStringLiteral("raised"), 2.5, 2};
    EXPECT_EQ(alarmJson(event, kStoreId).toStdString(),
              "{\"alarm\":\"high_flow\",\"event\":\"raised\",\"seq\":17,"
              "\"store_id\":\"4f0c6f4e-1b5a-4c55-9d0e-2a7c1e9b3d21\",\"threshold\":2,"
              "\"ts\":\"2026-12-09T02:16:05.123Z\",\"value\":2.5}");
}

TEST(MqttPayloads, EachAlarmsBinarySensorFollowsItsOwnRaiseAndClearOnTheAlarmTopic)
{
    const MqttTopics topics = topicsFor("ha");
    const QJsonObject payload = QJsonDocument::fromJson(alarmJson(StoredAlarmEvent{}, kStoreId)).object();
    const QVector<MqttMessage> configs =
        alarmDiscoveryMessages(topics, QStringLiteral("1.2.3"), {kAllAlarms, kAllAlarms + kAlarmCount});
    ASSERT_EQ(configs.size(), kAlarmCount);
    for (int i = 0; i < kAlarmCount; ++i) {
        const QString key = alarmKey(kAllAlarms[i]);
        SCOPED_TRACE(key.toStdString());
        const QJsonObject config = QJsonDocument::fromJson(configs[i].payload).object();
        EXPECT_EQ(configs[i].topic, QStringLiteral("ha/binary_sensor/line-2/%1/config").arg(key));
        EXPECT_EQ(config.value("device_class").toString(), QStringLiteral("problem"));
        EXPECT_EQ(config.value("state_topic").toString(), topics.alarm);
        EXPECT_EQ(config.value("availability_topic").toString(), topics.status);
        // The template reads the payload's fields and compares them with this
        // alarm's key and the events' own words, giving payload_on and _off.
        const QString tmpl = config.value("value_template").toString();
        QStringList words;
        const QRegularExpression comparison(QStringLiteral("value_json\\.(\\w+) [!=]= '(\\w+)'"));
        QRegularExpressionMatchIterator it = comparison.globalMatch(tmpl);
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            EXPECT_TRUE(payload.contains(m.captured(1))) << m.captured(1).toStdString();
            words << m.captured(2);
        }
        EXPECT_EQ(words, (QStringList{key, alarmEventName(AlarmEventKind::Raised),
                                      alarmEventName(AlarmEventKind::Cleared)}));
        for (const char* state : {"payload_on", "payload_off"})
            EXPECT_TRUE(tmpl.contains(QStringLiteral("%}%1{%").arg(config.value(state).toString()))) << state;
    }
}

// --- the status line -------------------------------------------------------------

struct StatusCase {
    const char* name;
    MqttState state;
    const char* detail;
    bool tls;
    bool insecure;
    std::int64_t lost;
    const char* text;
};

class StatusLine : public ::testing::TestWithParam<StatusCase> {};

TEST_P(StatusLine, NamesTheBrokerAndTheReason)
{
    const StatusCase& c = GetParam();
    MqttStatusFacts facts{{c.state, QString::fromUtf8(c.detail)}, QStringLiteral("b:8883"), c.tls, c.insecure, c.lost};
    EXPECT_EQ(mqttStatusText(facts).toStdString(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    States, StatusLine,
    ::testing::Values(
        StatusCase{"ConnectedTls", MqttState::Connected, "", true, false, 0, "MQTT: connected to b:8883 over TLS"},
        StatusCase{"Insecure", MqttState::Connected, "", true, true, 0,
                   "MQTT: connected to b:8883 over TLS WITHOUT checking the broker's certificate or host name "
                   "(insecure_skip_verify): encrypted, but whoever answers at that address is taken for the "
                   "broker"},
        StatusCase{"Login", MqttState::LoginRefused, "not authorised", true, false, 0,
                   "MQTT: b:8883 refused the login (not authorised): check username and the password "
                   "(password_file or the mqtt-password credential); readings wait in the store"},
        StatusCase{"LostWithRetention", MqttState::Lost, "the broker stopped answering", false, false, 1234,
                   "MQTT: connection to b:8883 lost (the broker stopped answering); readings wait in the store; "
                   "1,234 readings left the store (retention) before they could be delivered"}),
    [](const ::testing::TestParamInfo<StatusCase>& info) { return std::string(info.param.name); });

} // namespace
