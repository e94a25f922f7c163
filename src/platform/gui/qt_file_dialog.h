#pragma once
// The file-selection dialog on QFileDialog (Qt's own dialog, the same on every
// desktop), with the create prompt for names that do not exist yet.

#include "platform/file_dialog.h"

class QWidget;

namespace tavelin {

class QtFileDialog : public FileDialog {
public:
    explicit QtFileDialog(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    // Once the program is ending the dialog neither opens nor opens again.
    void setSuppressed(bool suppressed) { suppressed_ = suppressed; }
    QString showOpen(const QString& filter, const QString& presetFileName, bool createPrompt) override;
    QString showSave(const QStringList& nameFilters, const QString& presetFileName) override;

private:
    QWidget* parent_;
    bool suppressed_ = false;
};

// "All Files (*.*) |*.*" as QFileDialog takes it: the description, then the
// patterns in parentheses; "*.*" means every file, with or without a dot.
QString toQtNameFilter(const QString& filter);

// "png" for "PNG image (*.png)": the suffix of a name filter's first pattern.
QString nameFilterSuffix(const QString& nameFilter);

} // namespace tavelin
