// The instrument window: start-up state, the operator's controls and what they
// do to sampling and the total, the readouts, and teardown. Real widgets and
// clicks; the port, clock, file and boxes are fakes, timer ticks are handler calls.
#include "fakes/fake_interval_source.h"
#include "gui/main_window_rig.h"
#include "logging/frm_loggingflow.h"
#include "platform/gui/status_bar.h"
#include "platform/qt/settings_file.h"
#include "platform/qt/qt_window_timer.h"
#include "platform/widgets/cw_button.h"
#include "platform/widgets/cw_knob.h"
#include "platform/widgets/cw_slide.h"
#include "ui/main/frmmain.h"
#include "ui/calibration/calibration_dialog.h"
#include "ui/events/event_log_model.h"
#include "ui/events/event_log_window.h"
#include "ui/main/frmmain_layout.h"
#include "ui/history/history_window.h"
#include "ui/trend/trend_window.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <ctime>
#include <memory>

using namespace tavelin;
using namespace tavelin::test;

namespace {

TEST(MainWindow, StartsWithZeroReadoutsAndSamplingOff)
{
    Window m;
    EXPECT_TRUE(m.port.isOpen()) << "the load handler opens the port";
    EXPECT_EQ(m.w->windowTitle(), QStringLiteral("Veltrane Ver. 1.0.0 \\ Comm1@19200"));
    EXPECT_EQ(m.text("lblHz"), QStringLiteral("000"));
    EXPECT_EQ(m.text("lblLitersPerMin"), QStringLiteral("000"));
    EXPECT_EQ(m.text("liters"), QStringLiteral("000"));
    EXPECT_EQ(m.slide("CWSlide1")->value(), 0.0);
    EXPECT_EQ(m.slide("CWSlide2")->value(), 0.0);
    EXPECT_EQ(m.slide("CWSlide2")->axisMaximum(), 2.0) << "the knob's start is not applied";
    EXPECT_EQ(m.knob()->Value(), 25.0);
    EXPECT_FALSE(m.timer("tmrRd")->isEnabled());
    EXPECT_EQ(m.timer("tmrRd")->interval(), 1000);
    EXPECT_TRUE(m.timer("tmrLogger")->isEnabled());
    EXPECT_EQ(m.timer("tmrLogger")->interval(), 0);
    EXPECT_FALSE(m.timer("tmrLogger")->isRunning()) << "interval 0 never ticks";
    EXPECT_TRUE(m.find<StatusBar>("StatusBar1")->text().isEmpty());
    EXPECT_EQ(m.w->findChild<FrmLoggingflow*>(), nullptr);
    EXPECT_TRUE(m.port.written.isEmpty());
    EXPECT_TRUE(m.messages.prompts.isEmpty());
}

TEST(MainWindow, StartEnablesSamplingAndATickSendsTheReadCommand)
{
    Window m;
    m.click("CWButton1");
    EXPECT_TRUE(m.button("CWButton1")->Value());
    EXPECT_TRUE(m.timer("tmrRd")->isEnabled());
    EXPECT_TRUE(m.timer("tmrRd")->isRunning());
    EXPECT_TRUE(m.port.written.isEmpty()) << "the first cycle comes one interval later";

    m.tick("*+00072.00\r");
    EXPECT_EQ(m.port.written, QByteArray("$?RD\r"));
    EXPECT_EQ(m.text("lblHz"), QStringLiteral("72"));
    EXPECT_EQ(m.text("lblLitersPerMin"), QStringLiteral("0.63"));
    EXPECT_EQ(m.text("liters"), QStringLiteral("0.01"));
    EXPECT_DOUBLE_EQ(m.slide("CWSlide1")->value(), 0.63);
    EXPECT_DOUBLE_EQ(m.slide("CWSlide2")->value(), 0.01);

    m.click("CWButton1");
    EXPECT_FALSE(m.timer("tmrRd")->isEnabled());
    EXPECT_EQ(m.timer("tmrRd")->interval(), 1000);
}

TEST(MainWindow, SwitchesNameTheirActionAndControlsCarryAccessibleNames)
{
    Window m;
    const struct {
        const char* name;
        const char* offText;
        const char* textAfterClick;
    } switches[] = {{"CWButton1", "Start", "Stop"}, {"CWButton2", "Logging", "Logging"}, {"CWButton3", "Reset", "Reset"}};
    for (const auto& row : switches) {
        EXPECT_EQ(m.button(row.name)->text(), QLatin1String(row.offText));
        m.click(row.name);
        EXPECT_EQ(m.button(row.name)->text(), QLatin1String(row.textAfterClick));
    }
    for (const TwipsPlace& place : kFrmmainPlaces) {
        QWidget* control = placedControl(m.w.get(), place);
        if (!qobject_cast<QGroupBox*>(control)) {
            EXPECT_FALSE(control->accessibleName().isEmpty()) << place.control;
        }
    }
}

TEST(MainWindow, StopAndStartAgainKeepsTheTotal)
{
    Window m;
    m.click("CWButton1");
    m.tick("*+06900.00\r");
    m.click("CWButton1");
    m.click("CWButton1");
    m.tick("*+06900.00\r");
    EXPECT_EQ(m.text("liters"), QStringLiteral("2"));
}

TEST(MainWindow, ResetZeroesThePulseTotalAndTheShownTotalFollowsAtTheNextCycle)
{
    FakeReadingsStore store;
    Window m(&store);
    m.tick("*+06900.00\r");
    m.tick("*+06900.00\r");
    ASSERT_EQ(m.text("liters"), QStringLiteral("2"));

    QSignalSpy changes(m.button("CWButton3"), &CWButton::ValueChanged);
    m.click("CWButton3");
    EXPECT_EQ(changes.count(), 2) << "momentary: on while pressed, off on release";
    EXPECT_FALSE(m.button("CWButton3")->Value());
    EXPECT_EQ(m.text("liters"), QStringLiteral("2")) << "nothing else changes at reset";
    EXPECT_DOUBLE_EQ(m.slide("CWSlide2")->value(), 2.0);

    m.tick("*+00345.00\r");
    EXPECT_EQ(m.text("liters"), QStringLiteral("0.05")) << "the pulse total started again from 0";
    EXPECT_EQ(store.eventsOf("total_reset"),
              QStringList{"total: 13800.00 pulses, 2 L -> 0 pulses, 0 L (reset_switch)"}) << "the total before";
}

TEST(MainWindow, TurningTheKnobSetsTheTotalGaugesFullScale)
{
    Window m;
    m.tick("*+20700.00\r"); // 3 liters: beyond the starting scale of 2
    m.knob()->setFocus();
    QTest::keyClick(m.knob(), Qt::Key_End);
    EXPECT_EQ(m.knob()->Value(), 400.0);
    EXPECT_EQ(m.slide("CWSlide2")->axisMaximum(), 400.0);
    QTest::keyClick(m.knob(), Qt::Key_Home);
    EXPECT_EQ(m.slide("CWSlide2")->axisMaximum(), 25.0);
    EXPECT_EQ(m.slide("CWSlide2")->axisMinimum(), 0.0);
    EXPECT_DOUBLE_EQ(m.slide("CWSlide2")->value(), 3.0) << "the pointer keeps the current total";
    EXPECT_EQ(m.slide("CWSlide1")->axisMaximum(), 5.0);
}

TEST(MainWindow, ReadoutsUseTheLocaleDecimalSeparator)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    Window m;
    QLocale::setDefault(QLocale::c());
    m.tick("*+00862.50\r");
    EXPECT_EQ(m.text("lblHz"), QStringLiteral("862,5"));
    EXPECT_EQ(m.text("lblLitersPerMin"), QStringLiteral("7,5"));
    EXPECT_EQ(m.text("liters"), QStringLiteral("0,12"));
}

