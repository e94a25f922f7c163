#pragma once
// What assistive tools (a screen reader, over AT-SPI on Linux) learn of the
// instrument panel: the knob is a dial they can read and set, each slide
// gauge a read-only slider with value, minimum and maximum, each numeric
// readout a label whose text is the reading, and each switch a check box they
// can press like the operator. Changes are announced.

class QLabel;
class QObject;
class QString;

namespace tavelin {

// Registers these descriptions with Qt. The widgets do it themselves when
// they are made; further calls change nothing.
void installInstrumentAccessibility();

// Makes a label a numeric readout for assistive tools. Call it on a label
// that has neither text nor accessible name yet: Qt keeps the description it
// first hands out for an object.
void describeAsReadout(QLabel* label);

// Shows a new reading on a readout and announces it.
void showReading(QLabel* readout, const QString& reading);

// Announces that a knob's or gauge's value or scale has changed.
void announceValueChange(QObject* widget, double value);

} // namespace tavelin
