#include "toolkit_options.h"

#include <QCoreApplication>

namespace tavelin {

namespace {

struct ToolkitOption {
    const char* name;
    const char* valueName; // empty: a switch
    const char* description;
};

// What QGuiApplication, QApplication and the X11 platform plugin of Qt 5.15
// take out of argv (QCoreApplication already takes -qmljsdebugger). Each is
// given as Qt reads it: one or two dashes, the value as the next argument.
constexpr ToolkitOption kToolkitOptions[] = {
    {"platform", "name[:options]", "Platform plugin: xcb, wayland, offscreen..."},
    {"platformpluginpath", "path", "Folder of the platform plugins."},
    {"platformtheme", "theme", "Platform theme."},
    {"plugin", "plugin", "An additional plugin to load; may be given more than once."},
    {"qwindowgeometry", "geometry", "Geometry of the first window, such as 400x300+50+50."},
    {"qwindowicon", "icon", "Default window icon."},
    {"qwindowtitle", "title", "Title of the first window."},
    {"reverse", "", "Lay the windows out right to left."},
    {"session", "session", "Restore an earlier session."},
    {"style", "style", "Widget style, such as Fusion."},
    {"stylesheet", "file", "Style sheet for the widgets."},
    {"widgetcount", "", "Print the number of widgets left at exit."},
    {"testability", "", "Load Qt's test-automation plugin."},
    {"display", "display", "X display, instead of $DISPLAY (X11)."},
    {"name", "name", "Instance name of the windows (X11)."},
    {"nograb", "", "Never grab the mouse (X11)."},
    {"dograb", "", "Grab the mouse even under a debugger (X11)."},
    {"visual", "id", "The X visual to use (X11)."},
    {"geometry", "geometry", "Same as -qwindowgeometry (X11)."},
    {"icon", "icon", "Same as -qwindowicon (X11)."},
    {"title", "title", "Same as -qwindowtitle (X11)."},
};

} // namespace

void addToolkitOptions(QCommandLineParser& parser, bool listed)
{
    for (const ToolkitOption& toolkitOption : kToolkitOptions) {
        QCommandLineOption option(QString::fromLatin1(toolkitOption.name),
                                  QCoreApplication::translate("toolkit", toolkitOption.description),
                                  QString::fromLatin1(toolkitOption.valueName));
        if (!listed)
            option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

} // namespace tavelin
