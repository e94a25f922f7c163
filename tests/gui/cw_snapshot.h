#pragma once
// Pictures of the instrument widgets for a person to look at, taken only when
// TAVELIN_SNAPSHOTS names a folder: each grab goes to <folder>/<name>.png.
// They check nothing; the pixel tests do.

#include <QDir>
#include <QImage>
#include <QString>
#include <QWidget>

namespace tavelin::test {

inline void saveSnapshot(QWidget& widget, const QString& name)
{
    const QString folder = qEnvironmentVariable("TAVELIN_SNAPSHOTS");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    if (!widget.grab().save(path))
        qWarning("cannot write the snapshot %s", qPrintable(path));
}

// The colour of a pixel of the widget's current drawing.
inline QColor pixelAt(QWidget& widget, const QPoint& point)
{
    return widget.grab().toImage().pixelColor(point);
}

} // namespace tavelin::test
