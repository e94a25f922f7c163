// The settings file on the file system: loading what is there (nothing, good
// values, a bad value, lines QSettings cannot read, a file that cannot be
// read), saving beside other programs' keys, failures that leave the old file,
// and reading that never writes. Tests run as root, whom permissions do not
// stop: the permission rows run in a child process as the user nobody.
#include "platform/qt/settings_file.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <grp.h>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tavelin;

namespace {

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void makeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

Settings settings(double k, bool keep, double days)
{
    Settings s;
    s.sensor.pulsesPerLiter = k;
    s.sensor.keepTotal = keep;
    s.store.retentionDays = days;
    return s;
}

void expectSettings(const Settings& actual, const Settings& expected)
{
    EXPECT_EQ(actual.sensor.pulsesPerLiter, expected.sensor.pulsesPerLiter);
    EXPECT_EQ(actual.sensor.keepTotal, expected.sensor.keepTotal);
    EXPECT_EQ(actual.store.retentionDays, expected.store.retentionDays);
}

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

constexpr uid_t kNobody = 65534;

// Runs work as the user nobody when the tests run as root, in a child
// process, and returns what it returned; in this process otherwise. Empty
// optional, with *why, when the child cannot become nobody.
std::optional<std::string> runUnprivileged(const std::function<std::string()>& work, std::string* why)
{
    if (::geteuid() != 0)
        return work();
    int fds[2];
    if (::pipe(fds) != 0) {
        *why = "no pipe";
        return std::nullopt;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        std::string out;
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            out = std::string(1, '\x01') + "cannot become nobody: " + std::strerror(errno);
        else
            out = work();
        for (size_t done = 0; done < out.size();) {
            const ssize_t n = ::write(fds[1], out.data() + done, out.size() - done);
            if (n <= 0)
                break;
            done += size_t(n);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string out;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, size_t(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status)) {
        *why = "the child process did not end normally";
        return std::nullopt;
    }
    if (!out.empty() && out[0] == '\x01') {
        *why = out.substr(1);
        return std::nullopt;
    }
    return out;
}

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // The user nobody has to reach into the folder (QTemporaryDir makes it 0700).
        ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                         QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                                         QFile::ExeOther));
    }
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
};

// --- Loading -----------------------------------------------------------------

struct LoadCase {
    const char* name;
    enum Shape { Missing, File, Folder } shape;
    const char* content;
    Settings expected;
    const char* report; // {file} stands for the file's path
};

class Load : public SettingsFileTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(Load, GivesTheUsableValuesAndReportsTheRest)
{
    const LoadCase& c = GetParam();
    const QString file = path(QStringLiteral("conf/tavelin.conf"));
    if (c.shape != LoadCase::Missing) {
        ASSERT_TRUE(QDir().mkpath(c.shape == LoadCase::Folder ? file : QFileInfo(file).absolutePath()));
    }
    if (c.shape == LoadCase::File)
        makeFile(file, c.content);
    const QByteArray before = contentsOf(file);
    const QDateTime modified = QFileInfo(file).lastModified();

    const SettingsFile::Loaded loaded = SettingsFile(file).load();

    expectSettings(loaded.settings, c.expected);
    EXPECT_EQ(loaded.report.toStdString(), replaced(c.report, "{file}", file.toStdString()));
    // Reading writes nothing and makes nothing.
    EXPECT_EQ(QFileInfo::exists(file), c.shape != LoadCase::Missing);
    EXPECT_EQ(QFileInfo::exists(QFileInfo(file).absolutePath()), c.shape != LoadCase::Missing);
    if (c.shape == LoadCase::File) {
        EXPECT_EQ(contentsOf(file), before);
        EXPECT_EQ(QFileInfo(file).lastModified(), modified);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(),
              c.shape == LoadCase::Missing ? 0 : 1);
}

const char kHashReport[] = "Some lines of the settings file {file} could not be read and were ignored; the settings "
                           "on the other lines are used.";

