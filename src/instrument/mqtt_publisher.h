#pragma once
// Publishes an instrument's readings and alarm events to an MQTT broker,
// attached with one call: every reading the store keeps goes out on the
// state topic, and every alarm event on the alarm topic, at least once and
// in order, through broker outages and restarts of the program (up to the
// store's retention); the status topic says online and offline; Home
// Assistant discovery describes the sensors and the alarms whose rules are
// on. Nothing waits on the network: each login runs on a worker thread and
// the connection then on the event loop, and what a reading or an alarm
// event starts runs after the cycle or the click that made it is over. Qt
// Core and libmosquitto only, for the window and the service alike.

#include "alarms/alarm_rules.h"
#include "mqtt/mqtt_session.h"
#include "mqtt/mqtt_status.h"
#include "sensor/sample_listener.h"
#include "settings/mqtt_settings.h"

#include <QObject>

#include <functional>
#include <memory>

namespace tavelin {

class Instrument;
class MosquittoClient;
class MqttOutbox;
class MqttPump;

class MqttPublisher : public QObject, public SampleListener, private AlarmEventSink {
    Q_OBJECT
public:
    // The streams of the store whose cursors say what the broker has.
    static constexpr const char* kReadingsStream = "mqtt_state";
    static constexpr const char* kAlarmStream = "mqtt_alarm";

    // Where each new status line goes; trouble is set while no connection is
    // up. None: standard error.
    using StatusLines = std::function<void(const QString& status, bool trouble)>;

    // Attaches a publisher on the instrument's [mqtt] settings; none while
    // their url is empty.
    static std::unique_ptr<MqttPublisher> attach(Instrument& instrument, StatusLines lines, QObject* parent = nullptr);
    // Keeps publisher in step with the instrument's settings and port: made,
    // remade (when they or the device id change) or ended (offline
    // published) as they say; discovery follows the alarms.
    static void follow(std::unique_ptr<MqttPublisher>& publisher, Instrument& instrument, StatusLines lines,
                       QObject* parent);

    // A clean end: "offline" published, the cursor saved, disconnected.
    ~MqttPublisher() override;

    const MqttSettings& settings() const { return settings_; }
    // The client id and the topics' device level: device_id, else
    // tavelin-<host>-<port name>.
    const QString& deviceId() const { return deviceId_; }
    // The status line, also written to standard error whenever it changes.
    QString status() const { return status_; }
    bool connected() const { return facts_.condition.state == MqttState::Connected; }
    // The status with the readings not yet delivered.
    QString menuLine() const;

    void sampleAccepted(const MeasurementState& state) override;
    // The store made more rows durable: they can go out.
    void storeCommitted();

Q_SIGNALS:
    void statusChanged(const QString& status);

private:
    MqttPublisher(Instrument& instrument, StatusLines lines, QObject* parent);
    static QString deviceIdFor(Instrument& instrument);
    void conditionChanged(const MqttCondition& condition);
    void updateStatus();
    void followAlarms();
    // An event the journal has stored goes out once the event loop's current
    // event (a sampling cycle, a click) is over.
    void alarmEvent(const AlarmEvent& event) override;

    Instrument& instrument_;
    StatusLines statusLines_;
    MqttSettings settings_;
    QString deviceId_;
    MqttStatusFacts facts_;
    QString status_;
    MqttPump* pump_ = nullptr;
    MosquittoClient* client_ = nullptr;
    std::unique_ptr<MqttSession> session_;
    std::unique_ptr<MqttOutbox> readings_;
    std::unique_ptr<MqttOutbox> alarms_;
};

} // namespace tavelin
