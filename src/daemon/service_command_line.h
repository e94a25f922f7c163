#pragma once
// The service program's command line:
// tavelind [--config FILE] [--port DEVICE | --simulate] [--show-totals] [--verify]
// [--export KIND [--from DATE] [--to DATE] [--output FILE]].

#include "history/export_request.h"

#include <QString>
#include <QStringList>

namespace tavelin {

struct ServiceCommandLine {
    QString configFile; // empty: the user's settings file
    QString port;       // empty: the system's first serial port
    bool simulate = false;
    bool showTotals = false;
    ExportRequest exportRequest; // its error ends the program with status 2
    bool verify = false;
    bool help = false;
    bool version = false;
    QString helpText;
    QString error; // set when the arguments cannot be used
};

ServiceCommandLine parseServiceCommandLine(const QStringList& arguments);

} // namespace tavelin
