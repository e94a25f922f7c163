#include "message_box.h"

#include <QMessageBox>

namespace tavelin {

void QtMessageBox::show(const QString& prompt, const QString& title)
{
    if (suppressed_)
        return;
    QMessageBox box(QMessageBox::NoIcon, title.isEmpty() ? QString::fromLatin1(kApplicationTitle) : title,
                    prompt, QMessageBox::Ok, parent_);
    box.setObjectName(QStringLiteral("messageBox"));
    box.exec();
}

} // namespace tavelin
