// The beam results of a frame: two evaluations, the whole frame and then the automatic aperture
// placed from it.
#include "viewer/core/results.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

#include "viewer/core/knife_edge.h"

namespace kestrom {
namespace {

// The results block: header offsets 52..207, FrameTotal up to BloomBottom.
constexpr std::size_t kResultsBegin = offsetof(VasprelHeader, FrameTotal);
constexpr std::size_t kResultsEnd = offsetof(VasprelHeader, FlagPass);
static_assert(kResultsBegin == 52 && kResultsEnd == 208);

// A result that overflows, or comes from a header whose scales are no numbers, has no meaning.
double finiteOrZero(double v) { return std::isfinite(v) ? v : 0; }

// Raw values per count: the 15-bit scale over the camera's significant bits. A loaded header may
// hold any number of bits; beyond 64 the scale would leave the doubles' range.
double countScale(std::int32_t pixelBits) {
    const auto bits = std::min<std::int64_t>(std::llabs(std::int64_t{pixelBits}), 64);
    return std::ldexp(1.0, static_cast<int>(15 - bits));
}

// Millimetres per stored pixel from the pitch in micrometres and the binning exponent.
double mmPerPixel(double pitch, std::int32_t captureResolution) {
    const int n = static_cast<int>(std::clamp<std::int32_t>(captureResolution, -64, 64));
    return finiteOrZero(pitch * std::ldexp(1.0, n) * 0.001);
}

bool evaluable(const TResults::Frame& frame) {
    const VasprelHeader& h = *frame.GetHeader();
    return frame.data() && h.Width == frame.columns() && h.Height == frame.rows() && h.Width >= 1 &&
           h.Height >= 1 && h.Width <= TResults::kMaxSide && h.Height <= TResults::kMaxSide;
}

}  // namespace

TResults::TResults(DialogService& dialogs) : dialogs_(dialogs) {
    try {
        histogram_ = std::make_unique<ValueHistogram>();
        columnSums_.assign(2 * kMaxSide, 0);
        rowSums_.assign(2 * kMaxSide, 0);
        apertureList_.reserve(kMaxSide);
    } catch (const std::bad_alloc&) {
        histogram_.reset();
        dialogs_.messageBox("Insufficient Memory",
                            "Not enough memory for Computations buffers.  Computations will be "
                            "disabled.",
                            BoxButtons::Ok, BoxIcon::Warning);
    }
}

void TResults::SetFrameArray(Frame* const* frames) {
    frames_ = frames;
    seriesFrames_ = 0;
    if (frames && frames[0])
        while (frames[seriesFrames_ + 1]) ++seriesFrames_;
}

void TResults::Compute(Frame* frame) {
    aperture_ = {};
    valleyLocation_ = {};
    std::memset(reinterpret_cast<unsigned char*>(&results_) + kResultsBegin, 0,
                kResultsEnd - kResultsBegin);
    frame_ = frame;
    VasprelHeader* header = frame ? frame->GetHeader() : nullptr;
    if (header) {
        results_.ZLocation = header->ZLocation;
        results_.WheelA = header->WheelA;
        results_.FilterA = header->FilterA;
        results_.WheelB = header->WheelB;
        results_.FilterB = header->FilterB;
    }
    if (!histogram_ || !header) return;
    // A header that does not describe its own block (loaded from a file of another size) gets
    // cleared results: nothing in the block can be read as that frame.
    if (!evaluable(*frame)) {
        writeInto(*header);
        return;
    }
    data_ = frame->data();
    width_ = header->Width;
    height_ = header->Height;
    scale_ = countScale(header->PixelBits);
    mmPerPixelX_ = mmPerPixel(header->PixelHScale, header->CaptureResolution);
    mmPerPixelY_ = mmPerPixel(header->PixelVScale, header->CaptureResolution);

    narrowable_ = false;
    AperEndPointList();
    PixelPosition peak, minimum;
    results_.FrameTotal =
        narrowable_ ? narrowedHistograms(peak, minimum) : Histograms(peak, minimum);
    valleyLocation_ = minimum;
    Quant(peak, minimum);
    if (results_.ApertureTotal > 0) BeamWidths();
    Bloom();
    writeInto(*header);
}

void TResults::writeInto(VasprelHeader& header) const {
    std::memcpy(reinterpret_cast<unsigned char*>(&header) + kResultsBegin,
                reinterpret_cast<const unsigned char*>(&results_) + kResultsBegin,
                kResultsEnd - kResultsBegin);
    header.CenterXLoc = aperture_.centerX;
    header.CenterYLoc = aperture_.centerY;
    header.Major = aperture_.extentX;
    header.Minor = aperture_.extentY;
}

void TResults::AperEndPointList() {
    apertureList_ = wholeFrameAperture(width_, height_);
    if (!automaticAperture_) return;
    wholeFrameSum_ = Histograms(wholeFramePeak_, wholeFrameMinimum_);
    Quant(wholeFramePeak_, wholeFrameMinimum_);
    if (results_.ApertureTotal <= 0) return;
    BeamWidths();
    aperture_ = {results_.Centroidx, results_.Centroidy, kApertureScale * results_.BeamWidthx,
                 kApertureScale * results_.BeamWidthy};
    if (!(aperture_.extentX > 0 && aperture_.extentY > 0)) return;
    std::optional<ApertureList> region = GetRegion(aperture_);
    if (!region) return;
    ApertureList clipped = clipToFrame(*region, width_, height_);
    // An ellipse that covers no pixel of the frame would leave nothing to evaluate; the whole
    // frame stays the aperture then.
    const bool holdsPixels = std::any_of(
        clipped.begin(), clipped.end(), [](const ApertureTriplet& t) { return t.first <= t.last; });
    if (holdsPixels) {
        apertureList_ = std::move(clipped);
        narrowable_ = true;
    }
}

std::optional<ApertureList> TResults::GetRegion(const ApertureStruct& aperture) {
    std::optional<ApertureList> rows = ellipseRows(aperture, height_);
    if (!rows)
        dialogs_.messageBox("No Memory", "Insufficient memory to compute aperture.", BoxButtons::Ok,
                            BoxIcon::Warning);
    return rows;
}

double TResults::rowRange(int row, int first, int end) const {
    const std::int16_t* p = data_ + static_cast<std::ptrdiff_t>(row) * width_;
    std::int32_t sum = 0;  // at most 1,024 values of 16 bits
    for (int k = first; k < end; ++k) sum += p[k];
    return sum;
}

// A row's extremes replace the aperture's when they beat them; the row is searched for the first
// pixel of each, so ties keep the first in row-major order.
void TResults::keepFirstExtremes(const std::int16_t* row, int first, int last, int r,
                                 int rowMaximum, int rowLeast, Extremes& extremes) {
    if (rowMaximum > extremes.maximum) {
        extremes.maximum = rowMaximum;
        extremes.peak = {static_cast<int>(std::find(row + first, row + last + 1, rowMaximum) - row),
                         r};
    }
    if (rowLeast < extremes.least) {
        extremes.least = rowLeast;
        extremes.minimum = {
            static_cast<int>(std::find(row + first, row + last + 1, rowLeast) - row), r};
    }
}

double TResults::Histograms(PixelPosition& peak, PixelPosition& minimum) {
    histogram_->clear();
    std::fill_n(columnSums_.begin(), width_, 0);
    std::fill_n(rowSums_.begin(), height_, 0);
    peak = minimum = {};
    apertureSum_.reset();
    if (apertureList_.empty()) return 0;
    double sum = 0;
    std::int64_t apertureSum = 0;
    Extremes extremes;
    std::int32_t* columnSums = columnSums_.data();
    ValueHistogram::Pass pass = histogram_->beginPass();
    for (int r = 0; r < height_; ++r) {
        const auto [a, b] = span(r);
        const std::int16_t* row = data_ + static_cast<std::ptrdiff_t>(r) * width_;
        std::int32_t rowSum = 0;
        // The row's extremes ride along without a branch; the row is searched for the first of
        // them only when it holds a new extreme, so ties keep the first in row-major order.
        int rowMaximum = -32768, rowLeast = 32767;
        for (int k = a; k <= b; ++k) {
            const std::int16_t v = row[k];
            pass.add(v, k, r);
            rowMaximum = std::max<int>(rowMaximum, v);
            rowLeast = std::min<int>(rowLeast, v);
            rowSum += v;
            columnSums[k] += v;
        }
        keepFirstExtremes(row, a, b, r, rowMaximum, rowLeast, extremes);
        rowSums_[r] += rowSum;
        apertureSum += rowSum;
        sum += rowRange(r, 0, a) + rowSum + rowRange(r, b + 1, width_);
    }
    histogram_->endPass(extremes.least, extremes.maximum);
    peak = extremes.peak;
    minimum = extremes.minimum;
    // With both extremes found, every aperture pixel lies between them and the aperture's total
    // is the sum just taken; otherwise the walk over the levels decides.
    if (extremes.maximum > -32768 && extremes.least < 32767) apertureSum_ = apertureSum;
    return sum;
}

// The histogram of the ellipse from that of the whole frame, taking out the pixels outside it,
// when those are fewer than the ones inside; the same counts, sums and extremes as a fresh pass.
double TResults::narrowedHistograms(PixelPosition& peak, PixelPosition& minimum) {
    std::int64_t inside = 0;
    for (int r = 0; r < height_; ++r) {
        const RowSpan s = span(r);
        inside += s.last - s.first + 1;
    }
    if (inside <= std::int64_t{width_} * height_ - inside) return Histograms(peak, minimum);

    // The whole frame was the aperture of the pass before.
    auto apertureSum = static_cast<std::int64_t>(wholeFrameSum_);
    std::int32_t* columnSums = columnSums_.data();
    auto takeOut = [&](const std::int16_t* row, int r, int from, int end) {
        for (int k = from; k < end; ++k) {
            const std::int16_t v = row[k];
            histogram_->remove(v, k, r);
            rowSums_[r] -= v;
            columnSums[k] -= v;
            apertureSum -= v;
        }
    };
    for (int r = 0; r < height_; ++r) {
        const auto [a, b] = span(r);
        const std::int16_t* row = data_ + static_cast<std::ptrdiff_t>(r) * width_;
        takeOut(row, r, 0, a);
        takeOut(row, r, b + 1, width_);
    }

    // The whole frame's first extreme is the ellipse's too when the ellipse holds it: every
    // pixel before it in row-major order is lower (higher). Otherwise the ellipse is searched.
    auto holds = [&](const PixelPosition& p) {
        const RowSpan s = span(p.row);
        return p.column >= s.first && p.column <= s.last;
    };
    peak = wholeFramePeak_;
    minimum = wholeFrameMinimum_;
    bool found = apertureSum_.has_value();
    if (!found || !holds(peak) || !holds(minimum)) {
        Extremes extremes;
        for (int r = 0; r < height_; ++r) {
            const auto [a, b] = span(r);
            const std::int16_t* row = data_ + static_cast<std::ptrdiff_t>(r) * width_;
            std::int16_t rowMaximum = -32768, rowLeast = 32767;
            for (int k = a; k <= b; ++k) {
                rowMaximum = std::max(rowMaximum, row[k]);
                rowLeast = std::min(rowLeast, row[k]);
            }
            keepFirstExtremes(row, a, b, r, rowMaximum, rowLeast, extremes);
        }
        peak = extremes.peak;
        minimum = extremes.minimum;
        found = extremes.maximum > -32768 && extremes.least < 32767;
    }
    apertureSum_.reset();
    if (found) apertureSum_ = apertureSum;
    return wholeFrameSum_;
}

void TResults::Quant(const PixelPosition& peak, const PixelPosition& minimum) {
    const int p = pixel(peak), m = pixel(minimum);
    peakValue_ = p;
    results_.Peak = p / scale_;
    results_.PeakLocx = peak.column;
    results_.PeakLocy = peak.row;
    results_.Valley = m / scale_;

    std::int64_t total = 0;
    if (apertureSum_) {
        total = *apertureSum_;
    } else {
        histogram_->walkDown(p, m, [&](int v, const ValueHistogram::Entry& entry) {
            total += std::int64_t{v} * entry.count;
            return true;
        });
    }

    // One walk down from the peak: the centroid takes the brightest levels until they hold the
    // centroid energy share of the total, the effective area counts the pixels at its level of
    // the peak and above.
    // e < target, for the integer e, is e < ceil(target): compared without a conversion.
    const auto target =
        static_cast<std::int64_t>(std::ceil(kCentroidEnergy * static_cast<double>(total)));
    const int areaLevel = static_cast<int>(std::trunc(p * kEffectiveAreaLevel * 0.01));
    std::int64_t e = 0, x = 0, y = 0, covered = 0;
    bool adding = true;
    thresholdLevel_ = p + 1;
    histogram_->walkDown(p, m, [&](int v, const ValueHistogram::Entry& entry) {
        adding = adding && e < target;
        if (!adding && v < areaLevel) return false;
        if (adding) {
            e += std::int64_t{v} * entry.count;
            x += std::int64_t{v} * entry.columns;
            y += std::int64_t{v} * entry.rows;
            thresholdLevel_ = v;
        }
        if (v >= areaLevel) covered += entry.count;
        return true;
    });

    if (e > 0) {
        results_.Centroidx = static_cast<double>(x) / static_cast<double>(e);
        results_.Centroidy = static_cast<double>(y) / static_cast<double>(e);
    } else {
        results_.Centroidx = 0;
        results_.Centroidy = 0;
    }
    results_.ApertureTotal = static_cast<double>(total) / scale_;
    results_.FrameTotal = results_.FrameTotal / scale_;

    if (kZCountsPerMm > 0) {
        const double d = kDivergenceDistance / kZCountsPerMm;
        results_.Divergencex = finiteOrZero(results_.BeamWidthx * mmPerPixelX_ / d * 1000);
        results_.Divergencey = finiteOrZero(results_.BeamWidthy * mmPerPixelY_ / d * 1000);
    }
    results_.EffectiveArea =
        finiteOrZero(static_cast<double>(covered) * mmPerPixelX_ * mmPerPixelY_);
}

void TResults::BeamWidths() {
    switch (widthMethod_) {
        case WidthMethod::KnifeEdge:
            KnifeEdge();
            break;
    }
}

void TResults::KnifeEdge() {
    const double total = results_.ApertureTotal;
    const double low = std::trunc(std::trunc(total * kLowerClip) * scale_);
    const double high = std::trunc(std::trunc(total * kUpperClip) * scale_);
    if (low == 0 || high == 0) {
        results_.BeamWidthx = 0;
        results_.BeamWidthy = 0;
        results_.Diameter = 0;
        return;
    }
    const KnifeEdgeCrossings x = knifeEdgeCrossings(columnSums_.data(), width_, low, high);
    const KnifeEdgeCrossings y = knifeEdgeCrossings(rowSums_.data(), height_, low, high);
    results_.BeamWidthx = (x.high - x.low) * kKnifeEdgeFactor;
    results_.BeamWidthy = (y.high - y.low) * kKnifeEdgeFactor;
    results_.Diameter = (results_.BeamWidthx + results_.BeamWidthy) * 0.5;
}

void TResults::Bloom() {
    // The 10 x 10 blocks at the top and bottom edge in the centroid's column, cut to the frame
    // where the centroid lies near a side; each level is the mean of the pixels the block holds.
    const double centre = std::clamp(std::trunc(results_.Centroidx + 0.5), 0.0, double(width_));
    const int k = static_cast<int>(centre);
    const int left = std::max(k - 5, 0), right = std::min(k + 4, width_ - 1);
    auto level = [&](int top, int bottom) {
        top = std::max(top, 0);
        bottom = std::min(bottom, height_ - 1);
        if (left > right || top > bottom) return 0.0;
        double sum = 0;
        for (int r = top; r <= bottom; ++r) sum += rowRange(r, left, right + 1);
        return sum / ((right - left + 1) * (bottom - top + 1)) / scale_;
    };
    results_.BloomTop = level(0, 9);
    results_.BloomBottom = level(height_ - 10, height_ - 1);
}

}  // namespace kestrom
