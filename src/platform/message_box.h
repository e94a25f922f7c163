#pragma once
// Modal message boxes for what the operator must know: a prompt, an optional
// title and an OK button, no icon. The call returns when the box is closed.

#include <QString>

class QWidget;

namespace tavelin {

inline const char* const kApplicationTitle = "tavelin";

class MessageBox {
public:
    virtual ~MessageBox() = default;
    // An empty title shows the application's title.
    virtual void show(const QString& prompt, const QString& title = QString()) = 0;
};

class QtMessageBox : public MessageBox {
public:
    explicit QtMessageBox(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    // Once the program is ending no new box may start a nested event loop.
    void setSuppressed(bool suppressed) { suppressed_ = suppressed; }
    void show(const QString& prompt, const QString& title = QString()) override;

private:
    QWidget* parent_;
    bool suppressed_ = false;
};

} // namespace tavelin
