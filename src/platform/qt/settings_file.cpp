#include "settings_file.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QVariant>

#include <cerrno>
#include <cstdlib>
#include <unistd.h>
#include <utility>

namespace tavelin {

namespace {

// Every QSettings on the file reads and writes it as UTF-8: Qt 5 would read
// it as Latin-1 and write other programs' non-ASCII text back as escapes.
void useUtf8(QSettings& file)
{
    file.setIniCodec("UTF-8");
}

// A value as text: QSettings reads "a, b" as a list of two.
QString valueText(const QVariant& value)
{
    if (value.type() == QVariant::StringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

// Why the existing file at path cannot be read; empty when it can.
QString unreadableReason(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return QStringLiteral("it is a folder");
    if (!info.isFile()) // a pipe would block the reading
        return QStringLiteral("it is not a regular file");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    return QString();
}

// Why the folder could not be made: the nearest part of it that exists is a
// file, or refuses new entries.
QString folderFailure(const QString& folder)
{
    QString existing = folder;
    while (!QFileInfo::exists(existing) && QFileInfo(existing).absolutePath() != existing)
        existing = QFileInfo(existing).absolutePath();
    if (!QFileInfo(existing).isDir())
        return QStringLiteral("%1 is not a folder").arg(existing);
    if (::access(QFile::encodeName(existing).constData(), W_OK | X_OK) != 0)
        return QStringLiteral("%1 in %2").arg(qt_error_string(errno), existing);
    return QStringLiteral("the system refused");
}

// Writes all bytes; 0 or the errno of the refusal.
int writeAll(int fd, const QByteArray& bytes)
{
    qint64 written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, static_cast<size_t>(bytes.size() - written));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO;
        written += n;
    }
    return 0;
}

// Whether the folder takes a new file of about size bytes: a probe file is
// written beside the settings file and removed again. Empty when it does,
// else why not. The check comes before QSettings writes: a QSettings write
// that fails keeps its unsaved values in Qt's cache of the file for the rest
// of the process, where the next reading would find them, and the next
// QSettings on the file would try to write them.
QString probeFolder(const QString& folder, const QString& fileName, qint64 size)
{
    QByteArray name = QFile::encodeName(folder + QStringLiteral("/.") + fileName + QStringLiteral(".probe-XXXXXX"));
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return QStringLiteral("no new file can be made in the folder %1 (%2)").arg(folder, qt_error_string(errno));
    int failure = writeAll(fd, QByteArray(static_cast<int>(size), '\n'));
    if (::close(fd) != 0 && failure == 0)
        failure = errno;
    ::unlink(name.constData());
    if (failure != 0)
        return QStringLiteral("the folder %1 does not take a file of %2 bytes (%3)")
            .arg(folder)
            .arg(size)
            .arg(qt_error_string(failure));
    return QString();
}

} // namespace

SettingsFile::SettingsFile(QString path) : path_(std::move(path)) {}

QString SettingsFile::defaultPath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) // the XDG rule: a relative one is ignored
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/tavelin/tavelin.conf");
}

SettingsFile::Loaded SettingsFile::load() const
{
    return read(nullptr);
}

SettingsFile::Loaded SettingsFile::reload(const Settings& inUse) const
{
    return read(&inUse);
}

