#pragma once
// The program's command line: tavelin [--port DEVICE] [--simulate] [--list-ports]
// [--config FILE] [--show-totals] [--verify] [--export KIND [--from DATE] [--to DATE] [--output FILE]],
// and Qt's own options, which the window's application takes itself.

#include "history/export_request.h"

#include <QString>
#include <QStringList>

namespace tavelin {

struct CommandLine {
    QString port;          // the device standing for serial port 1; empty: the system's first port
    bool simulate = false; // run the built-in module simulator and use it as port 1
    bool listPorts = false; // print the serial ports the system knows and end
    bool showTotals = false; // print the store's totals and end
    ExportRequest exportRequest; // write the store's history as CSV and end; its error ends with status 2
    bool verify = false;   // check the store's seals, print what broke and end
    QString configFile;    // the settings file; empty: SettingsFile::defaultPath()
    bool help = false;
    bool version = false;
    QString helpText;
    QString error;         // set when the arguments cannot be used
};

CommandLine parseCommandLine(const QStringList& arguments);

} // namespace tavelin