TEST(MainWindow, PortThatCannotBeOpenedIsReportedAndCyclesMeetAClosedPort)
{
    FakeSerialPort port;
    port.close();
    port.openSucceeds = false;
    port.advice = QStringLiteral("Plug the module in.");
    FakeMillisecondCounter counter;
    FakeMessageBox messages;
    FakeTextFileChannel channel;
    FakeWallClock clock;
    FakeFileDialog files;
    Station station({{port, counter, messages, channel, clock}, {}, nullptr}, Settings());
    frmmain w(station, files);
    w.Form_Load();
    ASSERT_EQ(messages.prompts.size(), 1);
    EXPECT_TRUE(messages.prompts[0].contains(QStringLiteral("/dev/fake")));
    EXPECT_TRUE(messages.prompts[0].contains(QStringLiteral("No such file or directory.\n\nPlug the module in.")));
    EXPECT_TRUE(messages.prompts[0].contains(QStringLiteral("tried again at each sampling cycle")));

    w.tmrRd_Timer();
    EXPECT_EQ(messages.prompts.mid(1), QStringList({QStringLiteral("Port Not open"),
                                                    QStringLiteral("NO VALID RETURN FROM pH MODULE")}));
    EXPECT_EQ(w.findChild<QLabel*>(QStringLiteral("lblHz"))->text(), QStringLiteral("000"));
}

