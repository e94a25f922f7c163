// The instrument window's controls, placed from its layout table, and the
// connections from each control to its handler.
#include "frmmain.h"

#include "frmmain_layout.h"
#include "instrument_widgets.h"
#include "platform/gui/fonts.h"
#include "platform/gui/status_bar.h"
#include "platform/widgets/cw_button.h"
#include "platform/widgets/cw_knob.h"
#include "platform/widgets/cw_slide.h"
#include "platform/widgets/instrument_accessibility.h"

#include <QGroupBox>
#include <QLabel>
#include <QResizeEvent>

namespace tavelin {

namespace {
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
    auto* label = new QLabel(frame);
    describeAsReadout(label); // before the label has a text or a name
    label->setText(QStringLiteral("000"));
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
    setWindowTitle(QString::fromLatin1(kFrmmainTitle));

    QGroupBox* Frame9 = makeFrame(QStringLiteral("Frame9"), QStringLiteral("Frequency"));
    lblHz_ = makeReadout(Frame9, QStringLiteral("lblHz"), tr("Frequency, hertz"));
    QGroupBox* Frame1 = makeFrame(QStringLiteral("Frame1"), QStringLiteral("Liters / min"));
    lblLitersPerMin_ = makeReadout(Frame1, QStringLiteral("lblLitersPerMin"), tr("Flow rate, liters per minute"));
    QGroupBox* Frame2 = makeFrame(QStringLiteral("Frame2"), QStringLiteral("Total Liters"));
    liters_ = makeReadout(Frame2, QStringLiteral("liters"), tr("Total volume, liters"));

    CWSlide1_ = makeCWSlide1(this);
    CWSlide2_ = makeCWSlide2(this);
    CWKnob1_ = makeCWKnob1(this);
    CWButton1_ = makeCWButton1(this);
    CWButton2_ = makeCWButton2(this);
    CWButton3_ = makeCWButton3(this);

    StatusBar1_ = new StatusBar(this);
    StatusBar1_->setObjectName(QStringLiteral("StatusBar1"));

    setTabOrder(CWSlide1_, CWSlide2_);
    setTabOrder(CWSlide2_, CWButton1_);
    setTabOrder(CWButton1_, CWButton2_);
    setTabOrder(CWButton2_, CWButton3_);
    setTabOrder(CWButton3_, CWKnob1_);
}

void frmmain::placeControls()
{
    const int dpi = logicalDpiX();
    tavelin::placeControls(this, kFrmmainPlaces, dpi);
    StatusBar1_->setPanelWidth(twipsToPixels(kStatusPanelWidthTwips, dpi));
    resize(twipsToPixels(kFrmmainClient.width, dpi), twipsToPixels(kFrmmainClient.height, dpi));
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
    connect(CWButton1_, &CWButton::Click, this, &frmmain::CWButton1_Click);
    connect(CWButton2_, &CWButton::ValueChanged, this, &frmmain::CWButton2_ValueChanged);
    connect(CWButton3_, &CWButton::ValueChanged, this, &frmmain::CWButton3_ValueChanged);
    connect(CWKnob1_, &CWKnob::ValueChanged, this, &frmmain::CWKnob1_ValueChanged);
}

} // namespace tavelin
