#pragma once
// Records the display writes of sampling cycles, in order, as "target=value",
// and, as a sample listener, each accepted cycle as "sampleAccepted=total".

#include "sensor/measurement_state.h"
#include "sensor/sample_listener.h"
#include "sensor/sensor_display.h"

#include <QString>
#include <QStringList>

namespace tavelin::test {

class RecordingDisplay : public SensorDisplay, public SampleListener {
public:
    void setLblHz(const QString& text) override { writes << QStringLiteral("lblHz=") + text; }
    void setLblLitersPerMin(const QString& text) override { writes << QStringLiteral("lblLitersPerMin=") + text; }
    void setCWSlide1(double value) override { writes << QStringLiteral("CWSlide1=%1").arg(value); }
    void setLiters(const QString& text) override { writes << QStringLiteral("liters=") + text; }
    void setCWSlide2(double value) override { writes << QStringLiteral("CWSlide2=%1").arg(value); }
    void sampleAccepted(const MeasurementState& state) override
    {
        writes << QStringLiteral("sampleAccepted=%1").arg(state.dblTotalLiters);
    }
    QStringList writes;
};

} // namespace tavelin::test
