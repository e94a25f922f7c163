#pragma once
// A numeric readout as assistive tools see it: a label whose name says what
// it shows ("Frequency, hertz") and whose text is the reading ("250"), read
// only. The text is offered whole; it has no selection, caret or layout.

#include <QAccessibleWidget>

class QLabel;

namespace tavelin {

class ReadoutAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit ReadoutAccessible(QLabel* label);

    QString text(QAccessible::Text type) const override;
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    // QAccessibleTextInterface
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    void selection(int, int* startOffset, int* endOffset) const override;
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

private:
    QString reading() const;
};

} // namespace tavelin
