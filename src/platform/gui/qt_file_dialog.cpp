#include "qt_file_dialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QRegularExpression>
#include <QFileInfo>
#include <QMessageBox>

namespace tavelin {

QString toQtNameFilter(const QString& filter)
{
    const int bar = filter.indexOf(QLatin1Char('|'));
    if (bar < 0)
        return filter;
    QString patterns = filter.mid(bar + 1).trimmed();
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    if (patterns == QLatin1String("*.*"))
        patterns = QStringLiteral("*");
    return filter.left(bar) + QLatin1Char('(') + patterns + QLatin1Char(')');
}

namespace {

// Asks whether a missing file is to be created; false sends the operator back.
bool confirmCreate(QWidget* parent, const QString& path)
{
    const QFileInfo info(path);
    if (!info.absoluteDir().exists()) {
        QMessageBox::warning(parent, QObject::tr("Select File"),
                             QObject::tr("The folder of %1 does not exist.").arg(path));
        return false;
    }
    return QMessageBox::question(parent, QObject::tr("Select File"),
                                 QObject::tr("%1 does not exist.\nCreate the file?").arg(info.fileName()),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes)
        == QMessageBox::Yes;
}

} // namespace

QString QtFileDialog::showOpen(const QString& filter, const QString& presetFileName, bool createPrompt)
{
    if (suppressed_)
        return presetFileName;
    QFileDialog dialog(parent_);
    dialog.setObjectName(QStringLiteral("cdlDataFiles"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(createPrompt ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(toQtNameFilter(filter));
    if (!presetFileName.isEmpty())
        dialog.selectFile(presetFileName);

    // The program's end closes the dialog or its prompt: then no second round.
    while (!suppressed_ && dialog.exec() == QDialog::Accepted) {
        const QStringList chosen = dialog.selectedFiles();
        if (chosen.isEmpty())
            continue;
        const QString path = chosen.constFirst();
        if (!QFileInfo::exists(path) && createPrompt && !confirmCreate(&dialog, path))
            continue;
        return path;
    }
    return presetFileName; // cancelled: the name stays at its preset
}

QString nameFilterSuffix(const QString& nameFilter)
{
    static const QRegularExpression firstPattern(QStringLiteral("\\*\\.(\\w+)"));
    return firstPattern.match(nameFilter).captured(1);
}

QString QtFileDialog::showSave(const QStringList& nameFilters, const QString& presetFileName)
{
    // Over the window the operator works in (the trend window, not the panel).
    QWidget* parent = QApplication::activeWindow() ? QApplication::activeWindow() : parent_;
    QFileDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("cdlSaveImage"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(nameFilters);
    if (!nameFilters.isEmpty())
        dialog.setDefaultSuffix(nameFilterSuffix(nameFilters.constFirst()));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString& filter) { dialog.setDefaultSuffix(nameFilterSuffix(filter)); });
    if (!presetFileName.isEmpty())
        dialog.selectFile(presetFileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

} // namespace tavelin
