#pragma once
// The trend window: a separate, resizable window with the run's flow and total
// against the time of day, its point count in the title, "Follow" and
// "Save image...". It shows the ring that the sampling cycle fills whether the
// window is open or not, and redraws at most once per cycle, only while shown.

#include <QWidget>

#include <cstddef>

class QLabel;
class QPushButton;

namespace tavelin {

class FileDialog;
class MessageBox;
class TrendPlot;
class TrendRing;

class TrendWindow : public QWidget {
    Q_OBJECT
public:
    TrendWindow(const TrendRing& ring, FileDialog& fileDialog, MessageBox& messages, QWidget* parent = nullptr);

    // A point was added: redraw once the cycle that added it is over.
    void pointAdded();
    // Asks where, then writes the plot as PNG, SVG or PDF (by the name's suffix).
    void saveImage();
    // The meter total, shown beside the buttons.
    void setMeterText(const QString& text);

    TrendPlot* plot() const { return plot_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refresh();
    void addShortcuts();

    const TrendRing& ring_;
    FileDialog& fileDialog_;
    MessageBox& messages_;
    TrendPlot* plot_;
    QPushButton* follow_;
    QPushButton* save_;
    QLabel* meter_;
    bool refreshPending_ = false;
};

// "Trend - 1 point", "Trend - 86400 points": the title carries the count.
QString trendWindowTitle(std::size_t points);

} // namespace tavelin
