#include "station/station.h"

#include "instrument/modbus_output.h"
#include "instrument/mqtt_publisher.h"
#include "platform/qt/sqlite_interval_reader.h"
#include "platform/message_box.h"
#include "platform/millisecond_counter.h"
#include "platform/qt/settings_file.h"
#include "platform/serial_port.h"
#include "platform/wall_clock.h"
#include "station/station_lock.h"
#include "station/station_store.h"

#include <QDateTime>
#include <QLocale>

namespace tavelin {

Station::Station(Parts parts, const Settings& settings, QObject* parent)
    : QObject(parent), parts_(std::move(parts)), settings_(settings), events_(parts_.instrument.clock)
{
    parts_.instrument.events = &events_;
}

Station::~Station()
{
    shutDown();
}

Instrument& Station::attach(FrontEnd frontEnd)
{
    instrument_ = std::make_unique<Instrument>(parts_.instrument, frontEnd.display, std::move(frontEnd.totalText),
                                               settings_, std::move(frontEnd.handlers), frontEnd.timerOwner);
    modbus_ = std::make_unique<ModbusOutput>(
        *instrument_, [this] { return mqtt_ && mqtt_->connected(); }, parts_.statusLines);
    modbus_->follow();
    instrument_->addTickListener([this] { lookAtClock(); });
    return *instrument_;
}

void Station::openStore(const QString& path)
{
    ownStore_ = std::make_unique<StationStore>(parts_.instrument.messages, parts_.statusLines);
    StationStore* store = ownStore_.get();
    connect(store, &StationStore::opened, this, &Station::storeOpened);
    connect(store, &StationStore::committed, this, [this](std::int64_t readingSeq, std::int64_t) {
        if (mqtt_)
            mqtt_->storeCommitted();
        if (readingSeq > 0)
            Q_EMIT readingsDurable(readingSeq);
    });
    connect(store, &StationStore::eventsCommitted, this, &Station::eventsDurable);
    // The meter known at last: a total kept across restarts follows it.
    connect(store, &StationStore::newestFound, this, [this] {
        if (!totalRestored_ && instrument_->store())
            totalRestored_ = instrument_->restoreTotal();
    });
    // Readings taken while the file opens wait in the recorder, in order,
    // until the store can say where the meter stands.
    instrument_->attachStore(store);
    store->setIntervalYears(settings().store.intervalYears);
    store->open(path, settings().sensor.pulsesPerLiter);
}

IntervalSource* Station::intervals() const
{
    return intervals_.get();
}

void Station::storeOpened(bool ok, const QString& notice)
{
    if (!notice.isEmpty())
        parts_.instrument.messages.notify(notice);
    if (!ok) {
        instrument_->attachStore(nullptr); // the readings of this run are not kept
        events_.attach(nullptr);
        ownStore_.reset();
        return;
    }
    QString unread; // the History window then says it has nothing to show
    intervals_ = SqliteIntervalReader::open(ownStore_->filePath(), &unread);
    recordStart();
    useStore(ownStore_.get());
}

// What the store's opening found, the start, and the settings changed in
// the file since the store last recorded them; then the settings as they
// are now, for the next start to compare with.
void Station::recordStart()
{
    const StoreWriter::Opened& opened = ownStore_->openedInfo();
    StationEvents::Start start;
    start.program = parts_.program;
    start.port = parts_.instrument.port.deviceName();
    start.settingsFile = settingsFile() ? settingsFile()->path() : QString();
    start.storePath = ownStore_->filePath();
    start.setAsideAs = opened.setAsideAs;
    start.keyReplaced = opened.keyReplaced;
    start.uncleanStop = opened.uncleanStop;
    start.lastReadingMs = opened.newest ? opened.newest->utcMs : 0;
    start.recordedSettings = opened.recordedSettings;
    start.settings = settings_;
    start.buildingIntervals = opened.buildingIntervals;
    events_.started(start);
    ownStore_->recordSettings(recordedSettingsText(recordedSettingValues(settings_)));
}

void Station::useStore(ReadingsStore* store)
{
    instrument_->attachStore(store);
    mqtt_.reset(); // the store is MQTT's outbox: publishing starts from it
    followMqtt();
    totalRestored_ = instrument_->restoreTotal();
    events_.attach(store);
    Q_EMIT storeReady();
}

void Station::applySettings(const Settings& settings, const QString& source)
{
    events_.settingsChanged(settings_, settings, source);
    if (ownStore_ && recordedSettingValues(settings_) != recordedSettingValues(settings))
        ownStore_->recordSettings(recordedSettingsText(recordedSettingValues(settings)));
    settings_ = settings;
    instrument_->applySettings(settings);
    modbus_->follow();
    if (ownStore_)
        ownStore_->setIntervalYears(settings.store.intervalYears);
    followMqtt();
    Q_EMIT settingsApplied();
}

QString Station::saveSettings(const Settings& settings, const QString& source)
{
    const QString failure = instrument_->saveSettings(settings);
    if (failure.isEmpty())
        applySettings(instrument_->settings(), source);
    return failure;
}

QString Station::switchPort(const QString& device)
{
    const QString before = parts_.instrument.port.deviceName();
    const QString failure = instrument_->switchPort(device);
    if (device != before)
        events_.record({QLatin1String(event_kind::portChanged), QStringLiteral("serial_port"), before, device,
                        QLatin1String(event_source::contextMenu)});
    followMqtt();
    return failure;
}

void Station::lookAtClock()
{
    const std::optional<ClockStep> step =
        clockWatch_.look(clock().currentMSecsSinceEpoch(), counter().ticks());
    if (!step)
        return;
    const auto iso = [](std::int64_t ms) {
        return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs);
    };
    events_.record({QLatin1String(event_kind::clockChanged), QStringLiteral("wall_clock"), iso(step->expectedMs),
                    QStringLiteral("%1 (%2%3 s)")
                        .arg(iso(step->foundMs), step->stepMs() > 0 ? QStringLiteral("+") : QString(),
                             QLocale::c().toString(step->stepMs() / 1000.0, 'f', 3)),
                    QLatin1String(event_source::system)});
}

void Station::followMqtt()
{
    MqttPublisher::follow(mqtt_, *instrument_, parts_.statusLines, this);
}

void Station::shutDown()
{
    if (shutDown_ || !instrument_)
        return;
    shutDown_ = true;
    mqtt_.reset(); // "offline", while the store is still there
    modbus_.reset(); // the clients are disconnected
    instrument_->shutDown(); // the timers, the log file, the alarm journal, the port
    intervals_.reset();
    events_.record({QLatin1String(event_kind::programStopped), parts_.program, QString(), QString(),
                    QLatin1String(event_source::shutDown)});
    events_.attach(nullptr);
    if (ownStore_) {
        instrument_->attachStore(nullptr);
        if (!ownStore_->close() && parts_.statusLines)
            parts_.statusLines(QStringLiteral("The disk did not take the last readings within %1 s")
                                   .arg(StoreWriter::kCloseWaitMs / 1000),
                               true);
    }
}

} // namespace tavelin
