#pragma once
// The calibration dialog: Start counts the pulses of the accepted readings,
// Stop ends the run, the operator types the volume that really went through,
// and the dialog shows the K-factor that gives, beside the current one.
// Apply hands it to the window, which writes it to the settings.

#include "sensor/calibration_run.h"

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tavelin {

class CalibrationDialog : public QDialog {
    Q_OBJECT
public:
    // apply writes the new K-factor, from the run's pulses over the volume
    // that went through; it returns an empty string, or why it could not.
    using Apply = std::function<QString(double pulsesPerLiter, double pulses, double volumeLiters)>;

    CalibrationDialog(CalibrationRun& run, std::function<double()> currentPulsesPerLiter, Apply apply,
                      QWidget* parent = nullptr);
    ~CalibrationDialog() override;

private:
    void startRun();
    void stopRun();
    void showCount();
    void showResult();
    void applyResult();

    CalibrationRun& run_;
    std::function<double()> currentPulsesPerLiter_;
    Apply apply_;
    QLabel* count_ = nullptr;
    QLineEdit* volume_ = nullptr;
    QLabel* result_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* applyButton_ = nullptr;
    double newPulsesPerLiter_ = 0.0;
    double volumeLiters_ = 0.0; // that the new K-factor was found for
};

} // namespace tavelin
