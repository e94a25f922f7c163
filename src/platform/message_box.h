#pragma once
// Modal message boxes for what the operator must know: a prompt, an optional
// title and an OK button, no icon. The call returns when the box is closed.
// Notices are the same boxes without the wait.

#include <QString>

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

} // namespace tavelin
