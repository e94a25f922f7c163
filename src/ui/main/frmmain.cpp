#include "frmmain.h"

#include "logging/logging_switch.h"
#include "platform/gui/status_bar.h"
#include "platform/message_box.h"
#include "platform/serial_port.h"
#include "platform/widgets/cw_button.h"
#include "platform/widgets/cw_knob.h"
#include "platform/widgets/cw_slide.h"
#include "platform/widgets/instrument_accessibility.h"
#include "sensor/sensor_constants.h"
#include "ui/trend/trend_window.h"

#include <QCloseEvent>
#include <QLabel>

namespace tavelin {

frmmain::frmmain(Services services, const Settings& settings, QWidget* parent)
    : QWidget(parent),
      services_(services),
      settings_(settings),
      module_(services.MSComm1, services.counter, services.messages, *this),
      tmrRd_(new QtWindowTimer([this] { tmrRd_Timer(); }, this)),
      tmrLogger_(new QtWindowTimer([this] { tmrLogger_Timer(); }, this)),
      logWriter_(services.logChannel, services.clock, module_.state, [this] { return liters_->text(); },
                 *tmrLogger_, services.messages),
      trend_(services.clock),
      storeRecorder_(services.store, services.clock, services.messages)
{
    createControls();
    placeControls();
    connectHandlers();
    createMenu();
    module_.setPulsesPerLiter(settings_.sensor.pulsesPerLiter);
    storeRecorder_.setRetentionDays(settings_.store.retentionDays);
    listeners_.add(&storeRecorder_);
    listeners_.add(&trend_);
    listeners_.add(&calibration_);
    module_.setSampleListener(&listeners_);
    restoreTotal();

    tmrRd_->setObjectName(QStringLiteral("tmrRd"));
    tmrRd_->setInterval(sensor::kSamplingIntervalMs);
    tmrRd_->setEnabled(false);
    tmrLogger_->setObjectName(QStringLiteral("tmrLogger"));
    tmrLogger_->setInterval(0); // enabled, but never ticks until logging sets an interval
    tmrLogger_->setEnabled(true);

    loggingSwitch_ = std::make_unique<LoggingSwitch>(logWriter_, *StatusBar1_, services.fileDialog, this);
}

frmmain::~frmmain()
{
    shutDown();
    delete trendWindow_; // before the ring it shows, which goes with the members
}

void frmmain::Form_Load()
{
    openPort();
}

void frmmain::openPort()
{
    SerialPort& port = services_.MSComm1;
    if (port.open())
        return;
    QString message = tr("Serial port 1 (%1) cannot be opened: %2.").arg(port.deviceName(), port.errorString());
    const QString advice = port.openAdvice();
    if (!advice.isEmpty())
        message += QStringLiteral("\n\n") + advice;
    message += QStringLiteral("\n\n")
             + tr("Until it opens, sampling reports \"Port Not open\"; the port is tried again at each "
                  "sampling cycle.");
    services_.messages.show(message);
}

void frmmain::CWButton1_Click()
{
    tmrRd_->setEnabled(CWButton1_->Value());
    trend_.samplingSwitched(); // no line across the time without sampling
}

void frmmain::CWButton2_ValueChanged(bool value)
{
    loggingSwitch_->valueChanged(value);
}

void frmmain::CWButton3_ValueChanged(bool)
{
    module_.state.dblPulseTotal = 0.0;
}

void frmmain::CWKnob1_ValueChanged(double, double)
{
    CWSlide2_->setAxisMaximum(CWKnob1_->Value());
}

void frmmain::tmrRd_Timer()
{
    module_.PollSensor();
}

void frmmain::tmrLogger_Timer()
{
    logWriter_.writeRow();
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
    tmrRd_->setEnabled(false);
    tmrLogger_->setEnabled(false);
    logWriter_.StopLogging(); // rows are already with the system; this closes the file
    if (loggingSwitch_)
        loggingSwitch_->closeDialog();
    if (trendWindow_)
        trendWindow_->close();
    services_.MSComm1.close();
}

void frmmain::closeEvent(QCloseEvent* event)
{
    shutDown();
    event->accept();
    Q_EMIT closed();
}

} // namespace tavelin