INSTANTIATE_TEST_SUITE_P(
    Files, Load,
    ::testing::Values(
        LoadCase{"MissingFileAllDefaults", LoadCase::Missing, "", Settings{}, ""},
        LoadCase{"EmptyFile", LoadCase::File, "", Settings{}, ""},
        LoadCase{"GoodFile", LoadCase::File,
                 "[sensor]\npulses_per_liter=450.25\nkeep_total=yes\n\n[store]\nretention_days=0.5\n",
                 settings(450.25, true, 0.5), ""},
        LoadCase{"QuotesCommentsAndOtherSections", LoadCase::File,
                 "[historian]\nurl=http://x\n; a comment\n[sensor]\npulses_per_liter=\"5000\" ; from the data sheet\n"
                 "keep_total = TRUE\n",
                 settings(5000, true, 7), ""},
        LoadCase{"BadValue", LoadCase::File, "[sensor]\npulses_per_liter=abc\n[store]\nretention_days=3\n",
                 settings(6900, false, 3),
                 "The setting pulses_per_liter in [sensor] of {file} is \"abc\", which is not a number; 6900 is "
                 "used instead."},
        LoadCase{"CommaMakesAList", LoadCase::File, "[sensor]\npulses_per_liter=6,900\n", Settings{},
                 "The setting pulses_per_liter in [sensor] of {file} is \"6, 900\", which is not a number; 6900 is "
                 "used instead."},
        LoadCase{"TwoBadValues", LoadCase::File, "[sensor]\nkeep_total=maybe\n[store]\nretention_days=0\n",
                 Settings{},
                 "The setting keep_total in [sensor] of {file} is \"maybe\", which is neither true nor false "
                 "(true/false, yes/no or 1/0); false is used instead.\n"
                 "The setting retention_days in [store] of {file} is \"0\", which is out of range (greater than 0, "
                 "up to 36500); 7 is used instead."},
        LoadCase{"IntervalYearsBelowZero", LoadCase::File, "[store]\ninterval_years=-1\n", Settings{},
                 "The setting interval_years in [store] of {file} is \"-1\", which is out of range (0 or more, up to "
                 "1000); 10 is used instead."},
        LoadCase{"HashLineIsIgnoredTheRestRead", LoadCase::File,
                 "[sensor]\n# K from the data sheet\npulses_per_liter=5000\n[store]\nretention_days=2\n",
                 settings(5000, false, 2), kHashReport},
        LoadCase{"LineWithoutEquals", LoadCase::File, "[sensor]\npulses_per_liter=5000\nkeep_total\n",
                 settings(5000, false, 7), kHashReport},
        LoadCase{"HashLineAndBadValue", LoadCase::File, "# settings\n[sensor]\npulses_per_liter=-5\n", Settings{},
                 "Some lines of the settings file {file} could not be read and were ignored; the settings on the "
                 "other lines are used.\n"
                 "The setting pulses_per_liter in [sensor] of {file} is \"-5\", which is out of range (greater than "
                 "0, up to 10000000); 6900 is used instead."},
        LoadCase{"FolderAtThePath", LoadCase::Folder, "", Settings{},
                 "The settings file {file} cannot be read (it is a folder); all the defaults are used."}),
    [](const ::testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.name); });

TEST_F(SettingsFileTest, FileWithoutPermissionGivesTheDefaultsAndSaysSo)
{
    const QString file = path(QStringLiteral("tavelin.conf"));
    makeFile(file, "[sensor]\npulses_per_liter=450\n");
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0), 0);

    std::string why;
    const auto report = runUnprivileged(
        [&] {
            const SettingsFile::Loaded loaded = SettingsFile(file).load();
            return std::to_string(loaded.settings.sensor.pulsesPerLiter) + "|" + loaded.report.toStdString();
        },
        &why);
    if (!report)
        GTEST_SKIP() << "the row needs a user whom permissions stop: " << why;
    EXPECT_EQ(*report, "6900.000000|The settings file " + file.toStdString() +
                           " cannot be read (Permission denied); all the defaults are used.");
}

