#pragma once
// Records every message box instead of showing it; onShow runs while the
// "box is open", as a nested event loop would. Notices are only recorded.

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
    void notify(const QString& prompt) override { notices.append(prompt); }
    QStringList prompts;
    QStringList titles;
    QStringList notices; // boxes that do not wait
    std::function<void(const QString&)> onShow;
};

} // namespace tavelin::test