SettingsFile::Loaded SettingsFile::read(const Settings* inUse) const
{
    Loaded loaded; // the defaults
    if (inUse)
        loaded.settings = *inUse;
    const auto unreadable = [&](const QString& reason) {
        loaded.report = inUse ? QStringLiteral("The settings file %1 cannot be read (%2); the settings in use are "
                                               "kept.")
                                    .arg(path_, reason)
                              : QStringLiteral("The settings file %1 cannot be read (%2); all the defaults are used.")
                                    .arg(path_, reason);
        return loaded;
    };
    if (!QFileInfo::exists(path_))
        return Loaded(); // no file: the defaults
    const QString reason = unreadableReason(path_);
    if (!reason.isEmpty())
        return unreadable(reason);

    QSettings file(path_, QSettings::IniFormat);
    useUtf8(file);
    QMap<QString, QString> values;
    const QStringList keys = file.allKeys(); // parses every section
    for (const QString& key : keys)
        values.insert(key, valueText(file.value(key)));
    if (file.status() == QSettings::AccessError)
        return unreadable(QStringLiteral("the system refused to read it"));

    QStringList report;
    if (file.status() == QSettings::FormatError)
        report.append(QStringLiteral("Some lines of the settings file %1 could not be read and were ignored; "
                                     "the settings on the other lines are used.")
                          .arg(path_));
    QVector<SettingsProblem> problems;
    loaded.settings = inUse ? settingsKeepingInUse(values, *inUse, &problems) : settingsFromValues(values, &problems);
    if (!problems.isEmpty())
        report.append(settingsProblemReport(path_, problems));
    loaded.report = report.join(QLatin1Char('\n'));
    return loaded;
}

bool SettingsFile::save(const Settings& settings, QString* error)
{
    return write(settings, valuesFromSettings(settings), {}, error);
}

bool SettingsFile::saveChanges(const Settings& before, const Settings& after, Settings* saved, QString* error)
{
    // A file that is not there gets every key, for the operator to find them all.
    if (!QFileInfo::exists(path_)) {
        if (!save(after, error))
            return false;
    } else {
        const SettingsChanges changes = settingsChanges(before, after);
        if (!changes.isEmpty() && !write(after, changes.values, changes.removed, error))
            return false;
    }
    if (saved)
        *saved = reload(after).settings;
    return true;
}

bool SettingsFile::write(const Settings& settings, const QMap<QString, QString>& values, const QStringList& removed,
                         QString* error)
{
    const QFileInfo info(path_);
    const bool existed = info.exists();
    const auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("The settings cannot be saved to %1: %2.%3")
                         .arg(path_, why,
                              existed ? QStringLiteral(" The file is unchanged.") : QStringLiteral(" No file was written."));
        return false;
    };

    const QMap<QString, QString> ours = valuesFromSettings(settings);
    QVector<SettingsProblem> problems;
    settingsFromValues(ours, &problems);
    if (!problems.isEmpty()) {
        const SettingsProblem& problem = problems.constFirst();
        return fail(QStringLiteral("%1 would be \"%2\", which is %3").arg(problem.key, problem.value, problem.reason));
    }

    if (info.isDir())
        return fail(QStringLiteral("it is a folder"));
    if (existed) {
        const QString reason = unreadableReason(path_);
        if (!reason.isEmpty())
            return fail(QStringLiteral("it cannot be read (%1), and saving would lose the settings it holds").arg(reason));
    }
    const QString folder = info.absolutePath();
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder))
        return fail(QStringLiteral("the folder %1 cannot be made (%2)").arg(folder, folderFailure(folder)));

    qint64 expectedSize = (existed ? info.size() : 0) + 512; // section headers, our keys, room to spare
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        expectedSize += it.key().size() + it.value().size() + 2;
    const QString probeFailure = probeFolder(folder, info.fileName(), expectedSize);
    if (!probeFailure.isEmpty())
        return fail(probeFailure);

    // Every key of the file, read first. Reading all its sections here, with
    // this reader alive while the writer writes, leaves the writer's status
    // to its write alone: QSettings keeps the first error it meets, and a line
    // it cannot read would hide a failed write.
    QSettings reader(path_, QSettings::IniFormat);
    useUtf8(reader);
    reader.allKeys();
    if (reader.status() == QSettings::AccessError)
        return fail(QStringLiteral("it cannot be read, and saving would lose the settings it holds"));

    QSettings writer(path_, QSettings::IniFormat);
    useUtf8(writer);
    writer.setAtomicSyncRequired(true); // through QSaveFile, never in place
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        writer.setValue(it.key(), it.value());
    for (const QString& key : removed)
        writer.remove(key);
    writer.sync();
    if (writer.status() != QSettings::NoError)
        return fail(QStringLiteral("the system refused to write it"));
    return true;
}

} // namespace tavelin
