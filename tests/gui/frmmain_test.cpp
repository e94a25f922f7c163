// The instrument window: start-up state, the operator's controls and what they
// do to sampling and the total, the readouts, and teardown. Real widgets and
// clicks; the port, clock, file and boxes are fakes, timer ticks are handler calls.
#include "fakes/fake_counter.h"
#include "fakes/fake_file_dialog.h"
#include "fakes/fake_message_box.h"
#include "fakes/fake_serial_port.h"
#include "fakes/fake_text_file_channel.h"
#include "fakes/fake_wall_clock.h"
#include "logging/FrmLoggingflow.h"
#include "logging/logging_switch.h"
#include "platform/status_bar.h"
#include "platform/twips.h"
#include "platform/widgets/cw_button.h"
#include "platform/widgets/cw_knob.h"
#include "platform/widgets/cw_slide.h"
#include "ui/main/frmmain.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

using namespace tavelin;
using namespace tavelin::test;

namespace {

struct Window {
    FakeSerialPort port;
    FakeMillisecondCounter counter;
    FakeMessageBox messages;
    FakeTextFileChannel channel;
    FakeWallClock clock{QDate(2026, 12, 8), QTime(9, 0, 0)};
    FakeFileDialog files;
    QList<QByteArray> replies;
    std::unique_ptr<frmmain> w;

