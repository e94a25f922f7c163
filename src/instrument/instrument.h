#pragma once
// The instrument: the module's port, the sampling timer tmrRd and the logging
// timer tmrLogger, the sampling cycle, the log writer, the readings store's
// recorder, the alarms and whatever else listens to accepted readings, on the
// settings they run with. Qt Core only: the window and the service each own one and
// drive it from their own handlers.

#include "alarms/alarm_monitor.h"
#include "logging/log_writer.h"
#include "platform/qt/qt_window_timer.h"
#include "sensor/calibration_run.h"
#include "sensor/module1.h"
#include "sensor/sample_fanout.h"
#include "sensor/store_recorder.h"
#include "sensor/trend_recorder.h"
#include "settings/settings.h"

#include <functional>
#include <vector>

namespace tavelin {

class AlarmNotifier;
class AlarmView;
class EventSink;
class MessageBox;
class MillisecondCounter;
class ReadingsStore;
class SensorDisplay;
class SerialPort;
class SettingsFile;
class TextFileChannel;
class WallClock;

class Instrument {
public:
    // What the instrument works through; the real ones in the programs, fakes in tests.
    struct Parts {
        SerialPort& port;
        MillisecondCounter& counter;
        MessageBox& messages;
        TextFileChannel& logChannel;
        WallClock& clock;
        ReadingsStore* store = nullptr;        // none: the readings are not kept
        SettingsFile* settingsFile = nullptr; // none: the settings cannot be changed
        AlarmNotifier* alarmNotifier = nullptr; // none: alarms go to the journal and the window only
        TextFileChannel* alarmChannel = nullptr; // none: the alarm journal is the store's rows only
        EventSink* events = nullptr;             // none: changes are not recorded (the event log)
    };
    // The front end's handlers of the two timers' ticks.
    struct TimerHandlers {
        std::function<void()> tmrRd;
        std::function<void()> tmrLogger;
    };

    // display shows each cycle; totalText is the total as shown, for the log
    // rows; the timers are children of timerOwner.
    Instrument(Parts parts, SensorDisplay& display, std::function<QString()> totalText, const Settings& settings,
               TimerHandlers handlers, QObject* timerOwner);

    // Opens the module's port; returns what the operator must be told when it
    // cannot be opened (each cycle then tries it again), else nothing.
    QString openPort();
    QString switchPort(const QString& device);

    // One sampling cycle, then whatever follows each tick.
    void PollSensor();
    void setSampling(bool on);
    // The resettable total back to 0; the event log records what it was
    // (nothing when it was 0 already).
    void resetTotal();
    // Told of each accepted reading after the store, the trend and a
    // calibration run; told of each sampling tick once its cycle is over.
    void addListener(SampleListener* listener) { listeners_.add(listener); }
    void removeListener(SampleListener* listener) { listeners_.remove(listener); }
    void addTickListener(std::function<void()> listener) { tickListeners_.push_back(std::move(listener)); }

    // The readings store from now on, when it is opened after the instrument
    // (none: the readings are not kept).
    void attachStore(ReadingsStore* store);
    // The alarms, on while the settings have a rule; the view is told what
    // to show whenever that changes.
    bool alarmsOn() const { return alarms_.isOn(); }
    void acknowledgeAlarms() { alarms_.acknowledgeAll(); }
    void setAlarmView(AlarmView* view) { alarms_.setView(view); }
    AlarmMonitor& alarms() { return alarms_; }

    // keep_total: the store's resettable total added to the total (0 until a
    // reading came before the store could be read), and shown. False while
    // the store's newest reading cannot be read yet: to be done again.
    bool restoreTotal();
    // The store's readings of the last 24 hours, for the trend.
    QVector<StoredReading> history();
    // "Meter total: 1,234.56 L since 2026-12-01".
    QString meterText() const;

    const Settings& settings() const { return settings_; }
    // Used from the next cycle on.
    void applySettings(const Settings& settings);
    // Writes what differs from the settings in use to the settings file, then
    // applies what the file holds; returns why it could not.
    QString saveSettings(const Settings& settings);
    bool canSaveSettings() const { return parts_.settingsFile != nullptr; }

    // Stops the timers, closes the log file, the alarm journal and the port,
    // and takes down the alarms' notifications.
    void shutDown();

    QtWindowTimer& tmrRd() { return *tmrRd_; }
    QtWindowTimer& tmrLogger() { return *tmrLogger_; }
    MeasurementState& state() { return module_.state; }
    double pulsesPerLiter() const { return module_.pulsesPerLiter(); }
    LogWriter& logWriter() { return logWriter_; }
    TrendRecorder& trend() { return trend_; }
    CalibrationRun& calibration() { return calibration_; }
    StoreRecorder& storeRecorder() { return storeRecorder_; }
    ReadingsStore* store() const { return parts_.store; }
    SerialPort& port() { return parts_.port; }
    WallClock& clock() { return parts_.clock; }

private:
    Parts parts_;
    SensorDisplay& display_;
    Settings settings_;
    Module1 module_;
    QtWindowTimer* tmrRd_;
    QtWindowTimer* tmrLogger_;
    LogWriter logWriter_;
    TrendRecorder trend_;
    StoreRecorder storeRecorder_;
    CalibrationRun calibration_;
    QtWindowTimer* tmrAlarms_; // the alarms' watch
    AlarmMonitor alarms_;
    SampleFanout listeners_; // the store first, then the trend, a calibration run and the alarms
    std::vector<std::function<void()>> tickListeners_;
};

} // namespace tavelin