TEST(MainWindow, SwitchedPortKeepsTheTotalAndTheTrendCountsOnlyAcceptedCycles)
{
    FakeReadingsStore store;
    Window m(&store);
    m.click("CWButton1");
    m.tick("*+00690.00\r"); // 0.1 L
    m.w->switchPort(QStringLiteral("/dev/second"));
    EXPECT_EQ(m.port.deviceName(), QStringLiteral("/dev/second"));
    EXPECT_TRUE(m.port.isOpen());
    m.tick("*+00690.00\r");
    m.tick("?+00690.00\r"); // rejected
    EXPECT_EQ(m.text("liters"), QStringLiteral("0.2"));

    m.w->showTrend();
    auto* trend = m.w->findChild<TrendWindow*>();
    ASSERT_NE(trend, nullptr);
    EXPECT_EQ(trend->windowTitle(), QStringLiteral("Trend - 2 points"));
    EXPECT_FALSE(trend->grab().isNull()); // the plot paints its curves

    m.port.openSucceeds = false;
    m.w->switchPort(QStringLiteral("/dev/gone"));
    EXPECT_TRUE(m.messages.prompts.last().contains(QStringLiteral("/dev/gone")));
    EXPECT_FALSE(m.port.isOpen());
    EXPECT_EQ(store.eventsOf("port_changed").value(1),
              QStringLiteral("serial_port: /dev/second -> /dev/gone (context_menu)"));
}

TEST(MainWindow, KeptTotalShowsAtStartAndEveryReadingIsStoredWithTheMeterAndTheTrend)
{
    FakeReadingsStore store;
    StoredReading earlier;
    earlier.utcMs = QDateTime(QDate(2026, 12, 8), QTime(8, 59, 0)).toMSecsSinceEpoch();
    earlier.pulseTotal = 13800.0; // 2 L
    earlier.totalLiters = 2.0;
    earlier.meterCentipulses = 6900000; // 69 000 pulses: 10 L
    store.rows.append(earlier);
    store.rows.first().seq = 41;
    store.createdMs = QDateTime(QDate(2026, 12, 1), QTime(12, 0), Qt::UTC).toMSecsSinceEpoch();
    Settings settings;
    settings.sensor.keepTotal = true;
    Window m(&store, nullptr, settings);
    EXPECT_EQ(m.text("liters"), QStringLiteral("2")) << "the kept total, not 000";
    EXPECT_DOUBLE_EQ(m.slide("CWSlide2")->value(), 2.0);

    m.click("CWButton1");
    m.tick("*+00690.00\r");
    ASSERT_EQ(store.rows.size(), 2);
    EXPECT_EQ(store.rows.last().seq, 42);
    EXPECT_EQ(store.rows.last().meterCentipulses, 6969000);
    EXPECT_DOUBLE_EQ(store.rows.last().pulseTotal, 14490.0);
    EXPECT_EQ(m.text("liters"), QStringLiteral("2.1"));
    EXPECT_EQ(m.w->meterText(), QStringLiteral("Meter total: 10.10 L since 2026-12-01"));
    EXPECT_EQ(m.find<QLabel>("liters")->accessibleDescription(), m.w->meterText());

    m.w->showTrend();
    EXPECT_EQ(m.w->findChild<TrendWindow*>()->windowTitle(), QStringLiteral("Trend - 2 points"))
        << "the stored reading and the new one";

    m.click("CWButton3"); // Reset: the meter goes on
    m.tick("*+00690.00\r");
    EXPECT_EQ(m.text("liters"), QStringLiteral("0.1"));
    EXPECT_EQ(store.rows.last().meterCentipulses, 7038000);
}

