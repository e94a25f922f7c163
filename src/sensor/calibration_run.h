#pragma once
// A calibration run: the pulses of the accepted readings between Start and
// Stop, and the K-factor they give for the volume that really went through.

#include "sensor/sample_listener.h"

#include <QString>

#include <functional>

namespace tavelin {

class CalibrationRun : public SampleListener {
public:
    void start();
    void stop() { running_ = false; }
    bool isRunning() const { return running_; }
    double pulses() const { return pulses_; }
    std::size_t readings() const { return readings_; }

    void sampleAccepted(const MeasurementState& state) override;
    // Called after each reading counted while running.
    void setOnCounted(std::function<void()> callback) { onCounted_ = std::move(callback); }

private:
    bool running_ = false;
    double pulses_ = 0.0;
    std::size_t readings_ = 0;
    std::function<void()> onCounted_;
};

// The K-factor from a run, or why there is none.
struct Calibration {
    double pulsesPerLiter = 0.0;
    double changePercent = 0.0; // from the current K-factor
    QString refusal;            // a sentence; empty when the K-factor can be used
};

Calibration calibrate(double pulses, double volumeLiters, double currentPulsesPerLiter);

} // namespace tavelin
