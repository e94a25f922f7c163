#pragma once
// Pictures of the instrument widgets for a person to look at: each grab goes
// to widget-snapshots/<name>.png in the folder the tests run in.

#include <QDir>
#include <QImage>
#include <QString>
#include <QWidget>

namespace tavelin::test {

// Saves the widget as it is drawn now; returns the path written, or an empty
// string when the file could not be written.
inline QString saveSnapshot(QWidget& widget, const QString& name)
{
    QDir folder(QDir::currentPath());
    folder.mkpath(QStringLiteral("widget-snapshots"));
    const QString path = folder.filePath(QStringLiteral("widget-snapshots/%1.png").arg(name));
    return widget.grab().save(path) ? path : QString();
}

// The colour of a pixel of the widget's current drawing.
inline QColor pixelAt(QWidget& widget, const QPoint& point)
{
    return widget.grab().toImage().pixelColor(point);
}

} // namespace tavelin::test
