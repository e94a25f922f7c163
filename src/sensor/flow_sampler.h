#pragma once
// The sampling cycle: one read command, its reply checked and turned into
// frequency, flow rate, pulse total and total volume, and the display.

#include "sensor/sensor_constants.h"

#include <QLocale>
#include <QString>

#include <optional>

namespace tavelin {

class SerialTransaction;
class MessageBox;
class SampleListener;
class SensorDisplay;
struct MeasurementState;

class FlowSampler {
public:
    FlowSampler(SerialTransaction& link, MessageBox& messages, MeasurementState& state,
                SensorDisplay& display, QLocale locale = QLocale())
        : link_(link), messages_(messages), state_(state), display_(display), locale_(locale),
          pulsesPerLiter_(sensor::kPulsesPerLiter) {}

    // One sampling cycle. A call made while an earlier cycle still waits in a
    // message box is skipped, so boxes never pile up.
    void PollSensor();

    bool isCycleRunning() const { return cycleRunning_; }
    // The sensor's K-factor, used from the next cycle on. The pulse total
    // stays in pulses, so the total is recomputed from it then.
    void setPulsesPerLiter(double pulsesPerLiter) { pulsesPerLiter_ = pulsesPerLiter; }
    double pulsesPerLiter() const { return pulsesPerLiter_; }
    // Told of each accepted cycle after the display writes; none by default.
    void setListener(SampleListener* listener) { listener_ = listener; }

private:
    void runCycle();

    SerialTransaction& link_;
    MessageBox& messages_;
    MeasurementState& state_;
    SensorDisplay& display_;
    QLocale locale_;
    SampleListener* listener_ = nullptr;
    double pulsesPerLiter_;
    bool cycleRunning_ = false;
};

// A reading from the body of a reply: a plain decimal number with "." as the
// point, optionally signed, blanks around it allowed. Anything else is no reading.
std::optional<double> parseReading(const QString& body);

// Rounds to the given decimals with an exact half going to the even neighbour.
double roundHalfEven(double value, int decimals);

} // namespace tavelin
