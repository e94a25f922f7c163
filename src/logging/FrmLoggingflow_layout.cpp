// The setup dialog's controls and their places, in twips as the dialog was drawn.
#include "FrmLoggingflow.h"

#include "platform/twips.h"
#include "platform/widgets/fonts.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace tavelin {

namespace {
constexpr int kClientWidthTwips = 3504;
constexpr int kClientHeightTwips = 2424;
} // namespace

void FrmLoggingflow::createControls()
{
    setObjectName(QStringLiteral("FrmLoggingflow"));
    setWindowTitle(QStringLiteral("Logger"));
    setModal(false);
    setFont(instrumentFont());

    cmdExit = new QPushButton(QStringLiteral("OK"), this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    cmdExit->setAutoDefault(false);
    cmdSelect = new QPushButton(QStringLiteral("Select File"), this);
    cmdSelect->setObjectName(QStringLiteral("cmdSelect"));
    cmdSelect->setAutoDefault(false);

    Frame1 = new QGroupBox(QStringLiteral("Log File Parameters:"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFont(frameCaptionFont());

    // Two option groups: optDatafile in the frame, optAppend on the dialog
    // (drawn inside the frame's rectangle, below "Write to File").
    optDatafileGroup_ = new QButtonGroup(this);
    const char* datafileCaptions[] = {"No Save", "Write to File"};
    for (int i = 0; i < 2; ++i) {
        optDatafile[i] = new QRadioButton(QString::fromLatin1(datafileCaptions[i]), Frame1);
        optDatafile[i]->setObjectName(QStringLiteral("optDatafile%1").arg(i));
        optDatafile[i]->setFont(instrumentFont());
        optDatafileGroup_->addButton(optDatafile[i], i);
    }
    optAppendGroup_ = new QButtonGroup(this);
    const char* appendCaptions[] = {"Append", "Overwrite"};
    for (int i = 0; i < 2; ++i) {
        optAppend[i] = new QRadioButton(QString::fromLatin1(appendCaptions[i]), this);
        optAppend[i]->setObjectName(QStringLiteral("optAppend%1").arg(i));
        optAppendGroup_->addButton(optAppend[i], i);
    }

    cmbInterval = new QComboBox(Frame1);
    cmbInterval->setObjectName(QStringLiteral("cmbInterval"));
    cmbInterval->setEditable(false);
    cmbInterval->setFont(instrumentFont());
    cmbInterval->setAccessibleName(tr("Logging interval in seconds"));
    Label1 = new QLabel(QStringLiteral("Logging Interval(sec)"), Frame1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(instrumentFont());
    Label1->setWordWrap(true);

    setTabOrder(cmdExit, cmdSelect);
    setTabOrder(cmdSelect, optDatafile[0]);
    setTabOrder(optDatafile[0], optDatafile[1]);
    setTabOrder(optDatafile[1], optAppend[0]);
    setTabOrder(optAppend[0], optAppend[1]);
    setTabOrder(optAppend[1], cmbInterval);
}

void FrmLoggingflow::placeControls()
{
    const int dpi = logicalDpiX();
    placeInTwips(cmdExit, 1920, 1920, 972, 372, dpi);
    placeInTwips(cmdSelect, 600, 1920, 972, 372, dpi);
    placeInTwips(Frame1, 120, 120, 3252, 1692, dpi);
    placeInTwips(optDatafile[0], 120, 240, 1212, 372, dpi);
    placeInTwips(optDatafile[1], 120, 720, 1212, 252, dpi);
    placeInTwips(optAppend[0], 720, 1200, 1332, 252, dpi);
    placeInTwips(optAppend[1], 720, 1440, 1332, 252, dpi);
    placeInTwips(cmbInterval, 2040, 780, 792, 288, dpi);
    placeInTwips(Label1, 1800, 300, 1332, 372, dpi);
    optAppend[0]->raise(); // above the frame they sit in
    optAppend[1]->raise();

    setFixedSize(twipsToPixels(kClientWidthTwips, dpi), twipsToPixels(kClientHeightTwips, dpi));
}

} // namespace tavelin
