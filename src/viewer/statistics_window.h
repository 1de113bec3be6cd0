// The viewer's "Statistics" window: over the last N frames the mean, standard deviation, minimum
// and maximum of each result, the pointing stability, and plots of the centroid and the widths;
// reset and exported to CSV.
#pragma once

#include <QWidget>

#include <array>
#include <functional>
#include <string>

#include "platform/dialog_service.h"
#include "viewer/core/beam_statistics.h"

class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTimer;

namespace kestrom {

class CentroidPlot;
class WidthPlot;

class TStatisticsWindow : public QWidget {
    Q_OBJECT
  public:
    // Shows `statistics`, which its viewer fills; the export starts in dataDirectory().
    TStatisticsWindow(BeamStatistics& statistics, DialogService& dialogs,
                      std::function<std::string()> dataDirectory, QWidget* parent);

    // The quantities' names with their units, in BeamQuantity order; energies (calibrated)
    // are shown in the scientific form, counts as numbers.
    void setNames(const std::array<std::string, kBeamQuantities>& names, bool energies);
    const std::array<std::string, kBeamQuantities>& names() const { return names_; }
    // A sample was added: shown within a fifth of a second while the window is open, so that a
    // camera's rate costs the viewer no more than five redraws a second.
    void sampleAdded();
    // Everything shown again from the statistics now.
    void refresh();

    QSpinBox* FramesEdit;
    QPushButton* ResetButton;
    QPushButton* ExportButton;
    QTableWidget* Table;
    QLabel* PointingLabel;

    void ExportButtonClick();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    BeamStatistics& statistics_;
    DialogService& dialogs_;
    std::function<std::string()> dataDirectory_;
    std::array<std::string, kBeamQuantities> names_;
    bool energies_ = false;
    CentroidPlot* centroidPlot_;
    WidthPlot* widthPlot_;
    QTimer* refreshTimer_;
    bool placed_ = false;
};

}  // namespace kestrom