// --- Saving ------------------------------------------------------------------

// What a save writes for MQTT left off.
#define DEFAULT_MQTT_SECTION \
    "[mqtt]\nca_file=\ncert_file=\ndevice_id=\ndiscovery_prefix=homeassistant\ninsecure_skip_verify=false\n" \
    "key_file=\npassword_file=\ntopic_prefix=tavelin\nurl=\nusername=\n\n"

TEST_F(SettingsFileTest, SaveKeepsOtherKeysAndSectionsAndWritesOurValues)
{
    const QString file = path(QStringLiteral("tavelin.conf"));
    makeFile(file, "[historian]\nurl=http://x\ntopic=caf\xC3\xA9/flow\n\n[alarms]\nhigh=12.5\n\n"
                   "[sensor]\npulses_per_liter=6900\nfuture_key=kept\n");
    QString error;
    ASSERT_TRUE(SettingsFile(file).save(settings(450.25, true, 0.5), &error)) << error.toStdString();

    const QByteArray written = contentsOf(file);
    EXPECT_TRUE(written.contains("url=http://x\n")) << written.toStdString();
    EXPECT_TRUE(written.contains("topic=caf\xC3\xA9/flow\n")) << written.toStdString(); // UTF-8 as it was
    EXPECT_TRUE(written.contains("[alarms]\nhigh=12.5\n")) << written.toStdString();
    EXPECT_TRUE(written.contains("future_key=kept\n")) << written.toStdString();
    EXPECT_TRUE(written.contains("pulses_per_liter=450.25\n")) << written.toStdString();
    EXPECT_TRUE(written.contains("keep_total=true\n")) << written.toStdString();
    EXPECT_TRUE(written.contains("[store]\ninterval_years=10\nretention_days=0.5\n")) << written.toStdString();

    QSettings ini(file, QSettings::IniFormat);
    EXPECT_EQ(ini.value("historian/url").toString().toStdString(), "http://x");
    EXPECT_EQ(ini.value("alarms/high").toString().toStdString(), "12.5");

    const SettingsFile::Loaded loaded = SettingsFile(file).load();
    expectSettings(loaded.settings, settings(450.25, true, 0.5));
    EXPECT_EQ(loaded.report.toStdString(), "");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("tavelin.conf")}); // no probe, lock or temporary file left
}

TEST_F(SettingsFileTest, SaveMakesTheMissingFolderAndTheFile)
{
    const QString file = path(QStringLiteral("config/tavelin/tavelin.conf"));
    QString error;
    ASSERT_TRUE(SettingsFile(file).save(Settings{}, &error)) << error.toStdString();
    EXPECT_EQ(contentsOf(file), QByteArray(DEFAULT_MQTT_SECTION "[sensor]\nkeep_total=false\npulses_per_liter=6900\n\n"
                                                                "[store]\ninterval_years=10\nretention_days=7\n"));
}

TEST_F(SettingsFileTest, SaveOverAFileWithUnreadableLinesSucceeds)
{
    // QSettings keeps the first error it meets: the line it cannot read must
    // not be taken for a failed write.
    const QString file = path(QStringLiteral("tavelin.conf"));
    makeFile(file, "# my settings\n[historian]\nurl=http://x\n[sensor]\npulses_per_liter=1\n");
    QString error;
    ASSERT_TRUE(SettingsFile(file).save(settings(2, false, 7), &error)) << error.toStdString();
    const SettingsFile::Loaded loaded = SettingsFile(file).load();
    expectSettings(loaded.settings, settings(2, false, 7));
    EXPECT_EQ(loaded.report.toStdString(), ""); // the line is gone with the save
    EXPECT_TRUE(contentsOf(file).contains("url=http://x\n"));
}

