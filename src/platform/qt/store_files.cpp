#include "platform/qt/store_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace tavelin {

namespace {

// The journals, and the key the rows are sealed with: a store set aside keeps its own.
const char* const kJournalEndings[] = {"-wal", "-shm", ".key"};

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool renameWithReason(const QString& from, const QString& to, QString* error)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    *error = QStringLiteral("cannot rename %1 to %2: %3").arg(from, to, systemReason(errno));
    return false;
}

bool anyTaken(const QString& base)
{
    if (QFileInfo::exists(base))
        return true;
    for (const char* ending : kJournalEndings) {
        if (QFileInfo::exists(base + QLatin1String(ending)))
            return true;
    }
    return false;
}

} // namespace

bool makeFolderFor(const QString& filePath, QString* error)
{
    const QString folder = QFileInfo(filePath).absolutePath();
    // From the top down, so the reason names the folder that could not be made.
    QString made;
    for (const QString& part : folder.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        made += QLatin1Char('/') + part;
        if (QFileInfo(made).isDir() || ::mkdir(QFile::encodeName(made).constData(), 0755) == 0)
            continue;
        const int reason = errno;
        if (QFileInfo::exists(made))
            *error = QStringLiteral("cannot make the folder %1: %2 is not a folder").arg(folder, made);
        else
            *error = QStringLiteral("cannot make the folder %1: %2").arg(made, systemReason(reason));
        return false;
    }
    return true;
}

bool isForeignFile(const QString& path)
{
    static const QByteArray kSqliteHeader("SQLite format 3", 16); // with its closing zero
    QFile file(path);
    if (file.size() == 0 || !file.open(QIODevice::ReadOnly))
        return false; // a missing or empty file becomes a new store; SQLite reports the rest
    return file.read(kSqliteHeader.size()) != kSqliteHeader;
}

QString damagedFileName(const QString& path, const QDateTime& utcNow)
{
    return path + QStringLiteral(".damaged-")
           + utcNow.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
}

QString setAsideDamagedFile(const QString& path, const QDateTime& utcNow, QString* error)
{
    const QString stamped = damagedFileName(path, utcNow);
    QString target = stamped;
    for (int n = 2; anyTaken(target); ++n)
        target = stamped + QStringLiteral("-%1").arg(n);

    // The journals first: stopped in between, the main file is left without
    // its journal, never a fresh store beside an old one that SQLite would
    // read into it.
    for (const char* ending : kJournalEndings) {
        const QString journal = path + QLatin1String(ending);
        if (QFileInfo::exists(journal) && !renameWithReason(journal, target + QLatin1String(ending), error))
            return QString();
    }
    if (!renameWithReason(path, target, error))
        return QString();
    return target;
}

} // namespace tavelin
