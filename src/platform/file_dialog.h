#pragma once
// The modal file-selection dialog the logging setup uses to choose a log file.

#include <QString>

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
};

} // namespace tavelin
