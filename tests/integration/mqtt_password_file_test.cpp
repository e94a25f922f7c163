// The broker password from its file: the first line alone, and a file that
// others can read refused with the command that fixes it; without a file,
// from the service's systemd credential, by the same rules.
#include "platform/qt/mqtt_password_file.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <string>
#include <sys/stat.h>

using namespace tavelin;

namespace {

// Writes contents to path with the given mode, as an operator would.
void writeFile(const QString& path, const char* contents, mode_t mode)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
    file.close();
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
}

struct PasswordCase {
    const char* name;
    const char* contents; // nullptr: no file
    mode_t mode;
    bool usable;
    const char* password;
    const char* problem; // {file} for the file's path
};

class PasswordFile : public ::testing::TestWithParam<PasswordCase> {};

TEST_P(PasswordFile, ReadsThePrivateFileAndRefusesOthers)
{
    const PasswordCase& c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("mqtt-password"));
    if (c.contents)
        writeFile(path, c.contents, c.mode);
    QByteArray password("untouched");
    QString problem;
    EXPECT_EQ(readPasswordFile(path, &password, &problem), c.usable);
    if (c.usable) {
        EXPECT_EQ(password.toStdString(), c.password);
        return;
    }
    std::string expected = c.problem;
    for (auto at = expected.find("{file}"); at != std::string::npos; at = expected.find("{file}"))
        expected.replace(at, 6, path.toStdString());
    EXPECT_EQ(problem.toStdString(), expected);
    EXPECT_EQ(problem.indexOf(QStringLiteral("s3cret")), -1);
}

const char kShared[] = "the password file {file} can be read by others than its owner, so it is not used; make it "
                       "private with: chmod 600 {file}";

INSTANTIATE_TEST_SUITE_P(
    Files, PasswordFile,
    ::testing::Values(PasswordCase{"FirstLineWithoutItsEnd", "s3cret\nsecond line\n", 0600, true, "s3cret", ""},
                      PasswordCase{"WindowsLineEnd", "s3cret\r\n", 0400, true, "s3cret", ""},
                      PasswordCase{"NoLineEnd", "s3cret", 0600, true, "s3cret", ""},
                      PasswordCase{"Empty", "", 0600, true, "", ""},
                      PasswordCase{"GroupReads", "s3cret\n", 0640, false, "", kShared},
                      PasswordCase{"OthersRead", "s3cret\n", 0604, false, "", kShared},
                      PasswordCase{"GroupWrites", "s3cret\n", 0620, false, "", kShared},
                      PasswordCase{"Missing", nullptr, 0, false, "",
                                   "the password file {file} cannot be read: No such file or directory"}),
    [](const ::testing::TestParamInfo<PasswordCase>& info) { return std::string(info.param.name); });

struct CredentialCase {
    const char* name;
    const char* file;       // password_file's contents; nullptr: password_file not set
    const char* credential; // mqtt-password's contents; nullptr: none given
    mode_t credentialMode;
    bool directory;         // $CREDENTIALS_DIRECTORY set
    bool usable;
    const char* password;
    const char* problem;    // {credential} for the credential's path
};

class BrokerPassword : public ::testing::TestWithParam<CredentialCase> {};

TEST_P(BrokerPassword, ThePasswordFileElseTheCredentialEmptyMeaningNone)
{
    const CredentialCase& c = GetParam();
    QTemporaryDir dir;
    const QString file = c.file ? dir.filePath(QStringLiteral("password")) : QString();
    if (c.file)
        writeFile(file, c.file, 0600);
    const QString credential = dir.filePath(QLatin1String(kPasswordCredential));
    if (c.credential)
        writeFile(credential, c.credential, c.credentialMode);
    if (c.directory)
        qputenv("CREDENTIALS_DIRECTORY", QFile::encodeName(dir.path()));
    else
        qunsetenv("CREDENTIALS_DIRECTORY");
    QByteArray password("untouched");
    QString problem;
    EXPECT_EQ(readBrokerPassword(file, &password, &problem), c.usable);
    qunsetenv("CREDENTIALS_DIRECTORY");
    if (c.usable) {
        EXPECT_EQ(password.toStdString(), c.password);
        return;
    }
    std::string expected = c.problem;
    expected.replace(expected.find("{credential}"), 12, credential.toStdString());
    EXPECT_EQ(problem.toStdString().substr(0, expected.size()), expected);
    EXPECT_EQ(problem.indexOf(QStringLiteral("s3cret")), -1);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, BrokerPassword,
    ::testing::Values(CredentialCase{"FileBeforeCredential", "s3cret\n", "other\n", 0400, true, true, "s3cret", ""},
                      CredentialCase{"Credential", nullptr, "s3cret\n", 0400, true, true, "s3cret", ""},
                      CredentialCase{"EmptyCredentialIsNone", nullptr, "", 0400, true, true, "", ""},
                      CredentialCase{"NoCredentialIsNone", nullptr, nullptr, 0, true, true, "", ""},
                      CredentialCase{"NoDirectoryIsNone", nullptr, "s3cret\n", 0400, false, true, "", ""},
                      CredentialCase{"SharedCredential", nullptr, "s3cret\n", 0440, true, false, "",
                                     "the password file {credential} can be read by others than its owner"}),
    [](const ::testing::TestParamInfo<CredentialCase>& info) { return std::string(info.param.name); });

} // namespace
