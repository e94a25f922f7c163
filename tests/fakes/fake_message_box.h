#pragma once
// Records every message box instead of showing it; onShow runs while the
// "box is open", as a nested event loop would.

#include "platform/message_box.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace tavelin::test {

class FakeMessageBox : public MessageBox {
public:
    void show(const QString& prompt, const QString& title = QString()) override
    {
        prompts.append(prompt);
        titles.append(title);
        if (onShow)
            onShow(prompt);
    }
    QStringList prompts;
    QStringList titles;
    std::function<void(const QString&)> onShow;
};

} // namespace tavelin::test
