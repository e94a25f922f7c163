#include "sensor/calibration_run.h"

#include "sensor/measurement_state.h"
#include "sensor/sensor_constants.h"

#include <QCoreApplication>

#include <cmath>

namespace tavelin {

void CalibrationRun::start()
{
    running_ = true;
    pulses_ = 0.0;
    readings_ = 0;
}

void CalibrationRun::sampleAccepted(const MeasurementState& state)
{
    if (!running_)
        return;
    pulses_ += state.dblFrequency; // one reading a second: its frequency is its pulses
    ++readings_;
    if (onCounted_)
        onCounted_();
}

Calibration calibrate(double pulses, double volumeLiters, double currentPulsesPerLiter)
{
    Calibration result;
    if (!std::isfinite(volumeLiters) || volumeLiters <= 0.0) {
        result.refusal = QCoreApplication::translate(
            "Calibration", "The volume must be greater than zero: type the liters that really went through.");
        return result;
    }
    if (!(pulses > 0.0)) {
        result.refusal = QCoreApplication::translate(
            "Calibration", "No pulses were counted in this run: start it, let the liquid flow through the "
                           "sensor, then stop it.");
        return result;
    }
    const double k = pulses / volumeLiters;
    if (!std::isfinite(k) || k > sensor::kMaxPulsesPerLiter) {
        result.refusal = QCoreApplication::translate(
            "Calibration", "%1 pulses in %2 liters is more than %3 pulses per liter, the most a sensor may "
                           "have: check the volume.")
                             .arg(pulses, 0, 'f', 2)
                             .arg(volumeLiters)
                             .arg(sensor::kMaxPulsesPerLiter, 0, 'f', 0);
        return result;
    }
    result.pulsesPerLiter = k;
    result.changePercent = (k - currentPulsesPerLiter) / currentPulsesPerLiter * 100.0;
    return result;
}

} // namespace tavelin
