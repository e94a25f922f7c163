// The setup dialog's controls; their places come from its layout table.
#include "frm_loggingflow.h"

#include "frm_loggingflow_layout.h"
#include "platform/gui/fonts.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace tavelin {

void FrmLoggingflow::createControls()
{
    setObjectName(QStringLiteral("FrmLoggingflow"));
    setWindowTitle(QString::fromLatin1(kFrmLoggingflowTitle));
    setModal(false);
    setFont(instrumentFont());

    cmdExit_ = new QPushButton(QStringLiteral("OK"), this);
    cmdExit_->setObjectName(QStringLiteral("cmdExit"));
    cmdExit_->setAutoDefault(false);
    cmdSelect_ = new QPushButton(QStringLiteral("Select File"), this);
    cmdSelect_->setObjectName(QStringLiteral("cmdSelect"));
    cmdSelect_->setAutoDefault(false);

    auto* Frame1 = new QGroupBox(QStringLiteral("Log File Parameters:"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFont(frameCaptionFont());

    // Two option groups: optDatafile in the frame, optAppend on the dialog
    // (drawn inside the frame's rectangle, below "Write to File").
    optDatafileGroup_ = new QButtonGroup(this);
    const char* datafileCaptions[] = {"No Save", "Write to File"};
    for (int i = 0; i < 2; ++i) {
        optDatafile_[i] = new QRadioButton(QString::fromLatin1(datafileCaptions[i]), Frame1);
        optDatafile_[i]->setObjectName(QStringLiteral("optDatafile%1").arg(i));
        optDatafile_[i]->setFont(instrumentFont());
        optDatafileGroup_->addButton(optDatafile_[i], i);
    }
    auto* optAppendGroup = new QButtonGroup(this);
    const char* appendCaptions[] = {"Append", "Overwrite"};
    for (int i = 0; i < 2; ++i) {
        optAppend_[i] = new QRadioButton(QString::fromLatin1(appendCaptions[i]), this);
        optAppend_[i]->setObjectName(QStringLiteral("optAppend%1").arg(i));
        optAppendGroup->addButton(optAppend_[i], i);
    }

    cmbInterval_ = new QComboBox(Frame1);
    cmbInterval_->setObjectName(QStringLiteral("cmbInterval"));
    cmbInterval_->setEditable(false);
    cmbInterval_->setFont(instrumentFont());
    cmbInterval_->setAccessibleName(tr("Logging interval in seconds"));
    auto* Label1 = new QLabel(QStringLiteral("Logging Interval(sec)"), Frame1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(instrumentFont());
    Label1->setWordWrap(true);

    setTabOrder(cmdExit_, cmdSelect_);
    setTabOrder(cmdSelect_, optDatafile_[0]);
    setTabOrder(optDatafile_[0], optDatafile_[1]);
    setTabOrder(optDatafile_[1], optAppend_[0]);
    setTabOrder(optAppend_[0], optAppend_[1]);
    setTabOrder(optAppend_[1], cmbInterval_);

    const int dpi = logicalDpiX();
    placeControls(this, kFrmLoggingflowPlaces, dpi);
    optAppend_[0]->raise(); // above the frame they sit in
    optAppend_[1]->raise();
    setFixedSize(twipsToPixels(kFrmLoggingflowClient.width, dpi), twipsToPixels(kFrmLoggingflowClient.height, dpi));
}

} // namespace tavelin
