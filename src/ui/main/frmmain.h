#pragma once
// The instrument window: three readouts, two gauges, the tank-scale knob, the
// Start/Stop, Logging and Reset switches and the status bar. It is the front
// end of the station (the module's port, the sampling timer tmrRd, the logging
// timer tmrLogger, the store), and its handlers are the operator's controls
// that drive it. Its context menu chooses the port, opens the trend and
// history windows, the settings and a calibration run, acknowledges alarms,
// and says how much flowed today and this month and how MQTT and the Modbus
// server stand.

#include "instrument/instrument.h"
#include "instrument/modbus_output.h"
#include "instrument/mqtt_publisher.h"
#include "station/station.h"
#include "sensor/sensor_display.h"
#include "settings/settings.h"

#include <QWidget>

#include <memory>

class QAction;
class QGroupBox;
class QLabel;

namespace tavelin {

class AlarmNotifier;
class AlarmPanel;
class CalibrationDialog;
class CWButton;
class CWKnob;
class CWSlide;
class EventLogWindow;
class FileDialog;
class HistoryWindow;
class IntervalSource;
class LoggingSwitch;
class MainContextMenu;
class MessageBox;
class MillisecondCounter;
class ReadingsStore;
class SerialPort;
class SettingsFile;
class StatusBar;
class TextFileChannel;
class TrendWindow;
class WallClock;

class frmmain : public QWidget, public SensorDisplay {
    Q_OBJECT
public:
    // The window is the station's front end: it makes the station's
    // instrument on itself. fileDialog is the window's own.
    frmmain(Station& station, FileDialog& fileDialog, QWidget* parent = nullptr);
    ~frmmain() override;

    // Load handler: opens the module's port; a port that cannot be opened is
    // reported with what to do about it, and the window works on, each cycle
    // trying the port again.
    void Form_Load();

    // The context menu's commands. Switching closes the current port and opens
    // the new one at once; sampling, logging and the total go on. A port that
    // does not open is reported as at start-up and tried again at each cycle.
    void switchPort(const QString& device);
    void askForPort();
    void showTrend();
    void showHistory();
    void showEvents();
    void showAbout();
    void showSettings();
    void showCalibration();
    // "Meter total: 1,234.56 L since 2026-12-01": every reading the store has kept.
    QString meterText() const;

    // The store's quarter-hour intervals, for the History window and the
    // menu's day and month totals; none (the store is not open): neither
    // shows any.
    void useIntervals(IntervalSource* intervals);
    Instrument& instrument() { return instrument_; }
    Station& station() { return station_; }
    // The broker connection while [mqtt] names one; none otherwise.
    MqttPublisher* mqtt() const { return station_.mqtt(); }
    // The Modbus server's output, serving while [modbus] names an address.
    ModbusOutput* modbus() const { return station_.modbus(); }

    // Handlers.
    void CWButton1_Click();
    void CWButton2_ValueChanged(bool value);
    void CWButton3_ValueChanged(bool value);
    void CWKnob1_ValueChanged(double value, double previousValue);
    void tmrRd_Timer();
    void tmrLogger_Timer();

    // Where a sampling cycle shows its results.
    void setLblHz(const QString& text) override;
    void setLblLitersPerMin(const QString& text) override;
    void setCWSlide1(double value) override;
    void setLiters(const QString& text) override;
    void setCWSlide2(double value) override;

Q_SIGNALS:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void openPort();
    void createMenu();
    void createControls();
    void placeControls();
    void connectHandlers();
    // Stops both timers, closes the log file and the port and the logging
    // dialog. Runs once, when the window closes.
    void shutDown();
    QLabel* makeReadout(QGroupBox* frame, const QString& name, const QString& accessibleName);
    QGroupBox* makeFrame(const QString& name, const QString& caption);

    // Once the store is in use: what it remembers of earlier runs, the
    // trend's last 24 hours and the meter.
    void storeReady();
    // After each stored reading: the meter where it is shown.
    void readingKept();

    Station& station_;
    FileDialog& fileDialog_;
    Instrument& instrument_;
    std::unique_ptr<LoggingSwitch> loggingSwitch_;
    CalibrationDialog* calibrationDialog_ = nullptr;
    QAction* meterAction_ = nullptr;
    TrendWindow* trendWindow_ = nullptr; // made when first opened, then hidden and shown
    EventLogWindow* eventLogWindow_ = nullptr; // the same
    QAction* trendAction_ = nullptr;
    HistoryWindow* historyWindow_ = nullptr; // made when first opened, then hidden and shown
    QAction* historyAction_ = nullptr;
    IntervalSource* intervals_ = nullptr;
    MainContextMenu* contextMenu_ = nullptr;
    std::unique_ptr<AlarmPanel> alarmPanel_;
    bool shutDown_ = false;

    // The controls the handlers work; each carries its design name as object name.
    QLabel* lblHz_ = nullptr;
    QLabel* lblLitersPerMin_ = nullptr;
    QLabel* liters_ = nullptr;
    CWSlide* CWSlide1_ = nullptr;
    CWSlide* CWSlide2_ = nullptr;
    CWKnob* CWKnob1_ = nullptr;
    CWButton* CWButton1_ = nullptr;
    CWButton* CWButton2_ = nullptr;
    CWButton* CWButton3_ = nullptr;
    StatusBar* StatusBar1_ = nullptr;
};

} // namespace tavelin
