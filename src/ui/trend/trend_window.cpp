#include "trend_window.h"

#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "sensor/trend_ring.h"
#include "trend_plot.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <qwt_plot_renderer.h>

namespace tavelin {

QString trendWindowTitle(std::size_t points)
{
    return points == 1 ? QObject::tr("Trend - 1 point") : QObject::tr("Trend - %1 points").arg(points);
}

TrendWindow::TrendWindow(const TrendRing& ring, FileDialog& fileDialog, MessageBox& messages, QWidget* parent)
    : QWidget(parent, Qt::Window),
      ring_(ring),
      fileDialog_(fileDialog),
      messages_(messages),
      plot_(new TrendPlot(ring, this)),
      follow_(new QPushButton(tr("&Follow"), this)),
      save_(new QPushButton(tr("&Save image..."), this)),
      meter_(new QLabel(this))
{
    setObjectName(QStringLiteral("frmTrend"));
    setWindowTitle(trendWindowTitle(ring.size()));
    follow_->setObjectName(QStringLiteral("cmdFollow"));
    follow_->setToolTip(tr("Show the last ten minutes and follow the newest point (Home, or a double click)"));
    save_->setObjectName(QStringLiteral("cmdSaveImage"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(follow_);
    buttons->addStretch();
    meter_->setObjectName(QStringLiteral("lblMeter"));
    buttons->addWidget(meter_);
    buttons->addStretch();
    buttons->addWidget(save_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(plot_, 1);
    layout->addLayout(buttons);
    resize(720, 420);

    connect(follow_, &QPushButton::clicked, plot_, &TrendPlot::follow);
    connect(save_, &QPushButton::clicked, this, &TrendWindow::saveImage);
    addShortcuts();
}

void TrendWindow::setMeterText(const QString& text)
{
    meter_->setText(text);
    meter_->setAccessibleName(text);
}

void TrendWindow::addShortcuts()
{
    auto* home = new QAction(this);
    home->setShortcut(Qt::Key_Home);
    connect(home, &QAction::triggered, plot_, &TrendPlot::follow);
    addAction(home);
    auto* close = new QAction(this);
    close->setShortcuts(QKeySequence::Close);
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);
}

void TrendWindow::pointAdded()
{
    if (!isVisible() || refreshPending_)
        return; // the ring has it; a hidden window draws it when shown
    refreshPending_ = true;
    // Out of the sampling cycle: the cycle returns first, then the plot redraws.
    QTimer::singleShot(0, this, [this] {
        refreshPending_ = false;
        refresh();
    });
}

void TrendWindow::showEvent(QShowEvent* event)
{
    refresh();
    QWidget::showEvent(event);
}

void TrendWindow::refresh()
{
    setWindowTitle(trendWindowTitle(ring_.size()));
    plot_->replot();
}

void TrendWindow::saveImage()
{
    const QString path = fileDialog_.showSave(
        {tr("PNG image (*.png)"), tr("SVG drawing (*.svg)"), tr("PDF document (*.pdf)")}, QStringLiteral("trend.png"));
    if (path.isEmpty())
        return;
    const QString format = QFileInfo(path).suffix().toLower();
    if (format != QLatin1String("png") && format != QLatin1String("svg") && format != QLatin1String("pdf")) {
        messages_.show(tr("%1 was not saved: the name must end in .png, .svg or .pdf.").arg(path));
        return;
    }
    // The dialog has confirmed replacing it; gone first, so a failed write shows.
    QFile::remove(path);
    const double millimetersPerPixel = 25.4 / logicalDpiX();
    QwtPlotRenderer renderer;
    renderer.renderDocument(plot_, path, format, QSizeF(plot_->size()) * millimetersPerPixel, logicalDpiX());
    if (!QFileInfo::exists(path))
        messages_.show(tr("The image %1 could not be written.").arg(path));
}

} // namespace tavelin
