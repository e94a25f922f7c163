#pragma once
// The instrument window on fakes, for the window's tests: the port answers
// each read command with the next reply queued, timer ticks are handler
// calls, and controls are found by their design names.

#include "fakes/fake_alarm_notifier.h"
#include "fakes/fake_counter.h"
#include "fakes/fake_file_dialog.h"
#include "fakes/fake_message_box.h"
#include "fakes/fake_readings_store.h"
#include "fakes/fake_serial_port.h"
#include "fakes/fake_text_file_channel.h"
#include "fakes/fake_wall_clock.h"
#include "logging/frm_loggingflow.h"
#include "platform/qt/qt_window_timer.h"
#include "platform/widgets/cw_button.h"
#include "platform/widgets/cw_knob.h"
#include "platform/widgets/cw_slide.h"
#include "station/station.h"
#include "ui/main/frmmain.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace tavelin::test {

struct Window {
    FakeSerialPort port;
    FakeMillisecondCounter counter;
    FakeMessageBox messages;
    FakeTextFileChannel channel;
    FakeWallClock clock{QDate(2026, 12, 8), QTime(9, 0, 0)};
    FakeFileDialog files;
    FakeAlarmNotifier notifier;
    FakeTextFileChannel alarmChannel;
    QList<QByteArray> replies;
    std::unique_ptr<Station> station;
    std::unique_ptr<frmmain> w;

    // A window on a readings store and a settings file, or on neither.
    explicit Window(ReadingsStore* store = nullptr, SettingsFile* settingsFile = nullptr,
                    const Settings& settings = Settings())
    {
        port.close();
        port.onWrite = [this](const QByteArray&) {
            if (!replies.isEmpty())
                port.arrive(replies.takeFirst());
        };
        station = std::make_unique<Station>(
            Station::Parts{{port, counter, messages, channel, clock, nullptr, settingsFile, &notifier, &alarmChannel},
                           {},
                           nullptr},
            settings);
        w = std::make_unique<frmmain>(*station, files);
        if (store)
            station->useStore(store);
        w->Form_Load();
        w->show();
    }
    void tick(const QByteArray& reply)
    {
        replies.append(reply);
        w->tmrRd_Timer();
    }
    // A control of the window, found by its design name.
    template <typename T>
    T* find(const char* name) const
    {
        T* control = w->findChild<T*>(QLatin1String(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    QString text(const char* label) const { return find<QLabel>(label)->text(); }
    CWButton* button(const char* name) const { return find<CWButton>(name); }
    CWSlide* slide(const char* name) const { return find<CWSlide>(name); }
    CWKnob* knob() const { return find<CWKnob>("CWKnob1"); }
    QtWindowTimer* timer(const char* name) const { return find<QtWindowTimer>(name); }
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    // Logging on, "Write to File" with the given file, Append: the dialog
    // waits for its interval and OK.
    FrmLoggingflow* loggerWithFile(const QString& path)
    {
        click("CWButton2");
        auto* dialog = w->findChild<FrmLoggingflow*>();
        EXPECT_NE(dialog, nullptr);
        clickIn(dialog, "optDatafile1");
        files.answer = path;
        clickIn(dialog, "cmdSelect");
        clickIn(dialog, "optAppend1");
        return dialog;
    }
    static void clickIn(QWidget* dialog, const char* name)
    {
        QTest::mouseClick(dialog->findChild<QAbstractButton*>(QLatin1String(name)), Qt::LeftButton);
    }
};

} // namespace tavelin::test
