// The alarms on the instrument window: an alarm turns the digits of its
// readouts red and names itself first in the title, without moving anything;
// assistive tools read it; Ctrl+K and Reset take alarms down; Settings OK
// brings the rules in; without a rule the panel and its menu are as they were.
#include "gui/main_window_rig.h"
#include "platform/qt/settings_file.h"
#include "ui/main/alarm_panel.h"
#include "ui/main/frmmain_layout.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

using namespace tavelin;
using namespace tavelin::test;

namespace {

const QString kTitle = QString::fromLatin1(kFrmmainTitle);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);

QColor digits(Window& m, const char* readout)
{
    return m.find<QLabel>(readout)->palette().color(QPalette::WindowText);
}

// The readouts whose digits are red, by name.
std::string red(Window& m)
{
    std::string names;
    for (const char* readout : {"lblHz", "lblLitersPerMin", "liters"}) {
        if (digits(m, readout) == kRed)
            names += std::string(names.empty() ? "" : " ") + readout;
        else
            EXPECT_EQ(digits(m, readout), kGreen) << readout;
    }
    return names;
}

std::string journal(Window& m)
{
    return m.alarmChannel.files.isEmpty() ? "" : m.alarmChannel.files.first().toStdString();
}

Settings highFlowAndBatch()
{
    Settings s;
    s.alarms.highFlowLMin = 2.0;
    s.alarms.flowDelayS = 0.0;
    s.alarms.batchLiters = 0.05;
    return s;
}

TEST(AlarmPanel, AlarmsColourTheirReadoutsAndLeadTheTitleUntilTakenDown)
{
    Window m(nullptr, nullptr, highFlowAndBatch());
    QVector<QRect> places;
    for (QLabel* label : m.w->findChildren<QLabel*>())
        places << label->geometry();
    QAction* acknowledge = m.w->findChild<QAction*>(QStringLiteral("mnuAcknowledgeAlarms"));
    ASSERT_NE(acknowledge, nullptr);
    EXPECT_TRUE(acknowledge->isVisible());
    m.click("CWButton1");

    m.tick("*+00250.00\r"); // 2.17 L/min, 0.04 L
    EXPECT_EQ(red(m), "lblLitersPerMin");
    EXPECT_EQ(m.w->windowTitle(), QStringLiteral("ALARM: High flow - ") + kTitle);
    EXPECT_EQ(m.find<QLabel>("lblLitersPerMin")->accessibleDescription().toStdString(),
              "Alarm: High flow. Flow rate 2.17 L/min, above 2 L/min.");
    EXPECT_EQ(m.notifier.calls.join(QLatin1Char('\n')).toStdString(),
              "notify high_flow|High flow|Flow rate 2.17 L/min, above 2 L/min");

    m.tick("*+00172.50\r"); // 1.5 L/min, 0.06 L: high flow clears and waits, the batch is complete
    EXPECT_EQ(red(m), "lblLitersPerMin liters");
    EXPECT_EQ(m.w->windowTitle(), QStringLiteral("ALARM: High flow, Batch complete - ") + kTitle);
    EXPECT_EQ(m.find<QLabel>("liters")->accessibleDescription().toStdString(),
              "Alarm: Batch complete. Total 0.06 L, batch 0.05 L. Meter total: not kept (no readings store)");

    QApplication::setActiveWindow(m.w.get()); // shortcuts go to the active window
    QTest::keyClick(m.w.get(), Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(red(m), "liters") << "the batch stays complete until Reset";
    EXPECT_EQ(m.w->windowTitle(), QStringLiteral("ALARM: Batch complete - ") + kTitle);
    EXPECT_TRUE(m.find<QLabel>("lblLitersPerMin")->accessibleDescription().isEmpty());

    m.click("CWButton3"); // Reset
    EXPECT_EQ(red(m), "");
    EXPECT_EQ(m.w->windowTitle(), kTitle);
    QVector<QRect> after;
    for (QLabel* label : m.w->findChildren<QLabel*>())
        after << label->geometry();
    EXPECT_EQ(after, places) << "nothing moved";

    const std::string lines = journal(m);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 6) << lines;
    for (const char* event : {",high_flow,raised,2.17,2\n", ",high_flow,cleared,1.5,2\n", ",batch,raised,0.06,0.05\n",
                              ",high_flow,acknowledged,1.5,2\n", ",batch,acknowledged,0.06,0.05\n",
                              ",batch,cleared,0,0.05\n"})
        EXPECT_NE(lines.find(event), std::string::npos) << event << " in\n" << lines;
}

TEST(AlarmPanel, WithoutARuleThePanelAndItsMenuAreAsTheyWere)
{
    Window m;
    EXPECT_FALSE(m.w->findChild<QAction*>(QStringLiteral("mnuAcknowledgeAlarms"))->isVisible());
    EXPECT_FALSE(m.timer("tmrAlarms")->isEnabled());
    m.click("CWButton1");
    m.tick("*+90000.00\r");
    m.tick("?\r");
    QApplication::setActiveWindow(m.w.get());
    QTest::keyClick(m.w.get(), Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(red(m), "");
    EXPECT_EQ(m.w->windowTitle(), kTitle);
    EXPECT_TRUE(m.alarmChannel.events.isEmpty());
    EXPECT_TRUE(m.notifier.calls.isEmpty());
}

TEST(AlarmPanel, SettingsOkBringsTheRulesIn)
{
    QTemporaryDir folder;
    SettingsFile file(folder.filePath(QStringLiteral("tavelin.conf")));
    Window m(nullptr, &file);
    bool filled = false;
    QTimer fill, watchdog; // both end with the test
    fill.setSingleShot(true);
    QObject::connect(&fill, &QTimer::timeout, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        dialog->findChild<QLineEdit*>(QStringLiteral("high_flow_l_min"))->setText(QStringLiteral("2"));
        dialog->findChild<QLineEdit*>(QStringLiteral("flow_delay_s"))->setText(QStringLiteral("0"));
        filled = true;
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    QObject::connect(&watchdog, &QTimer::timeout, [] { // the dialog must not stay
        if (QWidget* dialog = QApplication::activeModalWidget())
            dialog->close();
    });
    fill.start(0);
    watchdog.start(5000);
    m.w->showSettings();
    ASSERT_TRUE(filled);
    EXPECT_TRUE(m.w->findChild<QAction*>(QStringLiteral("mnuAcknowledgeAlarms"))->isVisible());
    m.tick("*+00250.00\r");
    EXPECT_EQ(red(m), "lblLitersPerMin");
    EXPECT_EQ(file.load().settings.alarms.highFlowLMin, 2.0);
}

} // namespace