TEST(MainWindow, WithoutKeepTotalTheStoreLeavesThePanelAsItWas)
{
    FakeReadingsStore store;
    StoredReading earlier;
    earlier.pulseTotal = 13800.0;
    store.rows.append(earlier);
    Window m(&store);
    EXPECT_EQ(m.text("liters"), QStringLiteral("000"));
}

TEST(MainWindow, ContextMenuTellsHowMqttStandsOnlyWhileABrokerIsSet)
{
    FakeReadingsStore store;
    const auto menuLine = [](Window& m) {
        Q_EMIT m.w->findChild<QMenu*>(QStringLiteral("mnuContext"))->aboutToShow();
        auto* line = m.w->findChild<QAction*>(QStringLiteral("mnuMqtt"));
        return line && line->isVisible() ? line->text() : QString();
    };
    Window off(&store);
    EXPECT_EQ(off.w->mqtt(), nullptr);
    EXPECT_EQ(menuLine(off), QString());

    Settings settings;
    settings.mqtt.url = QStringLiteral("mqtt://127.0.0.1:1"); // nothing listens there
    Window on(&store, nullptr, settings);
    ASSERT_NE(on.w->mqtt(), nullptr);
    on.click("CWButton1");
    on.tick("*+00690.00\r");
    EXPECT_TRUE(QTest::qWaitFor([&] { return on.w->mqtt()->status().contains(QLatin1String("cannot reach")); }, 5000));
    EXPECT_EQ(menuLine(on).toStdString(),
              "MQTT: cannot reach 127.0.0.1:1 (Connection refused); readings wait in the store; 1 reading to deliver");

    // The default device id names the port: another port, another client and topics.
    const QString device = on.w->mqtt()->deviceId();
    on.w->switchPort(QStringLiteral("/dev/ttyUSB7"));
    EXPECT_TRUE(on.w->mqtt()->deviceId().endsWith(QLatin1String("-ttyusb7"))) << on.w->mqtt()->deviceId().toStdString();
    EXPECT_NE(on.w->mqtt()->deviceId(), device);
}

TEST(MainWindow, ContextMenuTellsTodaysAndThisMonthsLitersAndCtrlHOpensTheHistory)
{
    qputenv("TZ", "UTC");
    tzset();
    FakeReadingsStore store;
    Window m(&store); // 8 December 2026, 09:00
    const auto menuLine = [&m](const char* name) {
        Q_EMIT m.w->findChild<QMenu*>(QStringLiteral("mnuContext"))->aboutToShow();
        auto* line = m.w->findChild<QAction*>(QLatin1String(name));
        return line && line->isVisible() ? line->text() : QString();
    };
    EXPECT_EQ(menuLine("mnuToday"), QString()) << "no intervals: no line";
    FakeIntervalSource intervals;
    intervals.add(QDateTime(QDate(2026, 12, 8), QTime(8, 0), Qt::UTC).toMSecsSinceEpoch(), 900);
    intervals.add(QDateTime(QDate(2026, 11, 30), QTime(23, 45), Qt::UTC).toMSecsSinceEpoch(), 450);
    m.w->useIntervals(&intervals);
    EXPECT_EQ(menuLine("mnuToday"), QString::fromUtf8("Today: 32.6 L \u00b7 Yesterday: 0.0 L"));
    EXPECT_EQ(menuLine("mnuThisMonth"), QString::fromUtf8("This month: 32.6 L \u00b7 Last month: 16.3 L"));

    m.w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m.w.get()));
    QTest::keyClick(m.w.get(), Qt::Key_H, Qt::ControlModifier);
    auto* history = m.w->findChild<HistoryWindow*>();
    ASSERT_NE(history, nullptr);
    EXPECT_TRUE(history->isVisible());
    EXPECT_EQ(history->rows().size(), 24);
    EXPECT_EQ(history->rows().at(8).sums.readings, 900);
}

