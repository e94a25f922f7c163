// The Logging switch and the setup dialog, driven through their handlers and
// real clicks, with the log file, timer, file dialog and boxes faked.
#include "fakes/fake_file_dialog.h"
#include "fakes/fake_message_box.h"
#include "fakes/fake_text_file_channel.h"
#include "fakes/fake_wall_clock.h"
#include "fakes/fake_window_timer.h"
#include "logging/frm_loggingflow.h"
#include "logging/log_writer.h"
#include "logging/logging_switch.h"
#include "platform/status_panel.h"
#include "sensor/measurement_state.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QTest>
#include <gtest/gtest.h>

using namespace tavelin;
using namespace tavelin::test;

namespace {

const QString kNoInterval = QStringLiteral("Please enter a time interval for the log file");

class MemoryStatusPanel : public StatusPanel {
public:
    QString text() const override { return text_; }
    void setText(const QString& text) override { text_ = text; }

private:
    QString text_;
};

struct LoggingBench {
    FakeTextFileChannel channel;
    FakeWallClock clock{QDate(2026, 12, 7), QTime(14, 5, 9)};
    MeasurementState state;
    FakeWindowTimer tmrLogger;
    FakeMessageBox messages;
    FakeFileDialog files;
    MemoryStatusPanel panel;
    QWidget window; // the dialog's parent, as the main window is
    LogWriter writer{channel, clock, state, [] { return QStringLiteral("000"); }, tmrLogger, messages,
                     QLocale::c()};
    LoggingSwitch loggingSwitch{writer, panel, files, &window};

    LoggingBench() { tmrLogger.setEnabled(true); } // as at start-up: enabled, interval 0

