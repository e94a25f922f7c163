#include "twips.h"

#include <QWidget>

namespace tavelin {

QRect twipsRect(const TwipsPlace& place, int dotsPerInch)
{
    return QRect(twipsToPixels(place.left, dotsPerInch), twipsToPixels(place.top, dotsPerInch),
                 twipsToPixels(place.width, dotsPerInch), twipsToPixels(place.height, dotsPerInch));
}

QWidget* placedControl(QWidget* window, const TwipsPlace& place)
{
    QWidget* container = window;
    if (place.container)
        container = window->findChild<QWidget*>(QLatin1String(place.container), Qt::FindDirectChildrenOnly);
    QWidget* control = container ? container->findChild<QWidget*>(QLatin1String(place.control),
                                                                   Qt::FindDirectChildrenOnly)
                                 : nullptr;
    if (!control)
        qFatal("%s has no control %s", qPrintable(window->objectName()), place.control);
    return control;
}

void placeControls(QWidget* window, const TwipsPlace* places, std::size_t count, int dotsPerInch)
{
    for (std::size_t i = 0; i < count; ++i)
        placedControl(window, places[i])->setGeometry(twipsRect(places[i], dotsPerInch));
}

} // namespace tavelin