TEST(MainWindow, ContextMenuTellsWhereModbusListensAndServesTheStoredReading)
{
    FakeReadingsStore store;
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const QString address = QStringLiteral("127.0.0.1:%1").arg(probe.serverPort());
    probe.close();
    Settings settings;
    settings.modbus.listen = address;
    Window m(&store, nullptr, settings);
    Q_EMIT m.w->findChild<QMenu*>(QStringLiteral("mnuContext"))->aboutToShow();
    EXPECT_EQ(m.w->findChild<QAction*>(QStringLiteral("mnuModbus"))->text(),
              QStringLiteral("Modbus: listening on %1, 0 clients").arg(address));
    m.click("CWButton1");
    m.tick("*+00690.00\r");
    const ModbusRegisters words = m.w->modbus()->registers();
    EXPECT_EQ(words[modbus_map::kSeq + 1], 1);                      // the stored reading
    EXPECT_EQ(words[modbus_map::kFlow], 0x40C0);                    // 6 L/min
    EXPECT_EQ(words[modbus_map::kStatus], 0x0F);                    // sampling, port, reply, store
}

TEST(MainWindow, CalibrationRunWritesTheNewKFactorWhichTheNextCycleUses)
{
    QTemporaryDir folder;
    SettingsFile file(folder.filePath(QStringLiteral("tavelin.conf")));
    FakeReadingsStore store;
    Window m(&store, &file);
    m.click("CWButton1");
    m.w->showCalibration();
    auto* dialog = m.w->findChild<CalibrationDialog*>();
    ASSERT_NE(dialog, nullptr);
    auto button = [&](const char* name) { return dialog->findChild<QPushButton*>(QLatin1String(name)); };

    QTest::mouseClick(button("start"), Qt::LeftButton);
    m.tick("*+00250.00\r");
    m.tick("?bad\r"); // not a reading: counts nothing
    m.tick("*+00250.00\r");
    EXPECT_TRUE(dialog->findChild<QLabel*>(QStringLiteral("count"))->text().startsWith(QStringLiteral("500.00 pulses")));
    QTest::mouseClick(button("stop"), Qt::LeftButton);
    m.tick("*+00250.00\r"); // after Stop

    auto* volume = dialog->findChild<QLineEdit*>(QStringLiteral("volume"));
    volume->setText(QStringLiteral("0"));
    EXPECT_FALSE(button("apply")->isEnabled()) << "a zero volume is refused";
    volume->setText(QStringLiteral("0.25"));
    const QString result = dialog->findChild<QLabel*>(QStringLiteral("result"))->text();
    EXPECT_TRUE(result.contains(QLocale().toString(2000.0, 'f', 3))) << result.toStdString();
    EXPECT_TRUE(result.contains(QLocale().toString(-71.01449, 'f', 2) + QStringLiteral(" %"))) << result.toStdString();
    {
        QFile edited(file.path()); // by hand, while the dialog is open: kept
        ASSERT_TRUE(edited.open(QIODevice::WriteOnly));
        edited.write("[store]\nretention_days=30\n");
    }
    QTest::mouseClick(button("apply"), Qt::LeftButton);

    EXPECT_DOUBLE_EQ(file.load().settings.sensor.pulsesPerLiter, 2000.0);
    EXPECT_DOUBLE_EQ(file.load().settings.store.retentionDays, 30.0);
    m.tick("*+00250.00\r");
    EXPECT_EQ(m.text("lblLitersPerMin"), QStringLiteral("7.5"));
    EXPECT_TRUE(store.eventsOf("setting_changed")
                    .contains("sensor/pulses_per_liter: 6900 -> 2000 (calibration: 500.00 pulses over 0.25 L)"))
        << store.eventsOf("setting_changed").join('\n').toStdString();
}

