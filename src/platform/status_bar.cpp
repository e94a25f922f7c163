#include "status_bar.h"

#include <QLabel>

namespace tavelin {

StatusBar::StatusBar(QWidget* parent) : QStatusBar(parent), panel_(new QLabel(this))
{
    panel_->setObjectName(QStringLiteral("panel1"));
    panel_->setFrameShape(QFrame::Panel);
    panel_->setFrameShadow(QFrame::Sunken);
    panel_->setTextFormat(Qt::PlainText);
    addWidget(panel_);
    setSizeGripEnabled(true);
}

void StatusBar::setPanelWidth(int pixels)
{
    panel_->setFixedWidth(pixels);
}

QString StatusBar::text() const
{
    return panel_->text();
}

void StatusBar::setText(const QString& text)
{
    panel_->setText(text);
}

} // namespace tavelin
