#pragma once
// A log writer with the clock, the measurement state, the total-volume label
// and the logging timer of the main window played by the test.

#include "fakes/fake_message_box.h"
#include "fakes/fake_wall_clock.h"
#include "fakes/fake_window_timer.h"
#include "logging/log_writer.h"

namespace tavelin::test {

// Over the given channel; the logging timer runs at 1 s.
struct LogWriterRig {
    explicit LogWriterRig(TextFileChannel& channel, const QLocale& locale = QLocale::c())
        : writer(channel, clock, state, [this] { return liters; }, tmrLogger, messages, locale)
    {
        tmrLogger.setInterval(1000);
        tmrLogger.setEnabled(true);
    }
    void sample(double frequency, double litersPerMin, const QString& total)
    {
        state.dblFrequency = frequency;
        state.dblLitersPerMin = litersPerMin;
        liters = total;
    }
    void tickAt(const QTime& time)
    {
        clock.time = time;
        writer.writeRow();
    }

    FakeWallClock clock{QDate(2026, 12, 7), QTime(14, 5, 8)};
    MeasurementState state;
    QString liters = QStringLiteral("000");
    FakeWindowTimer tmrLogger;
    FakeMessageBox messages;
    LogWriter writer;
};

} // namespace tavelin::test