TEST(MainWindow, TheEventLogShowsNewestFirstByKindAndAboutCountsThem)
{
    FakeReadingsStore store;
    for (const char* kind : {"program_started", "setting_changed", "setting_changed"})
        store.appendEvent({0, 1000, kind, "sensor/pulses_per_liter", "6900", "450", "settings_dialog", "op", "1.0.0"});
    Window m(&store);
    m.w->findChild<QAction*>(QStringLiteral("mnuEvents"))->trigger();
    auto* window = m.w->findChild<EventLogWindow*>();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EventLogModel* model = window->model();
    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_EQ(model->data(model->index(0, EventLogModel::Seq)).toLongLong(), 3) << "newest first";
    EXPECT_EQ(model->data(model->index(2, EventLogModel::Kind)).toString(), QStringLiteral("program_started"));

    auto* kinds = window->findChild<QComboBox*>(QStringLiteral("cmbKind"));
    kinds->setCurrentIndex(kinds->findData(QStringLiteral("program_started")));
    EXPECT_EQ(model->rowCount(), 1);
    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("lblCount"))->text(), QStringLiteral("1 of 3 events"));
    m.tick("*+06900.00\r");
    m.click("CWButton3"); // a reset, made durable: the window reads again
    Q_EMIT m.station->eventsDurable(4);
    kinds->setCurrentIndex(kinds->findData(QStringLiteral("total_reset")));
    EXPECT_EQ(model->rowCount(), 1);

    m.w->showAbout();
    EXPECT_TRUE(QRegularExpression("^tavelin .*\nSHA-256 [0-9a-f]{64}\nEvents recorded: 4\n")
                    .match(m.messages.prompts.last())
                    .hasMatch())
        << m.messages.prompts.last().toStdString();
}

TEST(MainWindow, ControlsSitAtTheirPlacesAndTheStatusBarFollowsTheBottom)
{
    Window m;
    const int dpi = m.w->logicalDpiX();
    const auto expectPlaces = [&] {
        for (const TwipsPlace& place : kFrmmainPlaces)
            EXPECT_EQ(placedControl(m.w.get(), place)->geometry(), twipsRect(place, dpi)) << place.control;
    };
    expectPlaces();
    EXPECT_EQ(m.w->size(), QSize(twipsToPixels(kFrmmainClient.width, dpi), twipsToPixels(kFrmmainClient.height, dpi)));

    m.w->resize(800, 600);
    QApplication::processEvents();
    expectPlaces();
    const QRect bar = m.find<StatusBar>("StatusBar1")->geometry();
    EXPECT_EQ(bar.bottom(), 599);
    EXPECT_EQ(bar.width(), 800);
}

TEST(MainWindow, TabOrderRunsGaugesSwitchesKnob)
{
    Window m;
    QApplication::setActiveWindow(m.w.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(m.w.get()));
    QWidget* expected[] = {m.slide("CWSlide1"), m.slide("CWSlide2"), m.button("CWButton1"), m.button("CWButton2"),
                           m.button("CWButton3"), m.knob(), m.slide("CWSlide1")};
    expected[0]->setFocus(Qt::TabFocusReason);
    for (int i = 1; i < 7; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* focused = QApplication::focusWidget();
        ASSERT_NE(focused, nullptr);
        EXPECT_TRUE(focused == expected[i] || expected[i]->isAncestorOf(focused))
            << "step " << i << ": " << focused->objectName().toStdString();
    }
}

