#pragma once
// The station of one sensor: the lock on its state folder, its settings
// file, its readings store (written on a thread of its own), the instrument
// (port, timers, sampling cycle, log writer, trend, alarms, calibration) and
// the outputs (MQTT from what the store has made durable, the Modbus server
// from the newest stored reading). Every change
// of the settings reaches all of them through applySettings(). Both programs
// make one, through the start-up routine in station_startup.h, and add their
// front end: the window, or the service's journal and systemd notices.

#include "instrument/instrument.h"
#include "records/clock_watch.h"
#include "station/station_events.h"
#include "station/station_lock.h"

#include <QObject>

#include <functional>
#include <memory>

namespace tavelin {

class IntervalSource;
class ModbusOutput;
class MqttPublisher;
class SqliteIntervalReader;
class StationStore;

class Station : public QObject {
    Q_OBJECT
public:
    // Where status lines go (MQTT's, the store's): standard error for the
    // window, the journal for the service; trouble marks a fault.
    using StatusLines = std::function<void(const QString& line, bool trouble)>;

    struct Parts {
        Instrument::Parts instrument; // its store: none until openStore() or useStore()
        StatusLines statusLines;
        std::unique_ptr<StationLock> lock; // none: the folder is not held (tests, or a lock that failed)
        QString program = QStringLiteral("tavelin"); // as the event log names it
    };
    // What the front end gives the instrument.
    struct FrontEnd {
        SensorDisplay& display;
        std::function<QString()> totalText; // the total as shown, for the log rows
        Instrument::TimerHandlers handlers; // the front end's handlers of tmrRd and tmrLogger
        QObject* timerOwner;
    };

    Station(Parts parts, const Settings& settings, QObject* parent = nullptr);
    ~Station() override;

    // Makes the instrument on the front end; once, before anything else.
    Instrument& attach(FrontEnd frontEnd);

    // Opens the store at path on the writer's thread; once open, it is used
    // as useStore() says. Nothing here waits for it.
    void openStore(const QString& path);
    // Keeps the readings in store from now on: the meter and seq go on from
    // its newest reading, with keep_total the total too, and MQTT publishes
    // from it.
    void useStore(ReadingsStore* store);

    // The one way a change of the settings reaches the station: the
    // instrument from its next cycle, the alarms, MQTT; the event log records
    // each key that changed, with source (records/event_log.h).
    void applySettings(const Settings& settings, const QString& source);
    // Writes the settings file, then applies what it holds; why it could not.
    QString saveSettings(const Settings& settings, const QString& source);
    // Closes the port and opens device; what the operator must be told.
    QString switchPort(const QString& device);

    // Where the front end hands the changes it makes to the event log.
    EventSink& events() { return events_; }

    // MQTT offline, sampling and logging stopped, the port closed, the store
    // closed cleanly after its last commit. Once.
    void shutDown();

    Instrument& instrument() { return *instrument_; }
    const Settings& settings() const { return settings_; }
    MqttPublisher* mqtt() const { return mqtt_.get(); }
    ModbusOutput* modbus() const { return modbus_.get(); }
    ReadingsStore* store() const { return instrument_ ? instrument_->store() : nullptr; }
    // The store's quarter-hour intervals, read beside the writer; none until
    // the store is open (and never on a store given to useStore()).
    IntervalSource* intervals() const;
    SettingsFile* settingsFile() const { return parts_.instrument.settingsFile; }
    SerialPort& port() { return parts_.instrument.port; }
    MessageBox& messages() { return parts_.instrument.messages; }
    WallClock& clock() { return parts_.instrument.clock; }
    MillisecondCounter& counter() { return parts_.instrument.counter; }

Q_SIGNALS:
    // The store is open and in use: what it remembers can be shown.
    void storeReady();
    // Settings applied: what shows them follows.
    void settingsApplied();
    // The store made readings up to seq durable.
    void readingsDurable(std::int64_t seq);
    // The store made events up to seq durable.
    void eventsDurable(std::int64_t seq);

private:
    void storeOpened(bool ok, const QString& notice);
    void recordStart();
    void followMqtt();
    void lookAtClock();

    Parts parts_;
    Settings settings_;
    StationEvents events_;
    ClockWatch clockWatch_;
    std::unique_ptr<Instrument> instrument_;
    std::unique_ptr<StationStore> ownStore_; // the store openStore() made
    std::unique_ptr<SqliteIntervalReader> intervals_;
    std::unique_ptr<MqttPublisher> mqtt_;    // ends before the instrument and the store it reads
    std::unique_ptr<ModbusOutput> modbus_;   // likewise
    bool totalRestored_ = false;
    bool shutDown_ = false;
};

} // namespace tavelin
