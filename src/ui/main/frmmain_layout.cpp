// The instrument window's controls, their places (in twips, as the panel was
// drawn) and the connections from each control to its handler.
#include "frmmain.h"

#include "instrument_widgets.h"
#include "platform/status_bar.h"
#include "platform/twips.h"
#include "platform/widgets/cw_button.h"
#include "platform/widgets/cw_knob.h"
#include "platform/widgets/cw_slide.h"
#include "platform/widgets/fonts.h"

#include <QGroupBox>
#include <QLabel>
#include <QResizeEvent>

namespace tavelin {

namespace {
constexpr int kClientWidthTwips = 5280;
constexpr int kClientHeightTwips = 5340;
constexpr int kStatusBarHeightTwips = 312;
constexpr int kStatusPanelWidthTwips = 5000;

const QColor kReadoutText(0, 255, 0);
const QColor kReadoutBackground(0, 0, 0);
} // namespace

QGroupBox* frmmain::makeFrame(const QString& name, const QString& caption)
{
    auto* frame = new QGroupBox(caption, this);
    frame->setObjectName(name);
    frame->setFont(frameCaptionFont());
    return frame;
}

QLabel* frmmain::makeReadout(QGroupBox* frame, const QString& name, const QString& accessibleName)
{
    auto* label = new QLabel(QStringLiteral("000"), frame);
    label->setObjectName(name);
    label->setAccessibleName(accessibleName);
    label->setAlignment(Qt::AlignCenter);
    label->setFont(readoutFont());
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, kReadoutBackground);
    palette.setColor(QPalette::WindowText, kReadoutText);
    label->setPalette(palette);
    return label;
}

void frmmain::createControls()
{
    setObjectName(QStringLiteral("frmmain"));
    setWindowTitle(QStringLiteral("Veltrane Ver. 1.0.0 \\ Comm1@19200"));

    Frame9 = makeFrame(QStringLiteral("Frame9"), QStringLiteral("Frequency"));
    lblHz = makeReadout(Frame9, QStringLiteral("lblHz"), tr("Frequency, hertz"));
    Frame1 = makeFrame(QStringLiteral("Frame1"), QStringLiteral("Liters / min"));
    lblLitersPerMin = makeReadout(Frame1, QStringLiteral("lblLitersPerMin"), tr("Flow rate, liters per minute"));
    Frame2 = makeFrame(QStringLiteral("Frame2"), QStringLiteral("Total Liters"));
    liters = makeReadout(Frame2, QStringLiteral("liters"), tr("Total volume, liters"));

    CWSlide1 = makeCWSlide1(this);
    CWSlide2 = makeCWSlide2(this);
    CWKnob1 = makeCWKnob1(this);
    CWButton1 = makeCWButton1(this);
    CWButton2 = makeCWButton2(this);
    CWButton3 = makeCWButton3(this);

    StatusBar1_ = new StatusBar(this);
    StatusBar1_->setObjectName(QStringLiteral("StatusBar1"));

    setTabOrder(CWSlide1, CWSlide2);
    setTabOrder(CWSlide2, CWButton1);
    setTabOrder(CWButton1, CWButton2);
    setTabOrder(CWButton2, CWButton3);
    setTabOrder(CWButton3, CWKnob1);
}

void frmmain::placeControls()
{
    const int dpi = logicalDpiX();
    placeInTwips(Frame9, 240, 120, 1572, 792, dpi);
    placeInTwips(lblHz, 60, 240, 1452, 492, dpi);
    placeInTwips(Frame1, 240, 1020, 1572, 792, dpi);
    placeInTwips(lblLitersPerMin, 60, 240, 1452, 492, dpi);
    placeInTwips(Frame2, 240, 1920, 1572, 792, dpi);
    placeInTwips(liters, 60, 240, 1452, 492, dpi);
    placeInTwips(CWSlide1, 2160, 180, 1272, 4272, dpi);
    placeInTwips(CWSlide2, 3780, 180, 1272, 4272, dpi);
    placeInTwips(CWKnob1, 180, 2880, 1632, 1572, dpi);
    placeInTwips(CWButton1, 420, 4620, 1092, 312, dpi);
    placeInTwips(CWButton2, 2100, 4620, 1092, 312, dpi);
    placeInTwips(CWButton3, 3780, 4620, 1092, 312, dpi);

    StatusBar1_->setPanelWidth(twipsToPixels(kStatusPanelWidthTwips, dpi));
    resize(twipsToPixels(kClientWidthTwips, dpi), twipsToPixels(kClientHeightTwips, dpi));
}

void frmmain::resizeEvent(QResizeEvent* event)
{
    // The controls keep their places; the status bar stays along the bottom.
    const int barHeight = twipsToPixels(kStatusBarHeightTwips, logicalDpiX());
    StatusBar1_->setGeometry(0, event->size().height() - barHeight, event->size().width(), barHeight);
    QWidget::resizeEvent(event);
}

void frmmain::connectHandlers()
{
    connect(CWButton1, &CWButton::Click, this, &frmmain::CWButton1_Click);
    connect(CWButton2, &CWButton::ValueChanged, this, &frmmain::CWButton2_ValueChanged);
    connect(CWButton3, &CWButton::ValueChanged, this, &frmmain::CWButton3_ValueChanged);
    connect(CWKnob1, &CWKnob::ValueChanged, this, &frmmain::CWKnob1_ValueChanged);
}

} // namespace tavelin
