#include "daemon/tavelin_service.h"

#include "daemon/journal_messages.h"
#include "daemon/systemd_notifier.h"
#include "platform/qt/settings_file.h"
#include "platform/serial_port.h"
#include "records/event_log.h"

#include <cmath>

namespace tavelin {

TavelinService::TavelinService(Station& station, JournalMessages& journal, SystemdNotifier& systemd)
    : station_(station),
      journal_(journal),
      systemd_(systemd),
      instrument_(station.attach({*this, [this] { return total_; },
                                  {[this] { instrument_.PollSensor(); }, [this] { instrument_.logWriter().writeRow(); }},
                                  this}))
{
    instrument_.logWriter().retryFailedWrites(station.counter()); // nobody is there to start it again
    instrument_.addTickListener([this] { cycleDone(); });
    instrument_.setAlarmView(this);
}

void TavelinService::start()
{
    const QString failure = instrument_.openPort();
    if (!failure.isEmpty())
        journal_.show(failure);
    systemd_.ready();
    journal_.write(JournalMessages::Priority::Info,
                         QStringLiteral("Sampling %1 at %2 pulses per liter%3")
                             .arg(instrument_.port().deviceName(),
                                  QString::number(instrument_.pulsesPerLiter(), 'g', 12),
                                  instrument_.settings().logging.file.isEmpty()
                                      ? QStringLiteral(", no log file")
                                      : QStringLiteral(", logging to ") + instrument_.settings().logging.file));
    instrument_.setSampling(true);
    startLogging(instrument_.settings().logging.mode);
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
    systemd_.reloading();
    const SettingsFile::Loaded loaded = station_.settingsFile()->reload(instrument_.settings());
    if (!loaded.report.isEmpty())
        journal_.notify(loaded.report);
    station_.applySettings(loaded.settings, QLatin1String(event_source::reload));
    // The file again at its path: after logrotate moved it away, a new file
    // with its own header; rows already written stay where they are.
    instrument_.logWriter().StopLogging();
    startLogging(FileOpenMode::Append);
    journal_.write(JournalMessages::Priority::Info, QStringLiteral("Settings and log file opened again"));
    systemd_.ready();
}

void TavelinService::stop()
{
    systemd_.stopping();
    // "offline" published, the delivery cursor saved, sampling off, the log
    // file closed after its last whole row, the port closed, the store closed
    // after its last commit.
    station_.shutDown();
    journal_.summarise(true);
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
            journal_.write(JournalMessages::Priority::Warning,
                                 QStringLiteral("ALARM: %1 - %2").arg(alarm.name, alarm.detail));
    }
    for (int id : qAsConst(alarmsUp_))
        if (!up.contains(id))
            journal_.write(JournalMessages::Priority::Info,
                                 QStringLiteral("Alarm over: %1").arg(alarmName(static_cast<AlarmId>(id))));
    alarmsUp_ = up;
}

QString TavelinService::statusText() const
{
    return QStringLiteral("%1 Hz, %2 L/min, %3 L").arg(hz_, flow_, total_);
}

void TavelinService::cycleDone()
{
    systemd_.alive();
    systemd_.status(statusText());
    journal_.summarise();
}

} // namespace tavelin
