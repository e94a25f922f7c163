#pragma once
// Records the display writes of sampling cycles, in order, as "target=value".

#include "sensor/sensor_display.h"

#include <QString>
#include <QStringList>

namespace tavelin::test {

class RecordingDisplay : public SensorDisplay {
public:
    void setLblHz(const QString& text) override { writes << QStringLiteral("lblHz=") + text; }
    void setLblLitersPerMin(const QString& text) override { writes << QStringLiteral("lblLitersPerMin=") + text; }
    void setCWSlide1(double value) override { writes << QStringLiteral("CWSlide1=%1").arg(value); }
    void setLiters(const QString& text) override { writes << QStringLiteral("liters=") + text; }
    void setCWSlide2(double value) override { writes << QStringLiteral("CWSlide2=%1").arg(value); }
    QStringList writes;
};

} // namespace tavelin::test