    Window()
    {
        port.close();
        port.onWrite = [this](const QByteArray&) {
            if (!replies.isEmpty())
                port.arrive(replies.takeFirst());
        };
        w = std::make_unique<frmmain>(frmmain::Services{port, counter, messages, channel, clock, files});
        w->Form_Load();
        w->show();
    }
    void tick(const QByteArray& reply)
    {
        replies.append(reply);
        w->tmrRd_Timer();
    }
    void click(CWButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
};

TEST(MainWindow, StartsWithZeroReadoutsAndSamplingOff)
{
    Window m;
    EXPECT_TRUE(m.port.isOpen()) << "the load handler opens the port";
    EXPECT_EQ(m.w->windowTitle(), QStringLiteral("Veltrane Ver. 1.0.0 \\ Comm1@19200"));
    EXPECT_EQ(m.w->lblHz->text(), QStringLiteral("000"));
    EXPECT_EQ(m.w->lblLitersPerMin->text(), QStringLiteral("000"));
    EXPECT_EQ(m.w->liters->text(), QStringLiteral("000"));
    EXPECT_EQ(m.w->CWSlide1->value(), 0.0);
    EXPECT_EQ(m.w->CWSlide2->value(), 0.0);
    EXPECT_EQ(m.w->CWSlide2->axisMaximum(), 2.0) << "the knob's start is not applied";
    EXPECT_EQ(m.w->CWKnob1->Value(), 25.0);
    EXPECT_FALSE(m.w->tmrRd().isEnabled());
    EXPECT_EQ(m.w->tmrRd().interval(), 1000);
    EXPECT_TRUE(m.w->tmrLogger().isEnabled());
    EXPECT_EQ(m.w->tmrLogger().interval(), 0);
    EXPECT_FALSE(m.w->tmrLogger().isRunning()) << "interval 0 never ticks";
    EXPECT_TRUE(m.w->StatusBar1().text().isEmpty());
    EXPECT_EQ(m.w->loggingSwitch().dialog(), nullptr);
    EXPECT_TRUE(m.port.written.isEmpty());
    EXPECT_TRUE(m.messages.prompts.isEmpty());
}

TEST(MainWindow, StartEnablesSamplingAndATickSendsTheReadCommand)
{
    Window m;
    m.click(m.w->CWButton1);
    EXPECT_TRUE(m.w->CWButton1->Value());
    EXPECT_TRUE(m.w->tmrRd().isEnabled());
    EXPECT_TRUE(m.w->tmrRd().isRunning());
    EXPECT_TRUE(m.port.written.isEmpty()) << "the first cycle comes one interval later";

    m.tick("*+00072.00\r");
    EXPECT_EQ(m.port.written, QByteArray("$?RD\r"));
    EXPECT_EQ(m.w->lblHz->text(), QStringLiteral("72"));
    EXPECT_EQ(m.w->lblLitersPerMin->text(), QStringLiteral("0.63"));
    EXPECT_EQ(m.w->liters->text(), QStringLiteral("0.01"));
    EXPECT_DOUBLE_EQ(m.w->CWSlide1->value(), 0.63);
    EXPECT_DOUBLE_EQ(m.w->CWSlide2->value(), 0.01);

    m.click(m.w->CWButton1);
    EXPECT_FALSE(m.w->tmrRd().isEnabled());
    EXPECT_EQ(m.w->tmrRd().interval(), 1000);
}

TEST(MainWindow, StopAndStartAgainKeepsTheTotal)
{
    Window m;
    m.click(m.w->CWButton1);
    m.tick("*+06900.00\r");
    m.click(m.w->CWButton1);
    m.click(m.w->CWButton1);
    m.tick("*+06900.00\r");
    EXPECT_DOUBLE_EQ(m.w->state().dblPulseTotal, 13800.0);
    EXPECT_EQ(m.w->liters->text(), QStringLiteral("2"));
}

TEST(MainWindow, ResetZeroesThePulseTotalAndTheShownTotalFollowsAtTheNextCycle)
{
    Window m;
    m.tick("*+06900.00\r");
    m.tick("*+06900.00\r");
    ASSERT_EQ(m.w->liters->text(), QStringLiteral("2"));

    QSignalSpy changes(m.w->CWButton3, &CWButton::ValueChanged);
    m.click(m.w->CWButton3);
    EXPECT_EQ(changes.count(), 2) << "momentary: on while pressed, off on release";
    EXPECT_FALSE(m.w->CWButton3->Value());
    EXPECT_EQ(m.w->state().dblPulseTotal, 0.0);
    EXPECT_EQ(m.w->liters->text(), QStringLiteral("2")) << "nothing else changes at reset";
    EXPECT_DOUBLE_EQ(m.w->CWSlide2->value(), 2.0);
    EXPECT_DOUBLE_EQ(m.w->state().dblTotalLiters, 2.0);

    m.tick("*+00345.00\r");
    EXPECT_EQ(m.w->liters->text(), QStringLiteral("0.05"));
}

TEST(MainWindow, TurningTheKnobSetsTheTotalGaugesFullScale)
{
    Window m;
    m.tick("*+20700.00\r"); // 3 liters: beyond the starting scale of 2
    m.w->CWKnob1->setFocus();
    QTest::keyClick(m.w->CWKnob1, Qt::Key_End);
    EXPECT_EQ(m.w->CWKnob1->Value(), 400.0);
    EXPECT_EQ(m.w->CWSlide2->axisMaximum(), 400.0);
    QTest::keyClick(m.w->CWKnob1, Qt::Key_Home);
    EXPECT_EQ(m.w->CWSlide2->axisMaximum(), 25.0);
    EXPECT_EQ(m.w->CWSlide2->axisMinimum(), 0.0);
    EXPECT_DOUBLE_EQ(m.w->CWSlide2->value(), 3.0) << "the pointer keeps the current total";
    EXPECT_EQ(m.w->CWSlide1->axisMaximum(), 5.0);
}

TEST(MainWindow, ReadoutsUseTheLocaleDecimalSeparator)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    Window m;
    QLocale::setDefault(QLocale::c());
    m.tick("*+00862.50\r");
    EXPECT_EQ(m.w->lblHz->text(), QStringLiteral("862,5"));
    EXPECT_EQ(m.w->lblLitersPerMin->text(), QStringLiteral("7,5"));
    EXPECT_EQ(m.w->liters->text(), QStringLiteral("0,12"));
}

TEST(MainWindow, PortThatCannotBeOpenedIsReportedAndCyclesMeetAClosedPort)
{
    FakeSerialPort port;
    port.close();
    port.openSucceeds = false;
    FakeMillisecondCounter counter;
    FakeMessageBox messages;
    FakeTextFileChannel channel;
    FakeWallClock clock;
    FakeFileDialog files;
    frmmain w({port, counter, messages, channel, clock, files});
    w.Form_Load();
    ASSERT_EQ(messages.prompts.size(), 1);
    EXPECT_TRUE(messages.prompts[0].contains(QStringLiteral("/dev/fake")));
    EXPECT_TRUE(messages.prompts[0].contains(QStringLiteral("No such file or directory")));

    w.tmrRd_Timer();
    EXPECT_EQ(messages.prompts.mid(1), QStringList({QStringLiteral("Port Not open"),
                                                    QStringLiteral("NO VALID RETURN FROM pH MODULE")}));
    EXPECT_EQ(w.lblHz->text(), QStringLiteral("000"));
}

TEST(MainWindow, ControlsSitAtTheirPlacesAndTheStatusBarFollowsTheBottom)
{
    Window m;
    const int dpi = m.w->logicalDpiX();
    EXPECT_EQ(m.w->CWSlide1->geometry(), twipsRect(2160, 180, 1272, 4272, dpi));
    EXPECT_EQ(m.w->CWKnob1->geometry(), twipsRect(180, 2880, 1632, 1572, dpi));
    EXPECT_EQ(m.w->CWButton3->geometry(), twipsRect(3780, 4620, 1092, 312, dpi));
    EXPECT_EQ(m.w->lblHz->geometry(), twipsRect(60, 240, 1452, 492, dpi));
    EXPECT_EQ(m.w->size(), QSize(twipsToPixels(5280, dpi), twipsToPixels(5340, dpi)));

    m.w->resize(800, 600);
    QApplication::processEvents();
    EXPECT_EQ(m.w->CWSlide2->geometry(), twipsRect(3780, 180, 1272, 4272, dpi));
    const QRect bar = m.w->StatusBar1().geometry();
    EXPECT_EQ(bar.bottom(), 599);
    EXPECT_EQ(bar.width(), 800);
}

TEST(MainWindow, TabOrderRunsGaugesSwitchesKnob)
{
    Window m;
    QApplication::setActiveWindow(m.w.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(m.w.get()));
    QWidget* expected[] = {m.w->CWSlide1, m.w->CWSlide2, m.w->CWButton1, m.w->CWButton2, m.w->CWButton3,
                           m.w->CWKnob1, m.w->CWSlide1};
    m.w->CWSlide1->setFocus(Qt::TabFocusReason);
    for (int i = 1; i < 7; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* focused = QApplication::focusWidget();
        ASSERT_NE(focused, nullptr);
        EXPECT_TRUE(focused == expected[i] || expected[i]->isAncestorOf(focused))
            << "step " << i << ": " << focused->objectName().toStdString();
    }
}

TEST(MainWindow, ClosingStopsTimersClosesLogFileAndPortAndTheDialog)
{
    Window m;
    m.click(m.w->CWButton1);
    m.click(m.w->CWButton2); // Logging on: the dialog comes up
    FrmLoggingflow* dialog = m.w->loggingSwitch().dialog();
    ASSERT_NE(dialog, nullptr);
    QTest::mouseClick(dialog->optDatafile[1], Qt::LeftButton);
    m.files.answer = QStringLiteral("/logs/a.txt");
    QTest::mouseClick(dialog->cmdSelect, Qt::LeftButton);
    QTest::mouseClick(dialog->optAppend[1], Qt::LeftButton);
    dialog->cmbInterval->setCurrentIndex(6);
    QTest::mouseClick(dialog->cmdExit, Qt::LeftButton);
    ASSERT_TRUE(m.w->logWriter().isFileOpen());
    m.w->tmrLogger_Timer();
    EXPECT_TRUE(m.channel.files.value(QStringLiteral("/logs/a.txt")).endsWith("\"09:00:00\",0,0,\"000\"\r\n"));

    QSignalSpy closed(m.w.get(), &frmmain::closed);
    m.w->close();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(m.w->tmrRd().isRunning());
    EXPECT_FALSE(m.w->tmrLogger().isRunning());
    EXPECT_FALSE(m.w->logWriter().isFileOpen());
    EXPECT_EQ(m.channel.events.last(), QStringLiteral("close /logs/a.txt"));
    EXPECT_FALSE(m.port.isOpen());
    EXPECT_EQ(m.w->loggingSwitch().dialog(), nullptr);
}

} // namespace
