#include "command_line.h"

#include "toolkit_options.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace tavelin {

namespace {

const QString kPort = QStringLiteral("port");
const QString kSimulate = QStringLiteral("simulate");
const QString kListPorts = QStringLiteral("list-ports");
const QString kConfig = QStringLiteral("config");
const QString kShowTotals = QStringLiteral("show-totals");
const QString kVerify = QStringLiteral("verify");

// The program's options, and Qt's own ones, listed or not.
void describeOptions(QCommandLineParser& parser, bool listToolkitOptions)
{
    parser.setApplicationDescription(
        QCoreApplication::translate("main", "Flow sensor instrument: reads a pulse-output flow sensor through "
                                            "a serial acquisition module on serial port 1."));
    // Qt's own options are single-dash words (-platform offscreen), not
    // bundles of one-letter options.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption(); // -h, --help and --help-all
    parser.addVersionOption();
    parser.addOption({kPort, QCoreApplication::translate("main", "Use DEVICE as serial port 1 (default: /dev/ttyS0)."),
                      QStringLiteral("DEVICE")});
    parser.addOption({kSimulate, QCoreApplication::translate("main", "Run the built-in simulated module on a "
                                                                     "pseudo-terminal and use it as serial port 1.")});
    parser.addOption({kListPorts, QCoreApplication::translate("main", "Print the serial ports the system knows, one "
                                                                      "a line: device path, description and USB "
                                                                      "vendor:product, separated by tabs.")});
    parser.addOption({kConfig, QCoreApplication::translate("main", "Read the settings from FILE (default: "
                                                                   "~/.config/tavelin/tavelin.conf, or under "
                                                                   "$XDG_CONFIG_HOME)."),
                      QStringLiteral("FILE")});
    parser.addOption({kShowTotals, QCoreApplication::translate("main", "Print the totals the readings store keeps, "
                                                                       "one key=value a line, and end.")});
    addExportOptions(parser);
    parser.addOption({kVerify, QCoreApplication::translate("main", "Check the seals of every record the readings "
                                                                   "store keeps, print a line per table and one per "
                                                                   "fault, and end: status 0 when all hold, 1 when "
                                                                   "any is broken, 2 when the store or its key "
                                                                   "cannot be read.")});
    addToolkitOptions(parser, listToolkitOptions);
}

QString helpAllText()
{
    QCommandLineParser parser;
    describeOptions(parser, true);
    return parser.helpText();
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    describeOptions(parser, false);

    CommandLine result;
    result.helpText = parser.helpText();
    if (!parser.parse(arguments)) {
        result.error = parser.errorText();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.error = QCoreApplication::translate("main", "Unexpected argument: %1")
                           .arg(parser.positionalArguments().constFirst());
        return result;
    }
    result.help = parser.isSet(QStringLiteral("help"));
    if (parser.isSet(QStringLiteral("help-all"))) {
        result.help = true;
        result.helpText = helpAllText();
    }
    result.version = parser.isSet(QStringLiteral("version"));
    result.simulate = parser.isSet(kSimulate);
    result.listPorts = parser.isSet(kListPorts);
    result.port = parser.value(kPort);
    if (parser.isSet(kPort) && result.port.isEmpty())
        result.error = QCoreApplication::translate("main", "--port needs a device, such as /dev/ttyUSB0.");
    result.configFile = parser.value(kConfig);
    result.showTotals = parser.isSet(kShowTotals);
    result.exportRequest = exportRequestFrom(parser);
    result.verify = parser.isSet(kVerify);
    if (parser.isSet(kConfig) && result.configFile.isEmpty())
        result.error = QCoreApplication::translate("main", "--config needs a file, such as ~/.config/tavelin/tavelin.conf.");
    if (result.simulate && parser.isSet(kPort))
        result.error = QCoreApplication::translate("main", "--port and --simulate cannot be used together.");
    return result;
}

} // namespace tavelin
