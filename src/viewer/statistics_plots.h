// The statistics window's two plots: where the centroid has been, and the widths over time.
#pragma once

#include <QWidget>

#include "viewer/core/beam_statistics.h"

namespace kestrom {

// Each sample's centroid as a point, offset from the mean in micrometres (x to the right, y down
// as on the image), on a square scale that holds the farthest one.
class CentroidPlot : public QWidget {
  public:
    explicit CentroidPlot(const BeamStatistics& statistics, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {220, 220}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const BeamStatistics& statistics_;
};

// The two widths (mm) against the seconds since the statistics began.
class WidthPlot : public QWidget {
  public:
    WidthPlot(const BeamStatistics& statistics, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {320, 220}; }
    // The two widths' names for the legend.
    void setNames(const QString& first, const QString& second);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const BeamStatistics& statistics_;
    QString names_[2];
};

}  // namespace kestrom
