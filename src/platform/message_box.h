#pragma once
// Modal message boxes for what the operator must know: a prompt, an optional
// title and an OK button, no icon. The call returns when the box is closed.
// Notices are the same boxes without the wait.

#include <QPointer>
#include <QString>

class QMessageBox;
class QWidget;

namespace tavelin {

inline const char* const kApplicationTitle = "tavelin";

class MessageBox {
public:
    virtual ~MessageBox() = default;
    // An empty title shows the application's title.
    virtual void show(const QString& prompt, const QString& title = QString()) = 0;
    // News that asks nothing of the operator: the box stays up while the
    // caller, and the timer that called it, go on.
    virtual void notify(const QString& prompt) { show(prompt); }
};

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