// What an assistive tool reads and sets, through Qt's accessibility
// interfaces; the bus, and the announcements of changes, are exercised end
// to end.
TEST(MainWindow, AssistiveToolsReadTheReadingsAndScalesAndSetTheKnob)
{
    Window m;
    auto face = [&](const char* name) { return QAccessible::queryAccessibleInterface(m.find<QWidget>(name)); };
    auto reading = [&](const char* name) { return face(name)->textInterface()->text(0, -1); };
    auto scale = [&](const char* name) {
        QAccessibleValueInterface* v = face(name)->valueInterface();
        return std::vector<double>{v->currentValue().toDouble(), v->minimumValue().toDouble(),
                                   v->maximumValue().toDouble(), v->minimumStepSize().toDouble()};
    };
    ASSERT_NE(face("lblHz")->textInterface(), nullptr);
    EXPECT_EQ(face("lblHz")->text(QAccessible::Name), QStringLiteral("Frequency, hertz"));
    EXPECT_EQ(reading("lblHz"), QStringLiteral("000"));
    EXPECT_EQ(face("CWSlide1")->role(), QAccessible::Slider);
    EXPECT_TRUE(face("CWSlide2")->state().readOnly);
    EXPECT_EQ(face("CWKnob1")->role(), QAccessible::Dial);
    EXPECT_EQ(scale("CWKnob1"), (std::vector<double>{25, 25, 400, 5}));
    EXPECT_EQ(face("CWButton1")->role(), QAccessible::CheckBox);

    face("CWButton1")->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(face("CWButton1")->state().checked);
    EXPECT_TRUE(m.timer("tmrRd")->isEnabled()) << "toggled from a tool, the switch runs the Start/Stop handler";
    face("CWKnob1")->valueInterface()->setCurrentValue(100.0);
    EXPECT_EQ(m.slide("CWSlide2")->axisMaximum(), 100.0) << "set from a tool, the knob runs the tank-scale handler";
    m.tick("*+00250.00\r");
    EXPECT_EQ(reading("lblLitersPerMin"), QStringLiteral("2.17"));
    EXPECT_EQ(scale("CWSlide1"), (std::vector<double>{2.17, 0, 5, 0}));
    EXPECT_EQ(scale("CWSlide2"), (std::vector<double>{0.04, 0, 100, 0}));
}

TEST(MainWindow, ClosingStopsTimersClosesLogFileAndPortAndTheDialog)
{
    Window m;
    m.click("CWButton1");
    auto* dialog = m.loggerWithFile(QStringLiteral("/logs/a.txt"));
    ASSERT_NE(dialog, nullptr);
    dialog->findChild<QComboBox*>()->setCurrentIndex(6);
    Window::clickIn(dialog, "cmdExit");
    ASSERT_TRUE(m.channel.isOpen());
    m.w->tmrLogger_Timer();
    EXPECT_TRUE(m.channel.files.value(QStringLiteral("/logs/a.txt")).endsWith("\"09:00:00\",0,0,\"000\"\r\n"));

    QSignalSpy closed(m.w.get(), &frmmain::closed);
    m.w->close();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(m.timer("tmrRd")->isRunning());
    EXPECT_FALSE(m.timer("tmrLogger")->isRunning());
    EXPECT_FALSE(m.channel.isOpen());
    EXPECT_EQ(m.channel.events.last(), QStringLiteral("close /logs/a.txt"));
    EXPECT_FALSE(m.port.isOpen());
    EXPECT_FALSE(dialog->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(m.w->findChild<FrmLoggingflow*>(), nullptr);
}

// A signal ends the program while OK's "no interval" box is open: the
// handler goes on once the box is gone, in a dialog that still exists, and
// starts nothing.
TEST(MainWindow, ClosingWhileTheLoggerWaitsInItsBoxStartsNoLogging)
{
    Window m;
    auto* dialog = m.loggerWithFile(QStringLiteral("/logs/a.txt"));
    ASSERT_NE(dialog, nullptr);
    m.messages.onShow = [&m](const QString&) { m.w->close(); };
    Window::clickIn(dialog, "cmdExit");

    EXPECT_EQ(m.messages.prompts.size(), 1);
    EXPECT_FALSE(m.timer("tmrLogger")->isRunning());
    EXPECT_FALSE(m.channel.isOpen());
    EXPECT_TRUE(m.find<StatusBar>("StatusBar1")->text().isEmpty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(m.w->findChild<FrmLoggingflow*>(), nullptr);
}

} // namespace
