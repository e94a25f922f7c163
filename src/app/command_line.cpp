#include "command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace tavelin {

CommandLine parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QCoreApplication::translate("main", "Flow sensor instrument: reads a pulse-output flow sensor through "
                                            "a serial acquisition module on serial port 1."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QCoreApplication::translate("main", "Use DEVICE as serial port 1 (default: /dev/ttyS0)."),
        QStringLiteral("DEVICE"));
    const QCommandLineOption simulateOption(
        QStringLiteral("simulate"),
        QCoreApplication::translate("main", "Run the built-in simulated module on a pseudo-terminal and use it "
                                            "as serial port 1."));
    const QCommandLineOption listPortsOption(
        QStringLiteral("list-ports"),
        QCoreApplication::translate("main", "Print the serial ports the system knows, one a line: device path, "
                                            "description and USB vendor:product, separated by tabs."));
    parser.addOption(portOption);
    parser.addOption(simulateOption);
    parser.addOption(listPortsOption);

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
    result.help = parser.isSet(helpOption);
    result.version = parser.isSet(versionOption);
    result.simulate = parser.isSet(simulateOption);
    result.listPorts = parser.isSet(listPortsOption);
    result.port = parser.value(portOption);
    if (parser.isSet(portOption) && result.port.isEmpty())
        result.error = QCoreApplication::translate("main", "--port needs a device, such as /dev/ttyUSB0.");
    if (result.simulate && parser.isSet(portOption))
        result.error = QCoreApplication::translate("main", "--port and --simulate cannot be used together.");
    return result;
}

} // namespace tavelin
