#pragma once
// The sensor link's module: the measurement state, the serial exchange and
// the sampling cycle, alive for the whole run.

#include "flow_sampler.h"
#include "measurement_state.h"
#include "serial_transaction.h"

namespace tavelin {

class Module1 {
public:
    Module1(SerialPort& port, MillisecondCounter& counter, MessageBox& messages, SensorDisplay& display,
            QLocale locale = QLocale())
        : link_(port, counter, messages), sampler_(link_, messages, state, display, locale) {}

    void PollSensor() { sampler_.PollSensor(); }
    void setSampleListener(SampleListener* listener) { sampler_.setListener(listener); }
    void setPulsesPerLiter(double pulsesPerLiter) { sampler_.setPulsesPerLiter(pulsesPerLiter); }
    double pulsesPerLiter() const { return sampler_.pulsesPerLiter(); }

    MeasurementState state;

private:
    SerialTransaction link_;
    FlowSampler sampler_;
};

} // namespace tavelin
