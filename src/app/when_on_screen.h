#pragma once
// Runs an action once, as soon as a shown window is on the screen: work that
// must not delay the window's appearance (reading the readings store).

#include <functional>

class QWidget;

namespace tavelin {

void whenOnScreen(QWidget& window, std::function<void()> action);

} // namespace tavelin
