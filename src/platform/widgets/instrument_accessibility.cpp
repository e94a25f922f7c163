#include "platform/widgets/instrument_accessibility.h"

#include "platform/widgets/cw_button.h"
#include "platform/widgets/cw_knob.h"
#include "platform/widgets/cw_slide.h"
#include "platform/widgets/readout_accessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QLocale>
#include <qwt_knob.h>

namespace tavelin {
namespace {

const char* const kReadoutProperty = "tavelinReadout";

// A knob or gauge: one value on one scale. Its caption and inner parts are
// already said by its name, so it shows no children.
class ScaleAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    ScaleAccessible(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

    QString text(QAccessible::Text type) const override
    {
        if (type == QAccessible::Value)
            return QLocale().toString(currentValue().toDouble());
        return QAccessibleWidget::text(type);
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
};

// The tank-scale knob: a dial that an assistive tool may set like a turn by
// the operator, so that the same handler runs.
class KnobAccessible : public ScaleAccessible {
public:
    explicit KnobAccessible(CWKnob* knob) : ScaleAccessible(knob, QAccessible::Dial) {}

    QVariant currentValue() const override { return knob()->Value(); }
    void setCurrentValue(const QVariant& value) override
    {
        bool isNumber = false;
        const double wanted = value.toDouble(&isNumber);
        if (isNumber)
            knob()->turnTo(wanted);
    }
    QVariant minimumValue() const override { return knob()->axisMinimum(); }
    QVariant maximumValue() const override { return knob()->axisMaximum(); }
    QVariant minimumStepSize() const override
    {
        const uint steps = knob()->pointer()->totalSteps();
        return steps > 0 ? (knob()->axisMaximum() - knob()->axisMinimum()) / steps : 0.0;
    }

private:
    CWKnob* knob() const { return static_cast<CWKnob*>(object()); }
};

// A slide gauge: a slider that only shows its value, which may lie beyond
// the scale (the thumb then rests at the end, the value is still told).
class GaugeAccessible : public ScaleAccessible {
public:
    explicit GaugeAccessible(CWSlide* gauge) : ScaleAccessible(gauge, QAccessible::Slider) {}

    QAccessible::State state() const override
    {
        QAccessible::State state = ScaleAccessible::state();
        state.readOnly = true;
        return state;
    }

    QVariant currentValue() const override { return gauge()->value(); }
    void setCurrentValue(const QVariant&) override {} // the sampling cycle alone sets it
    QVariant minimumValue() const override { return gauge()->axisMinimum(); }
    QVariant maximumValue() const override { return gauge()->axisMaximum(); }
    QVariant minimumStepSize() const override { return 0.0; }

private:
    CWSlide* gauge() const { return static_cast<CWSlide*>(object()); }
};

// A switch: a check box that is checked while the switch is On. Pressing or
// toggling it from an assistive tool clicks it, as the operator's click does,
// so that the Start/Stop handler, which listens to clicks, runs as well.
class SwitchAccessible : public QAccessibleWidget {
public:
    explicit SwitchAccessible(CWButton* button) : QAccessibleWidget(button, QAccessible::CheckBox) {}

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = button()->isChecked();
        state.pressed = button()->isDown();
        return state;
    }

    QStringList actionNames() const override
    {
        return QStringList{toggleAction(), pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& actionName) override
    {
        if (actionName == toggleAction() || actionName == pressAction()) {
            if (button()->isEnabled())
                button()->click();
            return;
        }
        QAccessibleWidget::doAction(actionName);
    }

private:
    CWButton* button() const { return static_cast<CWButton*>(object()); }
};

QAccessibleInterface* describeInstrument(const QString& className, QObject* object)
{
    if (className == QLatin1String("tavelin::CWKnob"))
        return new KnobAccessible(static_cast<CWKnob*>(object));
    if (className == QLatin1String("tavelin::CWButton"))
        return new SwitchAccessible(static_cast<CWButton*>(object));
    if (className == QLatin1String("tavelin::CWSlide"))
        return new GaugeAccessible(static_cast<CWSlide*>(object));
    if (className == QLatin1String("QLabel") && object->property(kReadoutProperty).toBool())
        return new ReadoutAccessible(static_cast<QLabel*>(object));
    return nullptr;
}

} // namespace

void installInstrumentAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(describeInstrument);
        return true;
    }();
    Q_UNUSED(installed);
}

void describeAsReadout(QLabel* label)
{
    installInstrumentAccessibility();
    label->setProperty(kReadoutProperty, true);
}

void showReading(QLabel* readout, const QString& reading)
{
    const QString previous = readout->text();
    readout->setText(reading);
    if (previous == reading)
        return;
    QAccessibleTextUpdateEvent event(readout, 0, previous, reading);
    QAccessible::updateAccessibility(&event);
}

void announceValueChange(QObject* widget, double value)
{
    QAccessibleValueChangeEvent event(widget, value);
    QAccessible::updateAccessibility(&event);
}

} // namespace tavelin
