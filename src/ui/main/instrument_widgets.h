#pragma once
// The six instrument widgets of the main window, each configured in one
// place: scale, caption, texts, action, starting value and names. Position
// and size are the window's business.

class QWidget;

namespace tavelin {

class CWButton;
class CWKnob;
class CWSlide;

CWKnob* makeCWKnob1(QWidget* parent);     // tank scale, 25 to 400 liters
CWSlide* makeCWSlide1(QWidget* parent);   // flow-rate gauge, liters per minute
CWSlide* makeCWSlide2(QWidget* parent);   // total-volume gauge, liters
CWButton* makeCWButton1(QWidget* parent); // Start/Stop sampling
CWButton* makeCWButton2(QWidget* parent); // Logging on/off
CWButton* makeCWButton3(QWidget* parent); // Reset the total

} // namespace tavelin
