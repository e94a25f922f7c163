#include "status_bar.h"

#include "bevel.h"

#include <QLabel>
#include <QPainter>

namespace tavelin {
namespace {

// The sunken text panel, its edge one pixel wide. The edge is drawn here, not
// by QFrame, whose line stays one device pixel wide under high-DPI scaling.
class PanelLabel : public QLabel {
public:
    explicit PanelLabel(QWidget* parent) : QLabel(parent)
    {
        setContentsMargins(kEdge, kEdge, kEdge, kEdge);
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QLabel::paintEvent(event);
        QPainter painter(this);
        drawShadePanel(&painter, rect(), palette(), true, kEdge);
    }

private:
    static constexpr int kEdge = 1;
};

} // namespace

StatusBar::StatusBar(QWidget* parent) : QStatusBar(parent), panel_(new PanelLabel(this))
{
    panel_->setObjectName(QStringLiteral("panel1"));
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
