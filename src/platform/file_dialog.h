#pragma once
// The modal file-selection dialogs: the logging setup's choice of a log file,
// and where the trend window saves its image.

#include <QString>
#include <QStringList>

class QWidget;

namespace tavelin {

class FileDialog {
public:
    virtual ~FileDialog() = default;
    // Shows an open-file dialog with one filter ("description|pattern"), the
    // file name preset; with createPrompt a name that does not exist yet is
    // accepted once the operator confirms it is to be created (its folder must
    // exist). Returns the chosen full path, or the preset when cancelled.
    virtual QString showOpen(const QString& filter, const QString& presetFileName, bool createPrompt) = 0;
    // Shows a save-file dialog with Qt name filters ("PNG image (*.png)"), the
    // first one selected and the file name preset; a name typed without a
    // suffix gets the selected filter's. Returns the full path, or an empty
    // text when cancelled.
    virtual QString showSave(const QStringList& nameFilters, const QString& presetFileName) = 0;
};

} // namespace tavelin
