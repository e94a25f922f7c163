// trend-cost: what the trend costs. Memory: the ring's bytes, and the
// process's resident memory before the ring, with it reserved, filled to its
// 86 400 points (24 hours at one cycle a second) and filled twice over more
// (wrapped). Time: one redraw of the trend window (replot and paint of the
// canvas) with the full ring, in its 10-minute view and zoomed out to all 24
// hours; a redraw runs after a cycle, never inside it.
//
//   trend-cost [--redraws N] [--image PATH]
//
// --image saves the window as it was timed in the 24-hour view.
// Prints "name value unit" lines.

#include "platform/gui/qt_file_dialog.h"
#include "sensor/trend_ring.h"
#include "timed_window.h"
#include "ui/trend/trend_plot.h"
#include "ui/trend/trend_window.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>

#include <qwt_plot_canvas.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

long residentKib()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// A wandering flow ending at endMs, one point a second, with a break in
// sampling every six hours.
void fill(tavelin::TrendRing& ring, std::size_t points, double endMs)
{
    double total = 0.0;
    for (std::size_t i = 0; i < points; ++i) {
        if (i % 21600 == 21599)
            ring.markBreak();
        const double flow = 2.0 + 0.8 * std::sin(i / 900.0) + 0.1 * std::sin(i * 1.7);
        total += flow / 60.0;
        ring.append(endMs - static_cast<double>(points - i) * 1000.0, flow, total);
    }
}

// Each redraw follows a new point, as after a sampling cycle.
double medianRedrawMs(tavelin::TrendRing& ring, tavelin::TrendPlot* plot, int redraws)
{
    std::vector<double> times;
    for (int i = 0; i < redraws; ++i) {
        const tavelin::TrendPoint newest = ring.newest();
        ring.append(newest.time + 1000.0, newest.flow, newest.total + newest.flow / 60.0);
        QElapsedTimer timer;
        timer.start();
        plot->replot();
        plot->canvas()->repaint();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    int redraws = 31;
    QString image;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--redraws"))
            redraws = std::max(1, std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--image"))
            image = QString::fromLocal8Bit(argv[i + 1]);
    }

    const std::size_t capacity = tavelin::TrendRing::kDefaultCapacity;
    std::printf("point_bytes %zu B\n", sizeof(tavelin::TrendPoint));
    std::printf("ring_bytes %zu B\n", sizeof(tavelin::TrendPoint) * capacity);

    const long before = residentKib();
    tavelin::TrendRing ring;
    const long reserved = residentKib();
    const double now = static_cast<double>(QDateTime::currentMSecsSinceEpoch());
    fill(ring, capacity, now);
    const long full = residentKib();
    fill(ring, 2 * capacity, now + 2.0 * capacity * 1000.0);
    const long wrapped = residentKib();
    std::printf("rss_before_ring %ld KiB\nrss_ring_reserved %ld KiB\nrss_ring_full %ld KiB\n"
                "rss_ring_wrapped_twice %ld KiB\nring_points %zu\n",
                before, reserved, full, wrapped, ring.size());

    tavelin::QtFileDialog files;
    tavelin::bench::CountingMessages messages;
    tavelin::TrendWindow window(ring, files, messages);
    window.show();
    QApplication::processEvents();
    tavelin::TrendPlot* plot = window.plot();
    std::printf("redraw_10_min_view %.2f ms\n", medianRedrawMs(ring, plot, redraws));
    const double newest = ring.newest().time;
    plot->setAxisScale(QwtPlot::xBottom, newest - 24 * 3600 * 1000.0, newest);
    std::printf("redraw_24_h_view %.2f ms\n", medianRedrawMs(ring, plot, redraws));
    if (!image.isEmpty())
        window.grab().save(image);
    std::printf("rss_with_trend_window %ld KiB\n", residentKib());
    return 0;
}
