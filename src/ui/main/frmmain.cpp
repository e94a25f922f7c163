#include "frmmain.h"

#include "logging/logging_switch.h"
#include "platform/gui/status_bar.h"
#include "platform/message_box.h"
#include "platform/serial_port.h"
#include "platform/widgets/cw_button.h"
#include "platform/widgets/cw_knob.h"
#include "platform/widgets/cw_slide.h"
#include "platform/widgets/instrument_accessibility.h"
#include "ui/calibration/calibration_dialog.h"
#include "ui/events/event_log_window.h"
#include "ui/main/alarm_panel.h"
#include "ui/trend/trend_window.h"

#include <QCloseEvent>
#include <QLabel>

namespace tavelin {

frmmain::frmmain(Station& station, FileDialog& fileDialog, QWidget* parent)
    : QWidget(parent),
      station_(station),
      fileDialog_(fileDialog),
      instrument_(station.attach({*this, [this] { return liters_->text(); },
                                  {[this] { tmrRd_Timer(); }, [this] { tmrLogger_Timer(); }}, this}))
{
    createControls();
    alarmPanel_ = std::make_unique<AlarmPanel>(*this, instrument_,
                                               AlarmPanel::Readouts{lblHz_, lblLitersPerMin_, liters_});
    placeControls();
    connectHandlers();
    createMenu();
    loggingSwitch_ = std::make_unique<LoggingSwitch>(instrument_.logWriter(), *StatusBar1_, fileDialog, this);
    connect(&station_, &Station::storeReady, this, &frmmain::storeReady);
    connect(&station_, &Station::settingsApplied, this, [this] { alarmPanel_->rulesChanged(); });
}

frmmain::~frmmain()
{
    shutDown();
    // Before the instrument they show, which goes with the members.
    delete trendWindow_;
    delete eventLogWindow_;
    delete calibrationDialog_;
}

void frmmain::Form_Load()
{
    openPort();
}

void frmmain::openPort()
{
    const QString failure = instrument_.openPort();
    if (!failure.isEmpty())
        station_.messages().show(failure);
}

void frmmain::CWButton1_Click()
{
    instrument_.setSampling(CWButton1_->Value());
}

void frmmain::CWButton2_ValueChanged(bool value)
{
    loggingSwitch_->valueChanged(value);
}

void frmmain::CWButton3_ValueChanged(bool)
{
    instrument_.resetTotal();
}

void frmmain::CWKnob1_ValueChanged(double, double)
{
    CWSlide2_->setAxisMaximum(CWKnob1_->Value());
}

void frmmain::tmrRd_Timer()
{
    instrument_.PollSensor();
}

void frmmain::tmrLogger_Timer()
{
    instrument_.logWriter().writeRow();
}

void frmmain::setLblHz(const QString& text) { showReading(lblHz_, text); }
void frmmain::setLblLitersPerMin(const QString& text) { showReading(lblLitersPerMin_, text); }
void frmmain::setCWSlide1(double value) { CWSlide1_->setValue(value); }
void frmmain::setLiters(const QString& text) { showReading(liters_, text); }
void frmmain::setCWSlide2(double value) { CWSlide2_->setValue(value); }

void frmmain::shutDown()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    station_.shutDown(); // MQTT offline, the timers, the log file, the port, the store
    if (loggingSwitch_)
        loggingSwitch_->closeDialog();
    if (trendWindow_)
        trendWindow_->close();
    if (eventLogWindow_)
        eventLogWindow_->close();
}

void frmmain::closeEvent(QCloseEvent* event)
{
    shutDown();
    event->accept();
    Q_EMIT closed();
}

} // namespace tavelin
