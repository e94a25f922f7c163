#pragma once
// The program's sensor link as it runs for real: QtSerialPort on a
// pseudo-terminal, the system's millisecond counter and the sampling cycle,
// with the simulated module at the other end of the line (reached through a
// stable link, so that it can be unplugged and plugged back in).

#include "fakes/fake_message_box.h"
#include "fakes/recording_display.h"
#include "platform/millisecond_counter.h"
#include "platform/qt_serial_port.h"
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
        sampler.PollSensor();
        module.waitUntilSent(kPatience);
    }

    QTemporaryDir directory;
    sim::ModuleSimulator module;
    QtSerialPort port{QString::fromStdString(module.devicePath())};
    SystemMillisecondCounter counter;
    FakeMessageBox messages;
    SerialTransaction link{port, counter, messages};
    MeasurementState state;
    RecordingDisplay display;
    FlowSampler sampler{link, messages, state, display, QLocale::c()};
};

} // namespace tavelin::test
