// The Logging switch and the setup dialog, driven through their handlers and
// real clicks, with the log file, timer, file dialog and boxes faked.
#include "fakes/fake_file_dialog.h"
#include "fakes/fake_message_box.h"
#include "fakes/fake_text_file_channel.h"
#include "fakes/fake_wall_clock.h"
#include "fakes/fake_window_timer.h"
#include "logging/FrmLoggingflow.h"
#include "logging/log_writer.h"
#include "logging/logging_switch.h"
#include "platform/status_panel.h"
#include "sensor/measurement_state.h"

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
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
    bool switchOn = false;
    LogWriter writer{channel, clock, state, [] { return QStringLiteral("000"); }, tmrLogger, messages,
                     QLocale::c()};
    LoggingSwitch loggingSwitch{writer, tmrLogger, panel, files, messages, [this] { return switchOn; }, nullptr};

    LoggingBench() { tmrLogger.setEnabled(true); } // as at start-up: enabled, interval 0

    FrmLoggingflow& switchOnAndGetDialog()
    {
        switchOn = true;
        loggingSwitch.CWButton2_ValueChanged();
        return *loggingSwitch.dialog();
    }
    // "Write to File", a file chosen with Select File, then Append (0) or Overwrite (1).
    void chooseFile(FrmLoggingflow& d, const QString& path, int mode)
    {
        QTest::mouseClick(d.optDatafile[1], Qt::LeftButton);
        files.answer = path;
        QTest::mouseClick(d.cmdSelect, Qt::LeftButton);
        QTest::mouseClick(d.optAppend[mode], Qt::LeftButton);
    }
    void switchOff()
    {
        switchOn = false;
        loggingSwitch.CWButton2_ValueChanged();
    }
};

