#include "ui/calibration/calibration_dialog.h"

#include "platform/number_text.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavelin {

namespace {

QString decimalText(double value, int decimals) { return QLocale().toString(value, 'f', decimals); }

} // namespace

CalibrationDialog::CalibrationDialog(CalibrationRun& run, std::function<double()> currentPulsesPerLiter, Apply apply,
                                     QWidget* parent)
    : QDialog(parent), run_(run), currentPulsesPerLiter_(std::move(currentPulsesPerLiter)), apply_(std::move(apply))
{
    setWindowTitle(tr("Calibrate"));
    auto* intro = new QLabel(tr("Start, let a known volume flow through the sensor, Stop, then type the volume "
                                "that really went through (from a measuring vessel or a reference meter)."),
                             this);
    intro->setWordWrap(true);

    start_ = new QPushButton(tr("&Start"), this);
    start_->setObjectName(QStringLiteral("start"));
    stop_ = new QPushButton(tr("S&top"), this);
    stop_->setObjectName(QStringLiteral("stop"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(start_);
    buttons->addWidget(stop_);
    buttons->addStretch();

    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("count"));
    volume_ = new QLineEdit(this);
    volume_->setObjectName(QStringLiteral("volume"));
    volume_->setAccessibleName(tr("Volume that went through, liters"));
    result_ = new QLabel(this);
    result_->setObjectName(QStringLiteral("result"));
    result_->setWordWrap(true);

    auto* form = new QFormLayout;
    form->addRow(tr("Counted:"), count_);
    form->addRow(tr("&Volume that went through (L):"), volume_);

    auto* box = new QDialogButtonBox(QDialogButtonBox::Close, this);
    applyButton_ = box->addButton(tr("&Apply"), QDialogButtonBox::ApplyRole);
    applyButton_->setObjectName(QStringLiteral("apply"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(buttons);
    layout->addLayout(form);
    layout->addWidget(result_);
    layout->addWidget(box);

    connect(start_, &QPushButton::clicked, this, &CalibrationDialog::startRun);
    connect(stop_, &QPushButton::clicked, this, &CalibrationDialog::stopRun);
    connect(volume_, &QLineEdit::textChanged, this, &CalibrationDialog::showResult);
    connect(applyButton_, &QPushButton::clicked, this, &CalibrationDialog::applyResult);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    run_.setOnCounted([this] { showCount(); });
    showCount();
    showResult();
}

CalibrationDialog::~CalibrationDialog()
{
    run_.setOnCounted(nullptr); // the run outlives the dialog
}

void CalibrationDialog::startRun()
{
    run_.start();
    showCount();
    showResult();
}

void CalibrationDialog::stopRun()
{
    run_.stop();
    showCount();
    showResult();
}

void CalibrationDialog::showCount()
{
    const double k = currentPulsesPerLiter_();
    count_->setText(tr("%1 pulses, %2 L at %3 pulses per liter%4")
                        .arg(decimalText(run_.pulses(), 2), decimalText(run_.pulses() / k, 3),
                             generalNumberText(k, QLocale()),
                             run_.isRunning() ? tr(" (counting)") : QString()));
    start_->setEnabled(!run_.isRunning());
    stop_->setEnabled(run_.isRunning());
}

void CalibrationDialog::showResult()
{
    newPulsesPerLiter_ = 0.0;
    applyButton_->setEnabled(false);
    if (run_.isRunning()) {
        result_->setText(tr("Stop the run to calculate the K-factor."));
        return;
    }
    if (volume_->text().trimmed().isEmpty()) {
        result_->setText(run_.readings() > 0 ? tr("Type the volume that went through.") : QString());
        return;
    }
    bool ok = false;
    double volume = QLocale().toDouble(volume_->text().trimmed(), &ok);
    if (!ok)
        volume = QLocale::c().toDouble(volume_->text().trimmed(), &ok);
    if (!ok) {
        result_->setText(tr("The volume is not a number."));
        return;
    }
    const double current = currentPulsesPerLiter_();
    const Calibration calibration = calibrate(run_.pulses(), volume, current);
    if (!calibration.refusal.isEmpty()) {
        result_->setText(calibration.refusal);
        return;
    }
    newPulsesPerLiter_ = calibration.pulsesPerLiter;
    volumeLiters_ = volume;
    result_->setText(tr("New K-factor: %1 pulses per liter (now %2), a change of %3 %.")
                         .arg(decimalText(calibration.pulsesPerLiter, 3), generalNumberText(current, QLocale()),
                              QLocale().toString(calibration.changePercent, 'f', 2)));
    applyButton_->setEnabled(true);
}

void CalibrationDialog::applyResult()
{
    if (newPulsesPerLiter_ <= 0.0)
        return;
    const QString error = apply_(newPulsesPerLiter_, run_.pulses(), volumeLiters_);
    if (!error.isEmpty()) {
        result_->setText(error);
        return;
    }
    result_->setText(tr("The K-factor is now %1 pulses per liter.").arg(decimalText(newPulsesPerLiter_, 3)));
    applyButton_->setEnabled(false);
}

} // namespace tavelin
