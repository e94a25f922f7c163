// The readings store when things go wrong: damaged files set aside, stores
// that cannot be made, a disk without room. Tests run as root, so failures
// come from the shape of the path or from a file size limit, never from
// permissions.
#include "integration/store_rig.h"
#include "platform/qt/store_files.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <csignal>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace tavelin;
using namespace tavelin::test;

namespace {

using SqliteStoreFailureTest = StoreTest;

// Bytes that were never a store, with a journal beside them.
void writeForeignFiles(const QString& path)
{
    const QByteArray garbage = QByteArray("not a store ").repeated(400);
    for (const QString& file : {path, path + "-wal"}) {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(garbage);
    }
}

// A store whose header is intact and whose pages are not.
void writeStoreWithDamagedPages(const QString& path)
{
    {
        QString error;
        auto store = SqliteReadingsStore::open(path, &error);
        ASSERT_TRUE(store) << error.toStdString();
        for (int t = 0; t < 2000; ++t)
            store->append(readingAt(t));
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_GT(file.size(), 8 * 4096);
    file.seek(3 * 4096);
    file.write(QByteArray(3 * 4096, '\x5a'));
}

TEST_F(SqliteStoreFailureTest, ADamagedFileIsSetAsideWithItsJournalAndKeyAndAFreshStoreStarts)
{
    const struct {
        const char* name;
        void (*make)(const QString&);
        QStringList keptEndings;
    } rows[] = {
        {"not a database", writeForeignFiles, {"", "-wal"}},
        {"damaged pages, with the key that sealed them", writeStoreWithDamagedPages, {"", ".key"}},
    };
    const QString folder = QFileInfo(path).absolutePath();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QDir(folder).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(folder));
        row.make(path);
        const QByteArray damaged = contentsOf(path);
        EXPECT_FALSE(SqliteReadingsStore::openReadOnly(path, &error)) << "a reader changes nothing";
        EXPECT_EQ(contentsOf(path), damaged);

        auto store = openStore();
        ASSERT_TRUE(store);
        const QStringList kept = QDir(folder).entryList({"readings.db.damaged-*"});
        ASSERT_EQ(kept.size(), row.keptEndings.size()) << kept.join(' ').toStdString();
        EXPECT_TRUE(QRegularExpression("^readings\\.db\\.damaged-\\d{8}T\\d{6}Z$").match(kept[0]).hasMatch());
        for (int i = 0; i < kept.size(); ++i)
            EXPECT_EQ(kept[i], kept[0] + row.keptEndings[i]);
        const QString keptPath = folder + '/' + kept[0];
        EXPECT_EQ(contentsOf(keptPath), damaged);
        EXPECT_TRUE(store->notice().contains(keptPath)) << store->notice().toStdString();
        EXPECT_EQ(store->readingCount(), 0);
        EXPECT_EQ(store->append(readingAt(1000)), 1);
        EXPECT_EQ(store->setAsideAs(), keptPath);
        if (row.keptEndings.contains(".key")) // the new store seals with a key of its own
            EXPECT_NE(contentsOf(keptPath + ".key"), contentsOf(path + ".key"));
    }
}

TEST(StoreFiles, ASecondDamageInTheSameSecondTakesTheNextFreeName)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("readings.db");
    const QDateTime at(QDate(2026, 12, 9), QTime(2, 16, 5), Qt::UTC);
    for (const char* contents : {"first", "second"}) {
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(contents);
        out.close();
        QString error;
        EXPECT_FALSE(setAsideDamagedFile(path, at, &error).isEmpty()) << error.toStdString();
    }
    EXPECT_EQ(contentsOf(path + ".damaged-20261209T021605Z"), QByteArray("first"));
    EXPECT_EQ(contentsOf(path + ".damaged-20261209T021605Z-2"), QByteArray("second"));
    EXPECT_FALSE(QFile::exists(path));
}

// The renames as the folder saw them: the journals leave before the main
// file, so that a stop in between never leaves a main file at the path
// beside a journal that is no longer its own.
TEST(StoreFiles, TheJournalsAreSetAsideBeforeTheMainFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("readings.db");
    for (const QString& file : {path, path + "-wal", path + "-shm"})
        ASSERT_TRUE(QFile(file).open(QIODevice::WriteOnly));
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(inotify_add_watch(watch, QFile::encodeName(dir.path()).constData(), IN_MOVED_FROM), 0);
    QString error;
    EXPECT_FALSE(setAsideDamagedFile(path, QDateTime::currentDateTimeUtc(), &error).isEmpty()) << error.toStdString();

    QStringList moved;
    alignas(inotify_event) char buffer[4096];
    const ssize_t length = ::read(watch, buffer, sizeof buffer);
    for (ssize_t at = 0; at < length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        moved << QFile::decodeName(event->name);
        at += ssize_t(sizeof(inotify_event) + event->len);
    }
    ::close(watch);
    EXPECT_EQ(moved, QStringList({"readings.db-wal", "readings.db-shm", "readings.db"}));
}

TEST_F(SqliteStoreFailureTest, AStoreThatCannotBeMadeFailsWithItsReason)
{
    QFile blocker(dir.filePath("blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ASSERT_TRUE(QDir().mkpath(dir.filePath("folder/readings.db")));
    const struct {
        QString path;
        const char* reason;
    } rows[] = {
        {dir.filePath("blocker/state/readings.db"), "is not a folder"},
        {dir.filePath("folder/readings.db"), "cannot open the readings store"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path.toStdString());
        QString why;
        EXPECT_FALSE(SqliteReadingsStore::open(row.path, &why));
        EXPECT_TRUE(why.contains(row.reason)) << why.toStdString();
        EXPECT_FALSE(SqliteReadingsStore::openReadOnly(row.path, &why));
    }
    EXPECT_FALSE(SqliteReadingsStore::openReadOnly(path, &error));
    EXPECT_FALSE(QFile::exists(path)) << "a reader makes nothing";
}

TEST_F(SqliteStoreFailureTest, AFullDiskFailsTheWriteAndTheStoreGoesOnOnceThereIsRoom)
{
    auto store = openStore();
    ASSERT_TRUE(store);
    ASSERT_EQ(store->append(readingAt(1000)), 1);

    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto savedSignal = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = saved;
    limited.rlim_cur = std::max(QFileInfo(path).size(), QFileInfo(path + "-wal").size());
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    bool failed = false;
    for (int i = 0; i < 20 && !failed; ++i)
        failed = !store->append(readingAt(2000));
    const QString fullError = store->lastError();
    limited.rlim_cur = 0; // not one byte more: a fresh store cannot be made
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    QString openError;
    const bool openedAnother = SqliteReadingsStore::open(dir.filePath("other/readings.db"), &openError) != nullptr;
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedSignal);

    // Past the limit write(2) says EFBIG, which SQLite calls an I/O error;
    // a disk without room (ENOSPC) is "database or disk is full".
    EXPECT_TRUE(failed);
    EXPECT_EQ(fullError.toStdString(), "disk I/O error");
    EXPECT_FALSE(openedAnother);
    EXPECT_TRUE(openError.contains(dir.filePath("other/readings.db") + ": disk I/O error")) << openError.toStdString();
    const std::int64_t stored = store->readingCount();
    EXPECT_EQ(store->append(readingAt(3000)), stored + 1);
}

} // namespace
