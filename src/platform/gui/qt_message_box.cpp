#include "qt_message_box.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QShortcut>

namespace tavelin {

namespace {

// Ctrl+C copies the title and the prompt, so that a message can be passed on
// word for word (Qt's box does this by itself only on Windows).
void offerCopy(QMessageBox* box)
{
    auto* copy = new QShortcut(QKeySequence::Copy, box);
    QObject::connect(copy, &QShortcut::activated, box, [box] {
        QGuiApplication::clipboard()->setText(box->windowTitle() + QLatin1Char('\n') + box->text());
    });
}

} // namespace

void QtMessageBox::show(const QString& prompt, const QString& title)
{
    if (suppressed_)
        return;
    QMessageBox box(QMessageBox::NoIcon, title.isEmpty() ? QString::fromLatin1(kApplicationTitle) : title,
                    prompt, QMessageBox::Ok, parent_);
    box.setObjectName(QStringLiteral("messageBox"));
    offerCopy(&box);
    box.exec();
}

QtMessageBox::~QtMessageBox()
{
    delete notice_.data(); // its handler calls back into this object
}

void QtMessageBox::notify(const QString& prompt)
{
    if (suppressed_)
        return;
    if (!notice_) {
        showNotice(prompt);
        return;
    }
    if (notice_->text() != prompt && !waiting_.contains(prompt))
        waiting_.append(prompt);
}

void QtMessageBox::showNotice(const QString& prompt)
{
    notice_ = new QMessageBox(QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle), prompt, QMessageBox::Ok,
                              parent_);
    notice_->setObjectName(QStringLiteral("noticeBox"));
    notice_->setWindowModality(Qt::NonModal);
    notice_->setAttribute(Qt::WA_DeleteOnClose);
    offerCopy(notice_);
    QObject::connect(notice_, &QDialog::finished, notice_, [this] { noticeClosed(); });
    notice_->show();
}

void QtMessageBox::noticeClosed()
{
    notice_ = nullptr; // it deletes itself once closed
    if (suppressed_)
        waiting_.clear();
    if (!waiting_.isEmpty())
        showNotice(waiting_.takeFirst());
}

} // namespace tavelin
