#include "station/station_startup.h"

#include "platform/qt/store_export.h"
#include "platform/qt/store_opening.h"
#include "platform/state_directory.h"
#include "station/simulated_module.h"
#include "station/station_lock.h"

#include <QCoreApplication>

namespace tavelin {

StationStartup::StationStartup(Request request)
    : request_(std::move(request)),
      settingsFile_(request_.configFile.isEmpty() ? SettingsFile::defaultPath() : request_.configFile)
{
}

StationStartup::~StationStartup() = default;

std::optional<int> StationStartup::readSettings(const Tell& tell)
{
    loaded_ = settingsFile_.load();
    if (!loaded_.report.isEmpty())
        tell(loaded_.report);
    if (request_.showTotals)
        return printTotals(loaded_.settings);
    if (request_.exportRequest.requested)
        return runExport(request_.exportRequest, readingsStorePath(), loaded_.settings.sensor.pulsesPerLiter);
    if (request_.verify)
        return printVerification();
    return std::nullopt;
}

std::optional<int> StationStartup::makeParts(const Tell& tell)
{
    QString device = request_.port.isEmpty() ? defaultSerialDevice() : request_.port;
    if (request_.simulate) {
        QString error;
        simulator_ = SimulatedModule::start(&error);
        if (!simulator_) {
            tell(QCoreApplication::translate("station", "The simulated module cannot be started: %1").arg(error));
            return 1;
        }
        device = simulator_->devicePath();
    }
    port_ = std::make_unique<QtSerialPort>(device);
    return std::nullopt;
}

bool StationStartup::lockStateFolder(const Tell& tell, QString* refusal)
{
    const QString folder = stateDirectory();
    StationLock::Attempt attempt = StationLock::take(folder, request_.program);
    switch (attempt.outcome) {
    case StationLock::Outcome::Taken:
        lock_ = std::move(attempt.lock);
        ownsFolder_ = true;
        return true;
    case StationLock::Outcome::Held:
        *refusal = StationLock::refusal(folder, attempt.holder);
        return false;
    case StationLock::Outcome::Failed:
        break;
    }
    tell(QCoreApplication::translate("station", "The readings store in %1 cannot be opened: %2. Sampling and "
                                                "logging go on without it; the readings of this run are not kept.")
             .arg(folder, attempt.reason));
    return true;
}

Station::Parts StationStartup::stationParts(MessageBox& messages, AlarmNotifier* notifier, Station::StatusLines lines)
{
    Instrument::Parts instrument{*port_, counter_, messages, logChannel_, clock_, nullptr, &settingsFile_, notifier,
                                 &alarmChannel_};
    return {instrument, std::move(lines), std::move(lock_), request_.program};
}

} // namespace tavelin
