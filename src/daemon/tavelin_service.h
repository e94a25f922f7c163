#pragma once
// The instrument without a display: it samples from the start (the first
// read command one sampling interval after start-up), logs to the file the
// settings name in the Logger dialog's format, keeps the readings store, and
// tells systemd how it goes. What the window shows in a box goes to the
// journal, and so does every alarm raised or over. Readings and alarm events
// go to an MQTT broker when the settings name one, and Modbus TCP clients
// read them when the settings name an address to listen on. SIGHUP reads the settings
// again and opens the log file again at its path (for logrotate); SIGTERM and
// SIGINT end it with whole rows.

#include "alarms/alarm_view.h"
#include "station/station.h"
#include "sensor/sensor_display.h"

#include <QObject>
#include <QSet>


namespace tavelin {

class JournalMessages;
class SystemdNotifier;

class TavelinService : public QObject, public SensorDisplay, public AlarmView {
public:
    // The service is the station's front end: it makes the station's
    // instrument on itself. The station's settings file is required.
    TavelinService(Station& station, JournalMessages& journal, SystemdNotifier& systemd);

    // Tries the port, says ready, starts sampling and logging.
    void start();
    // SIGHUP: the settings file and the log file again.
    void reload();
    // SIGTERM, SIGINT: sampling and logging stop, the file keeps whole rows.
    void stop();

    Instrument& instrument() { return instrument_; }
    // "250 Hz, 2.17 L/min, 13.5 L": the last reading as the window would show it.
    QString statusText() const;

    void setLblHz(const QString& text) override { hz_ = text; }
    void setLblLitersPerMin(const QString& text) override { flow_ = text; }
    void setCWSlide1(double) override {}
    void setLiters(const QString& text) override { total_ = text; }
    void setCWSlide2(double) override {}

    void showAlarms(const QVector<ShownAlarm>& shown) override;

private:
    void startLogging(FileOpenMode mode);
    void cycleDone();

    Station& station_;
    JournalMessages& journal_;
    SystemdNotifier& systemd_;
    Instrument& instrument_;
    QString hz_ = QStringLiteral("0");
    QString flow_ = QStringLiteral("0");
    QString total_ = QStringLiteral("000"); // what the Total Liters readout shows before a reading
    QSet<int> alarmsUp_;                    // AlarmIds whose condition holds
};

} // namespace tavelin
