#include "platform/state_directory.h"

#include <QDir>
#include <QStringList>

namespace tavelin {

QString stateDirectory()
{
    // systemd gives one path per StateDirectory= entry; the first is ours.
    const QStringList given =
        qEnvironmentVariable("STATE_DIRECTORY").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (!given.isEmpty())
        return QDir::cleanPath(given.first());

    // The XDG base directory rules ignore a relative path.
    const QString xdgState = qEnvironmentVariable("XDG_STATE_HOME");
    if (!xdgState.isEmpty() && QDir::isAbsolutePath(xdgState))
        return QDir::cleanPath(xdgState + QStringLiteral("/tavelin"));

    return QDir::cleanPath(QDir::homePath() + QStringLiteral("/.local/state/tavelin"));
}

QString readingsStorePath()
{
    return stateDirectory() + QStringLiteral("/readings.db");
}

QString alarmJournalPath()
{
    return stateDirectory() + QStringLiteral("/alarms.csv");
}

} // namespace tavelin