    FrmLoggingflow& switchOnAndGetDialog()
    {
        loggingSwitch.valueChanged(true);
        return *window.findChild<FrmLoggingflow*>();
    }
    // A control of the dialog, found by its design name.
    QAbstractButton* button(const QString& name) { return window.findChild<QAbstractButton*>(name); }
    QComboBox* cmbInterval() { return window.findChild<QComboBox*>(QStringLiteral("cmbInterval")); }
    void click(const QString& name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    // "Write to File", a file chosen with Select File, then Append (0) or Overwrite (1).
    void chooseFile(const QString& path, int mode)
    {
        click(QStringLiteral("optDatafile1"));
        files.answer = path;
        click(QStringLiteral("cmdSelect"));
        click(QStringLiteral("optAppend%1").arg(mode));
    }
    void switchOff() { loggingSwitch.valueChanged(false); }
};

TEST(LoggingDialog, FirstShowingOffersNoSaveWithoutInterval)
{
    LoggingBench b;
    FrmLoggingflow& d = b.switchOnAndGetDialog();

    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Logger"));
    EXPECT_TRUE(b.button("optDatafile0")->isChecked());
    EXPECT_FALSE(b.button("optAppend0")->isEnabled());
    EXPECT_FALSE(b.button("optAppend1")->isEnabled());
    EXPECT_FALSE(b.button("cmdSelect")->isEnabled());
    EXPECT_TRUE(b.button("cmdExit")->isEnabled());
    EXPECT_EQ(b.cmbInterval()->currentIndex(), -1);
    ASSERT_EQ(b.cmbInterval()->count(), 8);
    EXPECT_EQ(b.cmbInterval()->itemText(0), QStringLiteral("60"));
}

TEST(LoggingDialog, OkAtOnceWarnsThenStartsTheTimerWithoutInterval)
{
    LoggingBench b;
    FrmLoggingflow& d = b.switchOnAndGetDialog();
    b.click("cmdExit");

    EXPECT_EQ(b.messages.prompts, QStringList({kNoInterval}));
    EXPECT_FALSE(d.isVisible());
    EXPECT_TRUE(b.tmrLogger.isEnabled());
    EXPECT_EQ(b.tmrLogger.interval(), 0);
    EXPECT_EQ(b.panel.text(), QStringLiteral("  "));
    EXPECT_TRUE(b.channel.events.isEmpty()) << "No Save opens no file";
}

TEST(LoggingDialog, WriteToFileNeedsAFileAndAModeBeforeOkDoesAnything)
{
    LoggingBench b;
    FrmLoggingflow& d = b.switchOnAndGetDialog();
    b.click("optDatafile1");
    EXPECT_FALSE(b.button("cmdExit")->isEnabled());
    EXPECT_TRUE(b.button("cmdSelect")->isEnabled());
    EXPECT_TRUE(b.button("optAppend0")->isEnabled());

    b.files.answer = QStringLiteral("/data/run 1, A.txt");
    b.click("cmdSelect");
    EXPECT_EQ(b.files.filters, QStringList({QStringLiteral("All Files (*.*) |*.*")}));
    EXPECT_EQ(b.files.presets, QStringList({QString()}));
    EXPECT_TRUE(b.files.createPrompts.at(0));
    EXPECT_TRUE(b.button("cmdExit")->isEnabled());

    b.cmbInterval()->setCurrentIndex(6);
    b.tmrLogger.setEnabled(false);
    b.click("cmdExit"); // neither Append nor Overwrite: nothing happens
    EXPECT_TRUE(d.isVisible());
    EXPECT_TRUE(b.messages.prompts.isEmpty());
    EXPECT_TRUE(b.channel.events.isEmpty());
    EXPECT_FALSE(b.tmrLogger.isEnabled());
    EXPECT_EQ(b.tmrLogger.interval(), 0);

    b.click("optAppend1");
    b.click("cmdExit");
    EXPECT_EQ(b.channel.events, QStringList({QStringLiteral("open /data/run 1, A.txt")}));
    EXPECT_TRUE(b.channel.files.value(QStringLiteral("/data/run 1, A.txt")).contains("Log File: /data/run 1, A.txt"));
    EXPECT_EQ(b.tmrLogger.interval(), 1000);
    EXPECT_TRUE(b.tmrLogger.isEnabled());
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(b.panel.text(), QStringLiteral("  /data/run 1, A.txt"));
}

TEST(LoggingDialog, BackToNoSaveKeepsModeAndPathAndAppendsThePath)
{
    LoggingBench b;
    b.switchOnAndGetDialog();
    b.chooseFile(QStringLiteral("/tmp/flow.txt"), 0);
    b.click("optDatafile0");

    EXPECT_FALSE(b.button("optAppend0")->isEnabled());
    EXPECT_TRUE(b.button("optAppend0")->isChecked()) << "a disabled option keeps its selection";
    EXPECT_FALSE(b.button("cmdSelect")->isEnabled());
    EXPECT_TRUE(b.button("cmdExit")->isEnabled());

    b.cmbInterval()->setCurrentIndex(7);
    b.click("cmdExit");
    EXPECT_TRUE(b.channel.events.isEmpty());
    EXPECT_EQ(b.tmrLogger.interval(), 500);
    EXPECT_EQ(b.panel.text(), QStringLiteral("  /tmp/flow.txt"));
}

TEST(LoggingDialog, SecondRunKeepsSelectionsAndIntervalAndAppendsThePathAgain)
{
    LoggingBench b;
    FrmLoggingflow& d = b.switchOnAndGetDialog();
    b.chooseFile(QStringLiteral("/tmp/a.txt"), 0);
    b.cmbInterval()->setCurrentIndex(0);
    b.click("cmdExit");
    EXPECT_EQ(b.tmrLogger.interval(), 60000);

    b.switchOff();
    EXPECT_FALSE(b.tmrLogger.isEnabled());
    EXPECT_FALSE(b.channel.isOpen());
    EXPECT_EQ(b.tmrLogger.interval(), 60000);

    FrmLoggingflow& again = b.switchOnAndGetDialog();
    EXPECT_EQ(&again, &d) << "created once, shown again";
    EXPECT_TRUE(b.button("optDatafile1")->isChecked());
    EXPECT_TRUE(b.button("optAppend0")->isChecked());
    EXPECT_EQ(b.cmbInterval()->currentIndex(), 0);

    b.click("cmdExit");
    EXPECT_EQ(b.panel.text(), QStringLiteral("  /tmp/a.txt  /tmp/a.txt"));
}

TEST(LoggingDialog, MissingIntervalKeepsThePreviousRunsInterval)
{
    LoggingBench b;
    b.switchOnAndGetDialog();
    b.cmbInterval()->setCurrentIndex(4);
    b.click("cmdExit");
    b.switchOff();

    b.switchOnAndGetDialog();
    b.cmbInterval()->setCurrentIndex(-1);
    bool enabledWhileBoxOpen = true;
    b.messages.onShow = [&](const QString&) { enabledWhileBoxOpen = b.tmrLogger.isEnabled(); };
    b.click("cmdExit");
    EXPECT_EQ(b.messages.prompts, QStringList({kNoInterval}));
    EXPECT_FALSE(enabledWhileBoxOpen) << "the timer starts once the box is closed";
    EXPECT_EQ(b.tmrLogger.interval(), 5000);
    EXPECT_TRUE(b.tmrLogger.isEnabled());
}

TEST(LoggingDialog, OffWhileOpenLeavesTheDialogAndOkStillStartsLogging)
{
    LoggingBench b;
    FrmLoggingflow& d = b.switchOnAndGetDialog();
    b.cmbInterval()->setCurrentIndex(6);
    b.switchOff();
    EXPECT_TRUE(d.isVisible());
    EXPECT_FALSE(b.tmrLogger.isEnabled());

    b.click("cmdExit");
    EXPECT_TRUE(b.tmrLogger.isEnabled());
    EXPECT_EQ(b.tmrLogger.interval(), 1000);
}

TEST(LoggingDialog, CancelAfterAFileWasChosenReenablesOkForThatFile)
{
    LoggingBench b;
    b.switchOnAndGetDialog();
    b.click("optDatafile1");
    b.files.cancel = true;
    b.click("cmdSelect"); // cancel before any file: nothing changes
    EXPECT_FALSE(b.button("cmdExit")->isEnabled());

    b.files.cancel = false;
    b.files.answer = QStringLiteral("/tmp/b.txt");
    b.click("cmdSelect");
    b.click("optDatafile0");
    b.click("optDatafile1");
    EXPECT_FALSE(b.button("cmdExit")->isEnabled());

    b.files.cancel = true;
    b.click("cmdSelect");
    EXPECT_EQ(b.files.presets, QStringList({QString(), QString(), QStringLiteral("/tmp/b.txt")}));
    EXPECT_TRUE(b.button("cmdExit")->isEnabled());
    b.click(QStringLiteral("optAppend0"));
    b.click(QStringLiteral("cmdExit"));
    EXPECT_EQ(b.channel.events, QStringList({QStringLiteral("open /tmp/b.txt")}));
}

TEST(LoggingDialog, FileThatCannotBeOpenedIsReportedAndNothingStarts)
{
    LoggingBench b;
    FrmLoggingflow& d = b.switchOnAndGetDialog();
    b.tmrLogger.setEnabled(false);
    b.chooseFile(QStringLiteral("/no/such/folder/log.txt"), 1);
    b.cmbInterval()->setCurrentIndex(6);
    b.channel.openFailure = QStringLiteral("No such file or directory");
    b.click("cmdExit");

    ASSERT_EQ(b.messages.prompts.size(), 1);
    EXPECT_TRUE(b.messages.prompts[0].contains(QStringLiteral("/no/such/folder/log.txt")));
    EXPECT_TRUE(b.messages.prompts[0].contains(QStringLiteral("No such file or directory")));
    EXPECT_TRUE(d.isVisible());
    EXPECT_FALSE(b.tmrLogger.isEnabled());
    EXPECT_EQ(b.tmrLogger.interval(), 0);
    EXPECT_TRUE(b.panel.text().isEmpty());
}

TEST(LoggingDialog, ClosingThroughTheFrameHidesAndKeepsSelections)
{
    LoggingBench b;
    FrmLoggingflow& d = b.switchOnAndGetDialog();
    b.cmbInterval()->setCurrentIndex(3);
    d.close();
    EXPECT_FALSE(d.isVisible());
    EXPECT_FALSE(b.tmrLogger.interval() > 0) << "logging is not started";

    FrmLoggingflow& again = b.switchOnAndGetDialog();
    EXPECT_EQ(&again, &d);
    EXPECT_EQ(b.cmbInterval()->currentIndex(), 3);
}

TEST(LoggingDialog, HalfSecondEntryUsesTheLocaleDecimalSeparator)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    LoggingBench b;
    b.switchOnAndGetDialog();
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(b.cmbInterval()->itemText(7), QStringLiteral("0,5"));
    EXPECT_EQ(b.cmbInterval()->itemText(6), QStringLiteral("1"));
}

} // namespace
