#pragma once
// Where a sampling cycle shows its results: the main window's three readouts
// and two gauges, written in the order the declarations give.

#include <QString>

namespace tavelin {

class SensorDisplay {
public:
    virtual ~SensorDisplay() = default;
    virtual void setLblHz(const QString& text) = 0;
    virtual void setLblLitersPerMin(const QString& text) = 0;
    virtual void setCWSlide1(double value) = 0;
    virtual void setLiters(const QString& text) = 0;
    virtual void setCWSlide2(double value) = 0;
};

} // namespace tavelin
