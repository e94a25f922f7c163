#include "ui/main/instrument_widgets.h"

#include "platform/widgets/cw_button.h"
#include "platform/widgets/cw_knob.h"
#include "platform/widgets/cw_slide.h"

#include <QColor>

namespace tavelin {

CWKnob* makeCWKnob1(QWidget* parent)
{
    auto* knob = new CWKnob(parent);
    knob->setObjectName(QStringLiteral("CWKnob1"));
    knob->setAccessibleName(QStringLiteral("Total liters tank scale"));
    knob->setCaption(QStringLiteral("Total Liters tank scale"), QColor(0, 0, 255));
    knob->setAxis(25.0, 400.0, 50.0, 25.0);
    knob->setValue(25.0);
    return knob;
}

CWSlide* makeCWSlide1(QWidget* parent)
{
    auto* slide = new CWSlide(parent);
    slide->setObjectName(QStringLiteral("CWSlide1"));
    slide->setAccessibleName(QStringLiteral("Flow rate gauge, liters per minute"));
    slide->setCaption(QStringLiteral("L/min"));
    slide->setAxis(0.0, 5.0, 0.5, 0.25);
    slide->setValue(0.0);
    return slide;
}

CWSlide* makeCWSlide2(QWidget* parent)
{
    auto* slide = new CWSlide(parent);
    slide->setObjectName(QStringLiteral("CWSlide2"));
    slide->setAccessibleName(QStringLiteral("Total volume gauge, liters"));
    slide->setCaption(QStringLiteral("Total Liters"));
    slide->setAxis(0.0, 2.0, 0.2, 0.1); // until the tank-scale knob is first turned
    slide->setValue(0.0);
    return slide;
}

CWButton* makeCWButton1(QWidget* parent)
{
    auto* button = new CWButton(parent);
    button->setObjectName(QStringLiteral("CWButton1"));
    button->setAccessibleName(QStringLiteral("Start/Stop sampling"));
    button->setMode(CWButton::Mode::Latching);
    button->setOffText(QStringLiteral("Start"));
    button->setOnText(QStringLiteral("Stop"));
    button->setValue(false);
    return button;
}

CWButton* makeCWButton2(QWidget* parent)
{
    auto* button = new CWButton(parent);
    button->setObjectName(QStringLiteral("CWButton2"));
    button->setAccessibleName(QStringLiteral("Logging on/off"));
    button->setMode(CWButton::Mode::Latching);
    button->setOffText(QStringLiteral("Logging"));
    button->setOnText(QStringLiteral("Logging"));
    button->setValue(false);
    return button;
}

CWButton* makeCWButton3(QWidget* parent)
{
    auto* button = new CWButton(parent);
    button->setObjectName(QStringLiteral("CWButton3"));
    button->setAccessibleName(QStringLiteral("Reset total"));
    button->setMode(CWButton::Mode::Momentary);
    button->setOffText(QStringLiteral("Reset"));
    button->setOnText(QStringLiteral("Reset"));
    button->setValue(false);
    return button;
}

} // namespace tavelin
