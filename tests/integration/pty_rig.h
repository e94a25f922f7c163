#pragma once
// The program's sensor link as it runs for real: QtSerialPort on a
// pseudo-terminal, the system's millisecond counter and the sampling cycle,
// with the simulated module at the other end of the line (reached through a
// stable link, so that it can be unplugged and plugged back in).

#include "fakes/fake_message_box.h"
#include "fakes/recording_display.h"
#include "platform/millisecond_counter.h"
#include "platform/qt/qt_serial_port.h"
#include "sensor/flow_sampler.h"
#include "sensor/measurement_state.h"
#include "sensor/serial_transaction.h"
#include "simulator/module_simulator.h"

#include <QLocale>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <memory>
#include <ostream>

// Readable QStrings (and QStringLists) in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace tavelin::test {

// Generous: the machines running the tests are shared.
inline constexpr std::chrono::seconds kPatience{10};

inline const QString kNoValidReturn = QStringLiteral("NO VALID RETURN FROM pH MODULE");
inline const QString kPortNotOpen = QStringLiteral("Port Not open");
inline const QString kPortFailure = QStringLiteral("Port Failure");

// The system's millisecond counter, except that a cycle's first reading of
// it (the start of the settle delay) waits until the module has answered.
// The delay is still the real 50 ms wait; but on a loaded machine the
// module's thread might not get the processor within it, and what the tests
// check is the program's handling of the bytes, not the machine's scheduling.
class AnswerAwaitingCounter : public MillisecondCounter {
public:
    explicit AnswerAwaitingCounter(const sim::ModuleSimulator& module) : module_(module) {}
    // The next reading waits for the module to have answered this many commands.
    void awaitAnswers(std::size_t commands) { awaited_ = commands; }
    std::uint32_t ticks() override
    {
        if (awaited_ > 0) {
            module_.waitUntilAnswered(awaited_, kPatience);
            awaited_ = 0;
        }
        return system_.ticks();
    }
    void sleepFor(std::uint32_t milliseconds) override { system_.sleepFor(milliseconds); }

private:
    const sim::ModuleSimulator& module_;
    SystemMillisecondCounter system_;
    std::size_t awaited_ = 0;
};

struct PtyRig {
    explicit PtyRig(std::unique_ptr<sim::ReadingSource> source = sim::constantReading(72.0))
        : module(std::move(source), directory.filePath(QStringLiteral("module")).toStdString())
    {
        port.open();
    }

    // One tick of the sampling timer, then the module's delayed bytes (if
    // any) are let out before the next tick, as a second between ticks would.
    void tick()
    {
        if (module.isPlugged())
            counter.awaitAnswers(module.stats().commands + 1);
        sampler.PollSensor();
        module.waitUntilSent(kPatience);
    }

    QTemporaryDir directory;
    sim::ModuleSimulator module;
    QtSerialPort port{QString::fromStdString(module.devicePath())};
    AnswerAwaitingCounter counter{module};
    FakeMessageBox messages;
    SerialTransaction link{port, counter, messages};
    MeasurementState state;
    RecordingDisplay display;
    FlowSampler sampler{link, messages, state, display, QLocale::c()};
};

} // namespace tavelin::test
