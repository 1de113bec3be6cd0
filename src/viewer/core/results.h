// TResults: the beam results of a frame (totals, peak and minimum, centroid, widths, divergence,
// effective area, automatic aperture, bloom levels), written into the frame's header.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/dialog_service.h"
#include "viewer/core/aperture_list.h"
#include "viewer/core/beam_warnings.h"
#include "viewer/core/second_moment_widths.h"
#include "viewer/core/value_histogram.h"
#include "viewer/core/vasprel_frame.h"
#include "viewer/core/vasprel_header.h"

namespace kestrom {

// How the beam widths are taken; the knife edge (from the aperture's profile sums) is the
// viewer's default. Each method is one step beside KnifeEdge that sets BeamWidthx, BeamWidthy and
// Diameter, so Compute and the aperture placement call whichever is chosen without knowing which.
// The second moments also set the centroid, and turn the aperture with the beam's axes.
enum class WidthMethod { KnifeEdge, SecondMoment };

struct PixelPosition {
    int column = 0;
    int row = 0;
};

class TResults {
  public:
    using Frame = TVasprelFrame<std::int16_t>;

    // Shows "Insufficient Memory" once when the buffers cannot be had; Compute then only clears
    // its results.
    explicit TResults(DialogService& dialogs);
    TResults(const TResults&) = delete;
    TResults& operator=(const TResults&) = delete;

    // frames: null-terminated. The series evaluation needs more than three frames, and the
    // viewer hands over its one frame, so it never runs.
    void SetFrameArray(Frame* const* frames);
    void SetFrame(Frame* frame) { Compute(frame); }
    void Compute(Frame* frame);

    void SetWidthMethod(WidthMethod method) { widthMethod_ = method; }
    WidthMethod widthMethod() const { return widthMethod_; }

    // The results of the last Compute, at the header's offsets; the aperture it was taken in.
    const VasprelHeader& results() const { return results_; }
    const ApertureStruct& aperture() const { return aperture_; }
    const ApertureList& apertureList() const { return apertureList_; }
    // The second-moment results of the last Compute; zeros with the knife edge.
    const SecondMomentWidths& secondMoment() const { return secondMoment_; }
    // Where the minimum of the last aperture lies; the header keeps only its value.
    PixelPosition valleyLocation() const { return valleyLocation_; }
    // What makes the last results wrong without their numbers showing it; the header records
    // them too, for the results text.
    const BeamWarnings& warnings() const { return warnings_; }
    bool buffersReady() const { return histogram_ != nullptr; }
    int seriesFrames() const { return seriesFrames_; }

    // Settings, fixed in this system.
    static constexpr double kLowerClip = 0.1;
    static constexpr double kUpperClip = 0.9;
    static constexpr double kKnifeEdgeFactor = 1.561;
    static constexpr double kApertureScale = 2.0;
    static constexpr std::int32_t kEffectiveAreaLevel = 80;  // percent of the peak
    static constexpr std::int32_t kZCountsPerMm = 50;
    static constexpr double kDivergenceDistance = 400.0;  // stage counts
    static constexpr double kCentroidEnergy = 0.865;
    // The profile sums hold this many columns or rows; larger frames are not evaluated.
    static constexpr int kMaxSide = 1024;

  private:
    void AperEndPointList();
    double Histograms(PixelPosition& peak, PixelPosition& minimum);
    double narrowedHistograms(PixelPosition& peak, PixelPosition& minimum);
    // The highest and lowest pixel of an aperture so far, each the first in row-major order;
    // none before its first pixel (an aperture of nothing but 32767 has its minimum too).
    struct Extremes {
        bool any = false;
        int maximum = -32768;
        int least = 32767;
        PixelPosition peak;
        PixelPosition minimum;
    };
    static void keepFirstExtremes(const std::int16_t* row, int first, int last, int r,
                                  Extremes& extremes);
    void Quant(const PixelPosition& peak, const PixelPosition& minimum);
    // Energy and its column and row moments of a set of levels (raw values).
    struct LevelSums {
        std::int64_t energy = 0;
        std::int64_t columns = 0;
        std::int64_t rows = 0;
    };
    // The centroid's levels of Quant (peak p, minimum m) found from the bottom, when that is the
    // shorter way; nothing when it is not.
    std::optional<LevelSums> brightestFromBelow(int p, int m, std::int64_t total,
                                                std::int64_t target);
    void BeamWidths();
    void KnifeEdge();
    void SecondMoment();
    std::optional<ApertureList> GetRegion(const ApertureStruct& aperture);
    void Bloom();

    // The aperture's pixels in a row, cut to the frame; none (last < first) outside it.
    struct RowSpan {
        int first;
        int last;
    };
    RowSpan span(int row) const {
        if (apertureList_.empty()) return {0, -1};
        const int at = row - apertureList_.front().row;
        if (at < 0 || at >= static_cast<int>(apertureList_.size()) || apertureList_[at].row != row)
            return {0, -1};
        const ApertureTriplet& t = apertureList_[at];
        const int first = std::clamp<int>(t.first, 0, width_);
        return {first, std::max<int>(std::min<int>(t.last, width_ - 1), first - 1)};
    }
    std::int16_t pixel(const PixelPosition& p) const { return data_[p.row * width_ + p.column]; }
    double rowRange(int row, int first, int end) const;
    void writeInto(VasprelHeader& header) const;

    DialogService& dialogs_;
    ApertureStruct aperture_;
    Frame* frame_ = nullptr;
    Frame* const* frames_ = nullptr;
    int seriesFrames_ = 0;
    bool automaticAperture_ = true;
    WidthMethod widthMethod_ = WidthMethod::KnifeEdge;
    SecondMomentWidths secondMoment_;

    std::unique_ptr<ValueHistogram> histogram_;
    std::vector<std::int32_t> columnSums_;
    std::vector<std::int32_t> rowSums_;
    std::int32_t peakValue_ = 0;
    std::int32_t thresholdLevel_ = 0;
    ApertureList apertureList_;
    std::optional<std::int64_t> apertureSum_;  // raw, of the last histogram pass
    std::int64_t aperturePixels_ = 0;          // the pixels it counted
    // The whole frame's pass, which the ellipse's can start from.
    bool narrowable_ = false;
    double wholeFrameSum_ = 0;
    PixelPosition wholeFramePeak_;
    PixelPosition wholeFrameMinimum_;
    PixelPosition valleyLocation_;
    BeamWarnings warnings_;
    // Only offsets 52..207 are used: the results block, in the header's own layout.
    VasprelHeader results_{};

    // The frame being computed.
    const std::int16_t* data_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    double scale_ = 1;  // raw values per count
    double mmPerPixelX_ = 0;
    double mmPerPixelY_ = 0;
};

}  // namespace kestrom
