#pragma once
// The status bar's one text panel, read and set by the logging switch.

#include <QString>

namespace tavelin {

class StatusPanel {
public:
    virtual ~StatusPanel() = default;
    virtual QString text() const = 0;
    virtual void setText(const QString& text) = 0;
};

} // namespace tavelin
