#include "daemon/service_command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace tavelin {

ServiceCommandLine parseServiceCommandLine(const QStringList& arguments)
{
    const QString config = QStringLiteral("config");
    const QString port = QStringLiteral("port");
    const QString simulate = QStringLiteral("simulate");
    const QString showTotals = QStringLiteral("show-totals");
    const QString verify = QStringLiteral("verify");

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Flow sensor service: samples a pulse-output flow sensor through a serial acquisition module, "
        "logs and keeps the readings, without a display."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({config, QStringLiteral("Read the settings from FILE (default: ~/.config/tavelin/tavelin.conf)."),
                      QStringLiteral("FILE")});
    parser.addOption({port, QStringLiteral("Use DEVICE as serial port 1 (default: /dev/ttyS0)."),
                      QStringLiteral("DEVICE")});
    parser.addOption({simulate, QStringLiteral("Run the built-in simulated module and use it as serial port 1.")});
    parser.addOption({showTotals, QStringLiteral("Print the totals the readings store keeps, one key=value a line, "
                                                 "and end.")});
    addExportOptions(parser);
    parser.addOption({verify, QStringLiteral("Check the seals of every record the readings store keeps, print a line "
                                             "per table and one per fault, and end: status 0 when all hold, 1 when "
                                             "any is broken, 2 when the store or its key cannot be read.")});

    ServiceCommandLine result;
    result.helpText = parser.helpText();
    if (!parser.parse(arguments)) {
        result.error = parser.errorText();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.error = QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().constFirst());
        return result;
    }
    result.help = parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"));
    result.version = parser.isSet(QStringLiteral("version"));
    result.configFile = parser.value(config);
    result.port = parser.value(port);
    result.simulate = parser.isSet(simulate);
    result.showTotals = parser.isSet(showTotals);
    result.exportRequest = exportRequestFrom(parser);
    result.verify = parser.isSet(verify);
    if (parser.isSet(config) && result.configFile.isEmpty())
        result.error = QStringLiteral("--config needs a file, such as /etc/tavelin/ttyUSB0.conf.");
    else if (parser.isSet(port) && result.port.isEmpty())
        result.error = QStringLiteral("--port needs a device, such as /dev/ttyUSB0.");
    else if (result.simulate && parser.isSet(port))
        result.error = QStringLiteral("--port and --simulate cannot be used together.");
    return result;
}

} // namespace tavelin