void click(QAbstractButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

TEST(LoggingDialog, FirstShowingOffersNoSaveWithoutInterval)
{
    LoggingBench b;
    FrmLoggingflow& d = b.switchOnAndGetDialog();

    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Logger"));
    EXPECT_TRUE(d.optDatafile[0]->isChecked());
    EXPECT_FALSE(d.optAppend[0]->isEnabled());
    EXPECT_FALSE(d.optAppend[1]->isEnabled());
    EXPECT_FALSE(d.cmdSelect->isEnabled());
    EXPECT_TRUE(d.cmdExit->isEnabled());
    EXPECT_EQ(d.cmbInterval->currentIndex(), -1);
    ASSERT_EQ(d.cmbInterval->count(), 8);
    EXPECT_EQ(d.cmbInterval->itemText(0), QStringLiteral("60"));
    EXPECT_TRUE(d.strLogFile.isEmpty());
}

TEST(LoggingDialog, OkAtOnceWarnsThenStartsTheTimerWithoutInterval)
{
    LoggingBench b;
    FrmLoggingflow& d = b.switchOnAndGetDialog();
    click(d.cmdExit);

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
    click(d.optDatafile[1]);
    EXPECT_FALSE(d.cmdExit->isEnabled());
    EXPECT_TRUE(d.cmdSelect->isEnabled());
    EXPECT_TRUE(d.optAppend[0]->isEnabled());

    b.files.answer = QStringLiteral("/data/run 1, A.txt");
    click(d.cmdSelect);
    EXPECT_EQ(b.files.filters, QStringList({QStringLiteral("All Files (*.*) |*.*")}));
    EXPECT_EQ(b.files.presets, QStringList({QString()}));
    EXPECT_TRUE(b.files.createPrompts.at(0));
    EXPECT_TRUE(d.cmdExit->isEnabled());

    d.cmbInterval->setCurrentIndex(6);
    b.tmrLogger.setEnabled(false);
    click(d.cmdExit); // neither Append nor Overwrite: nothing happens
    EXPECT_TRUE(d.isVisible());
    EXPECT_TRUE(b.messages.prompts.isEmpty());
    EXPECT_TRUE(b.channel.events.isEmpty());
    EXPECT_FALSE(b.tmrLogger.isEnabled());
    EXPECT_EQ(b.tmrLogger.interval(), 0);

    click(d.optAppend[1]);
    click(d.cmdExit);
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
    FrmLoggingflow& d = b.switchOnAndGetDialog();
    b.chooseFile(d, QStringLiteral("/tmp/flow.txt"), 0);
    click(d.optDatafile[0]);

    EXPECT_FALSE(d.optAppend[0]->isEnabled());
    EXPECT_TRUE(d.optAppend[0]->isChecked()) << "a disabled option keeps its selection";
    EXPECT_FALSE(d.cmdSelect->isEnabled());
    EXPECT_TRUE(d.cmdExit->isEnabled());

    d.cmbInterval->setCurrentIndex(7);
    click(d.cmdExit);
    EXPECT_TRUE(b.channel.events.isEmpty());
    EXPECT_EQ(b.tmrLogger.interval(), 500);
    EXPECT_EQ(b.panel.text(), QStringLiteral("  /tmp/flow.txt"));
}

TEST(LoggingDialog, SecondRunKeepsSelectionsAndIntervalAndAppendsThePathAgain)
{
    LoggingBench b;
    FrmLoggingflow& d = b.switchOnAndGetDialog();
    b.chooseFile(d, QStringLiteral("/tmp/a.txt"), 0);
    d.cmbInterval->setCurrentIndex(0);
    click(d.cmdExit);
    EXPECT_EQ(b.tmrLogger.interval(), 60000);

    b.switchOff();
    EXPECT_FALSE(b.tmrLogger.isEnabled());
    EXPECT_FALSE(b.writer.isFileOpen());
    EXPECT_EQ(b.tmrLogger.interval(), 60000);

    FrmLoggingflow& again = b.switchOnAndGetDialog();
    EXPECT_EQ(&again, &d) << "created once, shown again";
    EXPECT_TRUE(again.optDatafile[1]->isChecked());
    EXPECT_TRUE(again.optAppend[0]->isChecked());
    EXPECT_EQ(again.cmbInterval->currentIndex(), 0);
    EXPECT_EQ(again.strLogFile, QStringLiteral("/tmp/a.txt"));

    click(again.cmdExit);
    EXPECT_EQ(b.panel.text(), QStringLiteral("  /tmp/a.txt  /tmp/a.txt"));
}

TEST(LoggingDialog, MissingIntervalKeepsThePreviousRunsInterval)
{
    LoggingBench b;
    FrmLoggingflow& d = b.switchOnAndGetDialog();
    d.cmbInterval->setCurrentIndex(4);
    click(d.cmdExit);
    b.switchOff();

    b.switchOnAndGetDialog();
    d.cmbInterval->setCurrentIndex(-1);
    click(d.cmdExit);
    EXPECT_EQ(b.messages.prompts, QStringList({kNoInterval}));
    EXPECT_EQ(b.tmrLogger.interval(), 5000);
    EXPECT_TRUE(b.tmrLogger.isEnabled());
}

TEST(LoggingDialog, OffWhileOpenLeavesTheDialogAndOkStillStartsLogging)
{
    LoggingBench b;
    FrmLoggingflow& d = b.switchOnAndGetDialog();
    d.cmbInterval->setCurrentIndex(6);
    b.switchOff();
    EXPECT_TRUE(d.isVisible());
    EXPECT_FALSE(b.tmrLogger.isEnabled());

    click(d.cmdExit);
    EXPECT_TRUE(b.tmrLogger.isEnabled());
    EXPECT_EQ(b.tmrLogger.interval(), 1000);
}

TEST(LoggingDialog, CancelAfterAFileWasChosenReenablesOkForThatFile)
{
    LoggingBench b;
    FrmLoggingflow& d = b.switchOnAndGetDialog();
    click(d.optDatafile[1]);
    b.files.cancel = true;
    click(d.cmdSelect); // cancel before any file: nothing changes
    EXPECT_FALSE(d.cmdExit->isEnabled());
    EXPECT_TRUE(d.strLogFile.isEmpty());

    b.files.cancel = false;
    b.files.answer = QStringLiteral("/tmp/b.txt");
    click(d.cmdSelect);
    click(d.optDatafile[0]);
    click(d.optDatafile[1]);
    EXPECT_FALSE(d.cmdExit->isEnabled());

    b.files.cancel = true;
    click(d.cmdSelect);
    EXPECT_EQ(b.files.presets.last(), QStringLiteral("/tmp/b.txt"));
    EXPECT_TRUE(d.cmdExit->isEnabled());
    EXPECT_EQ(d.strLogFile, QStringLiteral("/tmp/b.txt"));
}

TEST(LoggingDialog, FileThatCannotBeOpenedIsReportedAndNothingStarts)
{
    LoggingBench b;
    FrmLoggingflow& d = b.switchOnAndGetDialog();
    b.tmrLogger.setEnabled(false);
    b.chooseFile(d, QStringLiteral("/no/such/folder/log.txt"), 1);
    d.cmbInterval->setCurrentIndex(6);
    b.channel.openFailure = QStringLiteral("No such file or directory");
    click(d.cmdExit);

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
    d.cmbInterval->setCurrentIndex(3);
    d.close();
    EXPECT_FALSE(d.isVisible());
    EXPECT_FALSE(b.tmrLogger.interval() > 0) << "logging is not started";

    FrmLoggingflow& again = b.switchOnAndGetDialog();
    EXPECT_EQ(&again, &d);
    EXPECT_EQ(again.cmbInterval->currentIndex(), 3);
}

TEST(LoggingDialog, HalfSecondEntryUsesTheLocaleDecimalSeparator)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    LoggingBench b;
    FrmLoggingflow& d = b.switchOnAndGetDialog();
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(d.cmbInterval->itemText(7), QStringLiteral("0,5"));
    EXPECT_EQ(d.cmbInterval->itemText(6), QStringLiteral("1"));
}

} // namespace
