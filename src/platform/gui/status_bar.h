#pragma once
// A status bar with one fixed-width text panel.

#include "platform/status_panel.h"

#include <QStatusBar>

class QLabel;

namespace tavelin {

class StatusBar : public QStatusBar, public StatusPanel {
    Q_OBJECT
public:
    explicit StatusBar(QWidget* parent = nullptr);

    void setPanelWidth(int pixels);
    QString text() const override;
    void setText(const QString& text) override;

private:
    QLabel* panel_;
};

} // namespace tavelin
