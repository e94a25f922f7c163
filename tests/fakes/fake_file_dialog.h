#pragma once
// A file dialog that returns what the test decided the operator chose.

#include "platform/file_dialog.h"

#include <QStringList>

namespace tavelin::test {

class FakeFileDialog : public FileDialog {
public:
    QString showOpen(const QString& filter, const QString& presetFileName, bool createPrompt) override
    {
        filters << filter;
        presets << presetFileName;
        createPrompts << createPrompt;
        return cancel ? presetFileName : answer;
    }
    QString showSave(const QStringList& nameFilters, const QString&) override
    {
        filters << nameFilters.join(QStringLiteral(";;"));
        return cancel ? QString() : answer;
    }
    QString answer;      // the chosen path
    bool cancel = false; // the operator cancels: the preset comes back
    QStringList filters;
    QStringList presets;
    QList<bool> createPrompts;
};

} // namespace tavelin::test