TEST_F(SettingsFileTest, SavedValuesAreLoadedInTheSameProcess)
{
    const QString file = path(QStringLiteral("tavelin.conf"));
    SettingsFile settingsFile(file);
    QString error;
    for (double k : {1000.0, 2000.0, 3000.0, 4000.5}) {
        SCOPED_TRACE(k);
        ASSERT_TRUE(settingsFile.save(settings(k, k > 2500, k / 1000), &error)) << error.toStdString();
        expectSettings(settingsFile.load().settings, settings(k, k > 2500, k / 1000));
    }
}

// What a dialog saves: the keys it changed, over the file as it is now. A
// hand edit of another key made while the dialog was open stays, and is what
// the program runs with afterwards; a key the dialog changed takes the
// dialog's value; a dialog that changed nothing writes nothing.
struct ChangesCase {
    const char* name;
    const char* handEdit; // the file when OK is pressed; it held kStart when the dialog opened
    std::function<void(Settings*)> change;
    const char* written; // the file afterwards
    double k, days;      // the settings saved, as read back
};

const char kStart[] = "[sensor]\npulses_per_liter=5000\n\n[store]\nretention_days=7\n";

class SaveChanges : public SettingsFileTest, public ::testing::WithParamInterface<ChangesCase> {};

TEST_P(SaveChanges, WritesOnlyWhatTheDialogChangedOverTheFileAsItIsNow)
{
    const ChangesCase& c = GetParam();
    const QString file = path(QStringLiteral("tavelin.conf"));
    makeFile(file, kStart);
    SettingsFile settingsFile(file);
    const Settings before = settingsFile.load().settings;
    Settings after = before;
    c.change(&after);
    makeFile(file, c.handEdit);

    Settings saved;
    QString error;
    ASSERT_TRUE(settingsFile.saveChanges(before, after, &saved, &error)) << error.toStdString();
    EXPECT_EQ(contentsOf(file).toStdString(), c.written);
    EXPECT_EQ(saved.sensor.pulsesPerLiter, c.k);
    EXPECT_EQ(saved.store.retentionDays, c.days);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SaveChanges,
    ::testing::Values(
        ChangesCase{"HandEditOfAnotherKeyStays",
                    "; by hand\n[historian]\nurl=http://x\n[sensor]\npulses_per_liter=5000\n[store]\n"
                    "retention_days=30\n",
                    [](Settings* s) { s->sensor.pulsesPerLiter = 450.25; },
                    "[historian]\nurl=http://x\n\n[sensor]\npulses_per_liter=450.25\n\n[store]\nretention_days=30\n",
                    450.25, 30},
        ChangesCase{"TheDialogsKeyWinsOverAHandEditOfIt",
                    "[sensor]\npulses_per_liter=1234\n\n[store]\nretention_days=30\n",
                    [](Settings* s) { s->sensor.pulsesPerLiter = 450.25; },
                    "[sensor]\npulses_per_liter=450.25\n\n[store]\nretention_days=30\n", 450.25, 30},
        ChangesCase{"NothingChangedWritesNothingAndReadsTheFile",
                    "; by hand\n[sensor]\npulses_per_liter=1234\n",
                    [](Settings*) {}, "; by hand\n[sensor]\npulses_per_liter=1234\n", 1234, 7}),
    [](const ::testing::TestParamInfo<ChangesCase>& info) { return std::string(info.param.name); });

TEST_F(SettingsFileTest, SaveChangesRemovesTheKeysTheSettingsNoLongerWrite)
{
    const QString file = path(QStringLiteral("tavelin.conf"));
    makeFile(file, "[alarms]\nhigh_flow_l_min=2\nfuture=kept\n");
    SettingsFile settingsFile(file);
    const Settings before = settingsFile.load().settings;
    QString error;
    ASSERT_TRUE(settingsFile.saveChanges(before, Settings{}, nullptr, &error)) << error.toStdString();
    EXPECT_EQ(contentsOf(file).toStdString(), "[alarms]\nfuture=kept\n");
}

