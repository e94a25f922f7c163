#pragma once
// What both programs do before their front end, in one place: read the
// settings file, answer the read-only commands (which take no lock and work
// beside a running program), start the simulated module when asked, make
// the real parts the station works through, and take the state folder's
// lock. Each program then adds only its front end: the window with its
// boxes, or the service with its journal and systemd notices.

#include "history/export_request.h"
#include "platform/millisecond_counter.h"
#include "platform/qt/posix_text_file_channel.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/settings_file.h"
#include "platform/wall_clock.h"
#include "station/station.h"

#include <functional>
#include <memory>
#include <optional>

namespace tavelin {

class SimulatedModule;
class StationLock;

class StationStartup {
public:
    struct Request {
        QString program;      // "tavelin" or "tavelind": names the holder of the lock
        QString configFile;   // empty: SettingsFile::defaultPath()
        QString port;         // empty: the system's first serial port
        bool simulate = false;
        bool showTotals = false;
        ExportRequest exportRequest; // --export: the store's history as CSV
        bool verify = false;
    };
    // How a sentence reaches the operator at this point: standard error, or the journal.
    using Tell = std::function<void(const QString& sentence)>;

    explicit StationStartup(Request request);
    ~StationStartup();

    // Reads the settings (their report told) and answers --show-totals and
    // --export and --verify. An exit status when the program ends here.
    std::optional<int> readSettings(const Tell& tell);
    // Starts the simulated module when asked and makes the port. An exit
    // status when the module cannot be started.
    std::optional<int> makeParts(const Tell& tell);

    // Takes the state folder's lock. Held by another program: the refusal
    // (folder and holder) in *refusal and false, the program ends with
    // StationLock::kHeldExitStatus. A lock that cannot be had at all (a
    // folder that cannot be made) is told, and the program runs on without
    // its store.
    bool lockStateFolder(const Tell& tell, QString* refusal);
    // Whether the store may be opened: the folder is held by this program.
    bool ownsStateFolder() const { return ownsFolder_; }

    // The station's parts on the front end's messages and notifier; the
    // lock goes with them, held for the station's life.
    Station::Parts stationParts(MessageBox& messages, AlarmNotifier* notifier, Station::StatusLines lines);

    const Settings& settings() const { return loaded_.settings; }
    QString settingsReport() const { return loaded_.report; }
    SettingsFile& settingsFile() { return settingsFile_; }
    MillisecondCounter& counter() { return counter_; }
    QtSerialPort& port() { return *port_; }
    PosixTextFileChannel& logChannel() { return logChannel_; }

private:
    Request request_;
    SettingsFile settingsFile_;
    SettingsFile::Loaded loaded_;
    std::unique_ptr<SimulatedModule> simulator_;
    std::unique_ptr<QtSerialPort> port_;
    SystemMillisecondCounter counter_;
    PosixTextFileChannel logChannel_;
    PosixTextFileChannel alarmChannel_;
    SystemWallClock clock_;
    std::unique_ptr<StationLock> lock_;
    bool ownsFolder_ = false;
};

} // namespace tavelin
