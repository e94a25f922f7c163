#pragma once
// Message boxes on QMessageBox, parented to the instrument window; Ctrl+C
// copies a box's title and prompt.

#include "platform/message_box.h"

#include <QPointer>
#include <QStringList>

class QMessageBox;
class QWidget;

namespace tavelin {

class QtMessageBox : public MessageBox {
public:
    explicit QtMessageBox(QWidget* parent = nullptr) : parent_(parent) {}
    ~QtMessageBox() override;
    QtMessageBox(const QtMessageBox&) = delete;
    QtMessageBox& operator=(const QtMessageBox&) = delete;
    void setParent(QWidget* parent) { parent_ = parent; }
    // Once the program is ending no new box may start a nested event loop.
    void setSuppressed(bool suppressed) { suppressed_ = suppressed; }
    void show(const QString& prompt, const QString& title = QString()) override;
    // One such box at a time: later notices wait, in order, and each comes
    // up when the one before is closed. A notice up or waiting already is not
    // queued twice.
    void notify(const QString& prompt) override;

private:
    void showNotice(const QString& prompt);
    void noticeClosed();

    QWidget* parent_;
    bool suppressed_ = false;
    QPointer<QMessageBox> notice_;
    QStringList waiting_; // notices behind the one up
};

} // namespace tavelin