// A save that fails says why and leaves the old file as it was; the process
// then still reads the old file, and reading writes nothing.
struct FailureCase {
    const char* name;
    const char* fileName; // in the test folder
    enum Obstacle { PathIsFolder, FolderIsAFile, FileTooLarge } obstacle;
    const char* error; // {file}, {dir} stand for the file's path and the test folder
};

class SaveFailure : public SettingsFileTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(SaveFailure, SaysWhyAndLeavesTheOldFile)
{
    const FailureCase& c = GetParam();
    const QString file = path(QString::fromUtf8(c.fileName));
    const QByteArray old("[historian]\nurl=http://x\n\n[sensor]\npulses_per_liter=1234\n");
    switch (c.obstacle) {
    case FailureCase::PathIsFolder:
        ASSERT_TRUE(QDir().mkpath(file));
        break;
    case FailureCase::FolderIsAFile:
        makeFile(path(QStringLiteral("plain")), "not a folder");
        break;
    case FailureCase::FileTooLarge:
        makeFile(file, old);
        break;
    }
    const QByteArray before = contentsOf(file);

    QString error;
    bool saved = false;
    if (c.obstacle == FailureCase::FileTooLarge) { // the system refuses any file above 40 bytes, also to root
        struct rlimit saved_limit;
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved_limit), 0);
        const auto savedSignal = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limited = saved_limit;
        limited.rlim_cur = 40;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        saved = SettingsFile(file).save(settings(450.25, true, 0.5), &error);
        ::setrlimit(RLIMIT_FSIZE, &saved_limit);
        std::signal(SIGXFSZ, savedSignal);
    } else {
        saved = SettingsFile(file).save(settings(450.25, true, 0.5), &error);
    }

    EXPECT_FALSE(saved);
    // {n}: a count of bytes.
    const QString expected = QString::fromStdString(
        replaced(replaced(c.error, "{file}", file.toStdString()), "{dir}", dir.path().toStdString()));
    const QString pattern = QRegularExpression::escape(expected).replace(QStringLiteral("\\{n\\}"), QStringLiteral("[0-9]+"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^") + pattern + QStringLiteral("$")).match(error).hasMatch())
        << error.toStdString() << "\n is not\n" << expected.toStdString();
    EXPECT_EQ(contentsOf(file), before);
    if (c.obstacle == FailureCase::FileTooLarge) {
        // The failed save left nothing behind in this process: reading gives
        // the old file and does not write the unsaved values.
        const SettingsFile::Loaded loaded = SettingsFile(file).load();
        EXPECT_EQ(loaded.settings.sensor.pulsesPerLiter, 1234);
        EXPECT_EQ(contentsOf(file), old);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList{QStringLiteral("tavelin.conf")});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Obstacles, SaveFailure,
    ::testing::Values(
        FailureCase{"PathIsAFolder", "tavelin.conf", FailureCase::PathIsFolder,
                    "The settings cannot be saved to {file}: it is a folder. The file is unchanged."},
        FailureCase{"FolderCannotBeMade", "plain/tavelin/tavelin.conf", FailureCase::FolderIsAFile,
                    "The settings cannot be saved to {file}: the folder {dir}/plain/tavelin cannot be made "
                    "({dir}/plain is not a folder). No file was written."},
        FailureCase{"FileTooLarge", "tavelin.conf", FailureCase::FileTooLarge,
                    "The settings cannot be saved to {file}: the folder {dir} does not take a file of {n} bytes "
                    "(File too large). The file is unchanged."}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

// The folder that refuses new files: QSaveFile cannot place its temporary
// file, and a write in place is refused (atomic sync required).
TEST_F(SettingsFileTest, SaveIntoAReadOnlyFolderFailsAndLeavesTheOldFile)
{
    const QString folder = path(QStringLiteral("locked"));
    const QString file = folder + QStringLiteral("/tavelin.conf");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QByteArray old("[sensor]\npulses_per_liter=1234\n");
    makeFile(file, old);
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0666), 0); // the file itself may be written
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);

    std::string why;
    const auto result = runUnprivileged(
        [&] {
            QString error;
            const bool saved = SettingsFile(file).save(settings(450.25, true, 0.5), &error);
            const double k = SettingsFile(file).load().settings.sensor.pulsesPerLiter;
            return std::string(saved ? "saved" : "refused") + "|" + std::to_string(k) + "|" + error.toStdString();
        },
        &why);
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    if (!result)
        GTEST_SKIP() << "the row needs a user whom permissions stop: " << why;

    EXPECT_EQ(*result, "refused|1234.000000|The settings cannot be saved to " + file.toStdString() +
                           ": no new file can be made in the folder " + folder.toStdString() +
                           " (Permission denied). The file is unchanged.");
    EXPECT_EQ(contentsOf(file), old);
}

