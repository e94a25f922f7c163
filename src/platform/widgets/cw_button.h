#pragma once
// Two-state switch of the instrument panel: Off (false) and On (true), one
// text per state, the body in the button-face colour when Off and green when
// On. Latching switches toggle on each click; momentary ones are On only while
// held down. Worked by the mouse and, once focused, by Space, Enter or Return.

#include <QAbstractButton>
#include <QString>

namespace tavelin {

class CWButton : public QAbstractButton {
    Q_OBJECT
public:
    enum class Mode { Latching, Momentary };

    explicit CWButton(QWidget* parent = nullptr);

    void setMode(Mode mode);

    void setOffText(const QString& text);
    void setOnText(const QString& text);

    // True while the switch is On.
    bool Value() const { return isChecked(); }
    // Sets the state from the program; raises ValueChanged only when the
    // state changes, and never Click.
    void setValue(bool on) { setChecked(on); }

    QSize sizeHint() const override;

Q_SIGNALS:
    // The operator clicked the switch (pressed and released it over the
    // switch); Value() already holds the state that the click produced.
    void Click();
    // Every change of state, from the operator or the program.
    void ValueChanged(bool value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void nextCheckState() override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void onStateChanged(bool on);
    void releaseMomentary();

    Mode mode_ = Mode::Latching;
    QString offText_;
    QString onText_;
};

} // namespace tavelin
