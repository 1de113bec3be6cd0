// The view window's width method and the statistics of its results over the last frames.
#include <QAction>

#include "viewer/statistics_window.h"
#include "viewer/view_window.h"

namespace kestrom {

void TViewWindow::WidthMethodClick() {
    applyWidthMethod(SecondMoment1->isChecked() ? WidthMethod::SecondMoment
                                                : WidthMethod::KnifeEdge);
}

void TViewWindow::applyWidthMethod(WidthMethod method) {
    if (method == Results1.widthMethod()) return;
    Results1.SetWidthMethod(method);
    // Widths of two methods side by side would make statistics of neither.
    restartStatistics();
    // The frame shown gets the new method's results at once, also while the viewer is stopped.
    if (frame_->GetHeader()->Flags & vasprel::kValidData) {
        Results1.SetFrame(frame_.get());
        Surface1->SetCurrentFrame(0);
    }
}

void TViewWindow::restartStatistics() {
    statistics_.reset();
    if (statisticsWindow_)
        statisticsWindow_->setNames(statisticsNames(), Surface1->resultsTextSettings().calibrated);
}

std::array<std::string, kBeamQuantities> TViewWindow::statisticsNames() const {
    const BeamResultsTextSettings s = Surface1->resultsTextSettings();
    const std::string units = s.unitsText.empty() ? "" : s.unitsText.substr(1);
    const bool iso = Results1.widthMethod() == WidthMethod::SecondMoment;
    return {s.calibrated ? "Total (" + units + ")" : "Total (counts)",
            s.calibrated ? "Peak (" + units + "/cm\u00B2)" : "Peak (counts)",
            "Centroid X (mm)",
            "Centroid Y (mm)",
            iso ? "D\u03C3 major (mm)" : "Width X (mm)",
            iso ? "D\u03C3 minor (mm)" : "Width Y (mm)"};
}

void TViewWindow::addStatisticsSample() {
    const Clock::time_point now = Clock::now();
    if (statistics_.size() == 0) statisticsStart_ = now;
    BeamSample sample;
    sample.seconds = std::chrono::duration<double>(now - statisticsStart_).count();
    sample.values = beamResultValues(*frame_->GetHeader(), Surface1->resultsTextSettings());
    statistics_.add(sample);
    if (statisticsWindow_) statisticsWindow_->sampleAdded();
}

void TViewWindow::Statistics1Click() {
    if (!statisticsWindow_) {
        statisticsWindow_ = new TStatisticsWindow(statistics_, host_.dialogs(),
                                                  [this] { return dataDirectory_; }, this);
        // From now on the names follow every change of what the quantities mean.
        statisticsWindow_->setNames(statisticsNames(), Surface1->resultsTextSettings().calibrated);
    }
    statisticsWindow_->show();
    statisticsWindow_->raise();
    statisticsWindow_->activateWindow();
}

}  // namespace kestrom