TEST_F(SettingsFileTest, SaveRefusesAFileItCannotReadRatherThanLoseItsKeys)
{
    const QString file = path(QStringLiteral("tavelin.conf"));
    const QByteArray old("[historian]\nurl=http://x\n");
    makeFile(file, old);
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0200), 0); // write only

    std::string why;
    const auto result = runUnprivileged(
        [&] {
            QString error;
            const bool saved = SettingsFile(file).save(Settings{}, &error);
            return std::string(saved ? "saved" : "refused") + "|" + error.toStdString();
        },
        &why);
    if (!result)
        GTEST_SKIP() << "the row needs a user whom permissions stop: " << why;

    EXPECT_EQ(*result, "refused|The settings cannot be saved to " + file.toStdString() +
                           ": it cannot be read (Permission denied), and saving would lose the settings it holds. "
                           "The file is unchanged.");
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0600), 0);
    EXPECT_EQ(contentsOf(file), old);
}

TEST_F(SettingsFileTest, SaveRefusesValuesThatCouldNotBeReadBack)
{
    const QString file = path(QStringLiteral("tavelin.conf"));
    QString error;
    EXPECT_FALSE(SettingsFile(file).save(settings(-1, false, 7), &error));
    EXPECT_EQ(error.toStdString(), "The settings cannot be saved to " + file.toStdString() +
                                       ": sensor/pulses_per_liter would be \"-1\", which is out of range (greater "
                                       "than 0, up to 10000000). No file was written.");
    EXPECT_FALSE(QFileInfo::exists(file));
}

// --- Where the file is ----------------------------------------------------------

struct PathCase {
    const char* name;
    const char* xdgConfigHome; // nullptr: unset
    const char* expected;      // {home} stands for the home folder
};

class DefaultPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(DefaultPath, FollowsXdgConfigHomeElseTheHomeFolder)
{
    const PathCase& c = GetParam();
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    const bool wasSet = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    if (c.xdgConfigHome)
        qputenv("XDG_CONFIG_HOME", c.xdgConfigHome);
    else
        qunsetenv("XDG_CONFIG_HOME");
    const std::string actual = SettingsFile::defaultPath().toStdString();
    if (wasSet)
        qputenv("XDG_CONFIG_HOME", saved);
    else
        qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(actual, replaced(c.expected, "{home}", QDir::homePath().toStdString()));
}

INSTANTIATE_TEST_SUITE_P(
    Environment, DefaultPath,
    ::testing::Values(PathCase{"Set", "/srv/cfg", "/srv/cfg/tavelin/tavelin.conf"},
                      PathCase{"Unset", nullptr, "{home}/.config/tavelin/tavelin.conf"},
                      PathCase{"Empty", "", "{home}/.config/tavelin/tavelin.conf"},
                      PathCase{"RelativeIsIgnored", "cfg", "{home}/.config/tavelin/tavelin.conf"}),
    [](const ::testing::TestParamInfo<PathCase>& info) { return std::string(info.param.name); });

TEST(SettingsFilePath, IsTheOneGiven)
{
    EXPECT_EQ(SettingsFile(QStringLiteral("/x/t.conf")).path().toStdString(), "/x/t.conf");
}

} // namespace
