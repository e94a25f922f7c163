#include "when_on_screen.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace tavelin {

namespace {

// Watches the window's platform window for its first expose, then runs the
// action from the event loop, once the map has gone out to the display.
class ExposeWatch : public QObject {
public:
    ExposeWatch(QWindow* window, std::function<void()> action) : QObject(window), action_(std::move(action))
    {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* window = static_cast<QWindow*>(watched);
        if (event->type() == QEvent::Expose && window->isExposed() && action_) {
            window->removeEventFilter(this);
            QTimer::singleShot(0, window, std::move(action_));
            action_ = nullptr;
            deleteLater();
        }
        return false;
    }

private:
    std::function<void()> action_;
};

} // namespace

void whenOnScreen(QWidget& window, std::function<void()> action)
{
    QWindow* handle = window.windowHandle();
    if (!handle || handle->isExposed()) {
        QTimer::singleShot(0, &window, std::move(action));
        return;
    }
    new ExposeWatch(handle, std::move(action));
}

} // namespace tavelin
