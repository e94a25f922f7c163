#pragma once
// Message boxes on QMessageBox, parented to the instrument window; Ctrl+C
// copies a box's title and prompt.

#include "platform/message_box.h"

#include <QPointer>

class QMessageBox;
class QWidget;

namespace tavelin {

class QtMessageBox : public MessageBox {
public:
    explicit QtMessageBox(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    // Once the program is ending no new box may start a nested event loop.
    void setSuppressed(bool suppressed) { suppressed_ = suppressed; }
    void show(const QString& prompt, const QString& title = QString()) override;
    // At most one such box: a later notice replaces the text of an open one.
    void notify(const QString& prompt) override;

private:
    QWidget* parent_;
    bool suppressed_ = false;
    QPointer<QMessageBox> notice_;
};

} // namespace tavelin
