#include "daemon/tavelin_service.h"

#include "daemon/journal_messages.h"
#include "daemon/systemd_notifier.h"
#include "platform/qt/settings_file.h"
#include "platform/serial_port.h"

#include <cmath>

namespace tavelin {

TavelinService::TavelinService(Parts parts, const Settings& settings)
    : parts_(parts),
      instrument_(parts.instrument, *this, [this] { return total_; }, settings,
                  {[this] { instrument_.PollSensor(); }, [this] { instrument_.logWriter().writeRow(); }}, this)
{
    instrument_.addTickListener([this] { cycleDone(); });
    instrument_.setAlarmView(this);
    instrument_.restoreTotal();
    const auto journalLine = [this](const QString& line, bool trouble) {
        parts_.journal.write(trouble ? JournalMessages::Priority::Warning : JournalMessages::Priority::Info, line);
    };
    MqttPublisher::writeStatusLinesTo(journalLine);
    modbus_ = std::make_unique<ModbusOutput>(
        instrument_, [this] { return mqtt_ && mqtt_->connected(); }, journalLine);
}

void TavelinService::start()
{
    const QString failure = instrument_.openPort();
    if (!failure.isEmpty())
        parts_.journal.show(failure);
    parts_.systemd.ready();
    parts_.journal.write(JournalMessages::Priority::Info,
                         QStringLiteral("Sampling %1 at %2 pulses per liter%3")
                             .arg(instrument_.port().deviceName(),
                                  QString::number(instrument_.pulsesPerLiter(), 'g', 12),
                                  instrument_.settings().logging.file.isEmpty()
                                      ? QStringLiteral(", no log file")
                                      : QStringLiteral(", logging to ") + instrument_.settings().logging.file));
    instrument_.setSampling(true);
    startLogging(instrument_.settings().logging.mode);
    MqttPublisher::follow(mqtt_, instrument_, this);
    modbus_->follow();
}

void TavelinService::startLogging(FileOpenMode mode)
{
    const LoggingSettings& logging = instrument_.settings().logging;
    if (logging.file.isEmpty())
        return;
    LoggingChoices choices;
    choices.file = LoggingChoices::File{logging.file, mode};
    choices.intervalMs = static_cast<int>(std::lround(logging.intervalS * 1000.0));
    instrument_.logWriter().start(choices); // a file that cannot be opened is told to the journal
}

void TavelinService::reload()
{
    parts_.systemd.reloading();
    const SettingsFile::Loaded loaded = parts_.instrument.settingsFile->reload(instrument_.settings());
    if (!loaded.report.isEmpty())
        parts_.journal.notify(loaded.report);
    instrument_.applySettings(loaded.settings);
    MqttPublisher::follow(mqtt_, instrument_, this);
    if (modbus_)
        modbus_->follow();
    // The file again at its path: after logrotate moved it away, a new file
    // with its own header; rows already written stay where they are.
    instrument_.logWriter().StopLogging();
    startLogging(FileOpenMode::Append);
    parts_.journal.write(JournalMessages::Priority::Info, QStringLiteral("Settings and log file opened again"));
    parts_.systemd.ready();
}

void TavelinService::stop()
{
    parts_.systemd.stopping();
    mqtt_.reset(); // "offline" published, the delivery cursor saved
    modbus_.reset(); // the clients are disconnected
    instrument_.shutDown(); // sampling off, the log file closed after its last whole row, the port closed
    parts_.journal.summarise(true);
}

void TavelinService::showAlarms(const QVector<ShownAlarm>& shown)
{
    // A line when an alarm's condition comes and when it goes: the journal
    // has no panel to keep it on.
    QSet<int> up;
    for (const ShownAlarm& alarm : shown) {
        if (!alarm.holds)
            continue;
        up.insert(static_cast<int>(alarm.id));
        if (!alarmsUp_.contains(static_cast<int>(alarm.id)))
            parts_.journal.write(JournalMessages::Priority::Warning,
                                 QStringLiteral("ALARM: %1 - %2").arg(alarm.name, alarm.detail));
    }
    for (int id : qAsConst(alarmsUp_))
        if (!up.contains(id))
            parts_.journal.write(JournalMessages::Priority::Info,
                                 QStringLiteral("Alarm over: %1").arg(alarmName(static_cast<AlarmId>(id))));
    alarmsUp_ = up;
}

QString TavelinService::statusText() const
{
    return QStringLiteral("%1 Hz, %2 L/min, %3 L").arg(hz_, flow_, total_);
}

void TavelinService::cycleDone()
{
    parts_.systemd.alive();
    parts_.systemd.status(statusText());
    parts_.journal.summarise();
}

} // namespace tavelin
