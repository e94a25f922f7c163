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
    instrument_.restoreTotal();
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
    instrument_.shutDown(); // sampling off, the log file closed after its last whole row, the port closed
    parts_.journal.summarise(true);
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
