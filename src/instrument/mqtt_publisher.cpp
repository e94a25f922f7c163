#include "instrument/mqtt_publisher.h"

#include "instrument/instrument.h"
#include "mqtt/mqtt_alarms.h"
#include "mqtt/mqtt_outbox.h"
#include "mqtt/mqtt_payloads.h"
#include "mqtt/mqtt_records.h"
#include "platform/qt/mosquitto_client.h"
#include "platform/qt/mqtt_pump.h"
#include "platform/readings_store.h"
#include "platform/serial_port.h"

#include <QCoreApplication>
#include <QSysInfo>

#include <cstdio>

namespace tavelin {

namespace {
constexpr int kOfflineTimeoutMs = 1000;
} // namespace

std::unique_ptr<MqttPublisher> MqttPublisher::attach(Instrument& instrument, StatusLines lines, QObject* parent)
{
    if (instrument.settings().mqtt.url.isEmpty())
        return nullptr;
    if (!lines)
        lines = [](const QString& status, bool) { std::fprintf(stderr, "tavelin: %s\n", qPrintable(status)); };
    return std::unique_ptr<MqttPublisher>(new MqttPublisher(instrument, std::move(lines), parent));
}

QString MqttPublisher::deviceIdFor(Instrument& instrument)
{
    return effectiveDeviceId(instrument.settings().mqtt, QSysInfo::machineHostName(),
                             portInstance(instrument.port().deviceName()));
}

void MqttPublisher::follow(std::unique_ptr<MqttPublisher>& publisher, Instrument& instrument, StatusLines lines,
                           QObject* parent)
{
    // The default device id names the port: another port is another device.
    if (publisher && publisher->settings() == instrument.settings().mqtt
        && publisher->deviceId() == deviceIdFor(instrument)) {
        publisher->followAlarms();
        return;
    }
    publisher.reset();
    publisher = attach(instrument, std::move(lines), parent);
}

MqttPublisher::MqttPublisher(Instrument& instrument, StatusLines lines, QObject* parent)
    : QObject(parent), instrument_(instrument), statusLines_(std::move(lines)), settings_(instrument.settings().mqtt),
      deviceId_(deviceIdFor(instrument))
{
    MqttEndpoint endpoint;
    QString reason;
    const bool usable = parseMqttUrl(settings_.url, &endpoint, &reason);
    const QString shownUrl = urlWithoutPassword(settings_.url);
    facts_.endpoint = usable ? endpointText(endpoint) : shownUrl;
    facts_.tls = endpoint.tls;
    facts_.insecure = endpoint.tls && settings_.insecureSkipVerify;
    ReadingsStore* store = instrument_.store();
    if (!usable || !store || !store->isOpen()) {
        conditionChanged({MqttState::Unusable, usable ? QStringLiteral("readings are not published: there is no "
                                                                       "readings store to send them from")
                                                      : QStringLiteral("the url %1 is %2").arg(shownUrl, reason)});
        return;
    }

    const MqttTopics topics = mqttTopics(settings_, QSysInfo::machineHostName(),
                                         portInstance(instrument_.port().deviceName()));
    pump_ = new MqttPump([this](const MqttCondition& condition) { conditionChanged(condition); },
                         [this] {
                             if (readings_ && readings_->lostToRetention() != facts_.lostToRetention)
                                 updateStatus();
                         },
                         this);
    MosquittoClient::Options options{settings_, endpoint, topics.deviceId, topics.status};
    client_ = new MosquittoClient(options, *pump_, this);
    session_ = std::make_unique<MqttSession>(*client_, topics, QCoreApplication::applicationVersion());
    auto readingsSource = [store, &instrument, storeId = store->storeId()](std::int64_t seq, int maxEntries) {
        QVector<OutboxEntry> entries;
        const double pulsesPerLiter = instrument.pulsesPerLiter();
        for (const StoredReading& reading : store->readingsAfter(seq, maxEntries))
            entries.append({reading.seq, stateJson(reading, pulsesPerLiter, storeId)});
        return entries;
    };
    // A store that never published before starts with the readings and the
    // alarm events from now on. The alarms go first: a backlog of readings
    // does not hold them up.
    alarms_ = std::make_unique<MqttOutbox>(*store, QLatin1String(kAlarmStream), topics.alarm, alarmEventSource(*store),
                                           *client_, store->newestAlarmEventSeq().value_or(0));
    readings_ = std::make_unique<MqttOutbox>(*store, QLatin1String(kReadingsStream), topics.state, readingsSource,
                                             *client_, instrument_.storeRecorder().lastSeq().value_or(0));
    session_->addOutbox(alarms_.get());
    session_->addOutbox(readings_.get());
    new MqttRecords(*client_, [this] { return session_->isConnected(); },
                    mqttRecordsTopic(settings_.topicPrefix, topics.deviceId), store->storeId(),
                    [store] { return store->durableSeal(); }, MqttRecords::kIntervalMs, this);
    followAlarms();
    pump_->setSession(session_.get());
    instrument_.addListener(this);
    instrument_.alarms().addEventSink(this);
    client_->start();
}

MqttPublisher::~MqttPublisher()
{
    if (!client_)
        return;
    instrument_.removeListener(this);
    instrument_.alarms().removeEventSink(this);
    client_->finish(session_->topics().status, MqttSession::offlinePayload(), kOfflineTimeoutMs);
    pump_->setSession(nullptr); // saves the cursor
}

QString MqttPublisher::menuLine() const
{
    const std::int64_t newest = instrument_.storeRecorder().lastSeq().value_or(0);
    return mqttMenuLine(status_, readings_ ? newest - readings_->delivered() : 0);
}

// Once the sampling cycle that stored the reading is over.
void MqttPublisher::sampleAccepted(const MeasurementState&)
{
    pump_->request();
}

void MqttPublisher::storeCommitted()
{
    if (pump_)
        pump_->request();
}

void MqttPublisher::alarmEvent(const AlarmEvent&)
{
    pump_->request();
}

void MqttPublisher::followAlarms()
{
    if (!session_)
        return;
    QVector<AlarmId> on;
    for (AlarmId id : kAllAlarms) {
        if (instrument_.settings().alarms.isOn(id))
            on.append(id);
    }
    session_->setAlarms(on);
    pump_->request();
}

void MqttPublisher::conditionChanged(const MqttCondition& condition)
{
    // A new attempt keeps the line that says why the last one failed.
    if (condition.state == MqttState::Connecting && !status_.isEmpty()
        && facts_.condition.state != MqttState::Connected)
        return;
    facts_.condition = condition;
    updateStatus();
}

void MqttPublisher::updateStatus()
{
    if (readings_)
        facts_.lostToRetention = readings_->lostToRetention();
    const QString status = mqttStatusText(facts_);
    if (status == status_)
        return;
    status_ = status;
    const MqttState state = facts_.condition.state;
    statusLines_(status_, state != MqttState::Connected && state != MqttState::Connecting);
    Q_EMIT statusChanged(status_);
}

} // namespace tavelin
