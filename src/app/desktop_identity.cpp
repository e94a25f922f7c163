#include "desktop_identity.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>

namespace tavelin {

namespace {

const QString kDesktopId = QStringLiteral(TAVELIN_APP_ID);

// The PNGs rendered for the hicolor theme, where the package puts them beside
// the program; a PNG needs no image plugin, unlike the SVG. Read straight from
// there rather than through QIcon::fromTheme: the theme lookup parses every
// installed theme's index before the window can show, which costs start-up
// more than the rest of the window together, and finds the same files.
QIcon installedIcon()
{
    QIcon icon;
    const QString theme = QApplication::applicationDirPath() + QStringLiteral("/../share/icons/hicolor/");
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString file = theme + QStringLiteral("%1x%1/apps/%2.png").arg(size).arg(kDesktopId);
        if (QFileInfo::exists(file))
            icon.addFile(file, QSize(size, size));
    }
    return icon;
}

} // namespace

void applyDesktopIdentity()
{
    QGuiApplication::setDesktopFileName(kDesktopId);
    QApplication::setWindowIcon(installedIcon());
}

} // namespace tavelin
