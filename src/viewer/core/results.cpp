// The beam results of a frame: two evaluations, the whole frame and then the automatic aperture
// placed from it.
#include "viewer/core/results.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

#include "viewer/core/beam_warnings_record.h"
#include "viewer/core/knife_edge.h"
#include "viewer/core/second_moment_record.h"

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

// The highest and lowest of the pixels first..last of a row ({-32768, 32767} for none), eight at
// a time: a separate loop of its own costs less than two more compares in the histogram's.
struct RowExtremes {
    std::int16_t maximum;
    std::int16_t least;
};
RowExtremes rowExtremes(const std::int16_t* row, int first, int last) {
    using Eight = std::int16_t __attribute__((vector_size(16)));
    RowExtremes out{-32768, 32767};
    int k = first;
    if (last - first + 1 >= 8) {
        Eight top, bottom;
        std::memcpy(&top, row + k, sizeof top);
        bottom = top;
        for (k += 8; k + 7 <= last; k += 8) {
            Eight next;
            std::memcpy(&next, row + k, sizeof next);
            top = top > next ? top : next;
            bottom = bottom < next ? bottom : next;
        }
        for (int j = 0; j < 8; ++j) {
            out.maximum = std::max(out.maximum, top[j]);
            out.least = std::min(out.least, bottom[j]);
        }
    }
    for (; k <= last; ++k) {
        out.maximum = std::max(out.maximum, row[k]);
        out.least = std::min(out.least, row[k]);
    }
    return out;
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
    secondMoment_ = {};
    valleyLocation_ = {};
    warnings_ = {};
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
    // The second moments come from the whole frame and their own window, before any aperture.
    if (widthMethod_ == WidthMethod::SecondMoment)
        secondMoment_ = secondMomentWidths(data_, width_, height_);

    narrowable_ = false;
    AperEndPointList();
    PixelPosition peak, minimum;
    results_.FrameTotal =
        narrowable_ ? narrowedHistograms(peak, minimum) : Histograms(peak, minimum);
    valleyLocation_ = minimum;
    Quant(peak, minimum);
    // The second moments do not come from the aperture's sums: they stand whatever it holds. An
    // aperture with no positive total has no knife edge, and keeps none of the whole frame's
    // widths beside its centroid of none; the divergence stays the whole frame's, as always.
    if (results_.ApertureTotal > 0 || widthMethod_ == WidthMethod::SecondMoment)
        BeamWidths();
    else
        results_.BeamWidthx = results_.BeamWidthy = results_.Diameter = 0;
    Bloom();
    warnings_ = beamWarnings({data_, width_, height_, apertureList_, results_.PeakLocx,
                              results_.PeakLocy, peakValue_, pixel(minimum),
                              results_.BeamWidthx, results_.BeamWidthy,
                              widthMethod_ == WidthMethod::SecondMoment &&
                                  secondMoment_.degenerate});
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
    if (widthMethod_ == WidthMethod::SecondMoment)
        recordSecondMoment(header, secondMoment_);
    else
        clearSecondMomentRecord(header);
    recordBeamWarnings(header, warnings_);
}

void TResults::AperEndPointList() {
    apertureList_ = wholeFrameAperture(width_, height_);
    if (!automaticAperture_) return;
    wholeFrameSum_ = Histograms(wholeFramePeak_, wholeFrameMinimum_);
    Quant(wholeFramePeak_, wholeFrameMinimum_);
    if (results_.ApertureTotal <= 0) return;
    BeamWidths();
    const double turn = widthMethod_ == WidthMethod::SecondMoment
                            ? xAxisTurn(secondMoment_.azimuthRadians, results_.BeamWidthx,
                                        results_.BeamWidthy)
                            : 0;
    aperture_ = {results_.Centroidx, results_.Centroidy, kApertureScale * results_.BeamWidthx,
                 kApertureScale * results_.BeamWidthy, turn};
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

// A row's extremes replace the aperture's when they beat them, or are the first; the row is
// searched for the first pixel of each, so ties keep the first in row-major order.
void TResults::keepFirstExtremes(const std::int16_t* row, int first, int last, int r,
                                 Extremes& extremes) {
    if (last < first) return;
    const auto [rowMaximum, rowLeast] = rowExtremes(row, first, last);
    const bool firstRow = !extremes.any;
    extremes.any = true;
    if (firstRow || rowMaximum > extremes.maximum) {
        extremes.maximum = rowMaximum;
        extremes.peak = {static_cast<int>(std::find(row + first, row + last + 1, rowMaximum) - row),
                         r};
    }
    if (firstRow || rowLeast < extremes.least) {
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
    aperturePixels_ = 0;
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
        pass.addRow(row, a, b, r, [&](int k, std::int16_t v) {
            rowSum += v;
            columnSums[k] += v;
        });
        keepFirstExtremes(row, a, b, r, extremes);
        aperturePixels_ += b - a + 1;
        rowSums_[r] += rowSum;
        apertureSum += rowSum;
        sum += rowRange(r, 0, a) + rowSum + rowRange(r, b + 1, width_);
    }
    histogram_->endPass(extremes.least, extremes.maximum);
    peak = extremes.peak;
    minimum = extremes.minimum;
    // With the extremes found, every aperture pixel lies between them and the aperture's total
    // is the sum just taken; an aperture of no pixel has none, and the walk over the levels
    // decides.
    if (extremes.any) apertureSum_ = apertureSum;
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
    aperturePixels_ = inside;

    // The whole frame was the aperture of the pass before.
    auto apertureSum = static_cast<std::int64_t>(wholeFrameSum_);
    std::int32_t* columnSums = columnSums_.data();
    auto takeOut = [&](const std::int16_t* row, int r, int from, int end) {
        histogram_->removeRow(row, from, end - 1, r);
        std::int32_t removed = 0;
        for (int k = from; k < end; ++k) {
            columnSums[k] -= row[k];
            removed += row[k];
        }
        rowSums_[r] -= removed;
        apertureSum -= removed;
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
            keepFirstExtremes(data_ + static_cast<std::ptrdiff_t>(r) * width_, a, b, r, extremes);
        }
        peak = extremes.peak;
        minimum = extremes.minimum;
        found = extremes.any;
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

    // The centroid takes the brightest levels until they hold the centroid energy share of the
    // total; the effective area counts the pixels at its level of the peak and above.
    // e < target, for the integer e, is e < ceil(target): compared without a conversion.
    const auto target =
        static_cast<std::int64_t>(std::ceil(kCentroidEnergy * static_cast<double>(total)));
    const int areaLevel = static_cast<int>(std::trunc(p * kEffectiveAreaLevel * 0.01));
    std::int64_t e = 0, x = 0, y = 0, covered = 0;
    if (const std::optional<LevelSums> brightest = brightestFromBelow(p, m, total, target)) {
        e = brightest->energy;
        x = brightest->columns;
        y = brightest->rows;
        histogram_->walkDown(p, areaLevel, [&](int, const ValueHistogram::Entry& entry) {
            covered += entry.count;
            return true;
        });
    } else {
        // One walk down from the peak for both.
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
    }

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

// With no level below zero, the energy of the levels above a level only grows as the level goes
// down, so the brightest levels that reach the target are also what is left of the aperture's
// sums once the dimmest levels that stay under the rest are taken away. A ground offset puts that
// rest in a few crowded levels, so the walk up from the minimum is short where the one down from
// the peak would pass every level of the beam. The aperture's sums of columns and rows weighted
// by value are the profile sums weighted by their column and row: the same integers, exactly.
std::optional<TResults::LevelSums> TResults::brightestFromBelow(int p, int m, std::int64_t total,
                                                                std::int64_t target) {
    // The minimum times the aperture's pixels is the energy of a flat ground at the minimum. When
    // that is less than half the energy left below the centroid's levels, the bottom holds the
    // beam's long tail (no offset, or an aperture that holds little but the beam): the walk down
    // is the shorter.
    if (m <= 0 || 2 * m * aperturePixels_ < total - target) return std::nullopt;
    constexpr int kLevelsTried = 256;  // then the walk down, having lost little
    LevelSums below;
    std::optional<LevelSums> brightest;
    int tried = 0;
    histogram_->walkUp(m, p, [&](int v, const ValueHistogram::Entry& entry) {
        const std::int64_t level = std::int64_t{v} * entry.count;
        if (total - below.energy - level < target) {
            LevelSums all{total, 0, 0};
            for (int k = 0; k < width_; ++k) all.columns += std::int64_t{k} * columnSums_[k];
            for (int r = 0; r < height_; ++r) all.rows += std::int64_t{r} * rowSums_[r];
            brightest = LevelSums{all.energy - below.energy, all.columns - below.columns,
                                  all.rows - below.rows};
            thresholdLevel_ = v;
            return false;
        }
        below.energy += level;
        below.columns += std::int64_t{v} * entry.columns;
        below.rows += std::int64_t{v} * entry.rows;
        return ++tried < kLevelsTried;
    });
    return brightest;
}

void TResults::BeamWidths() {
    switch (widthMethod_) {
        case WidthMethod::KnifeEdge:
            KnifeEdge();
            break;
        case WidthMethod::SecondMoment:
            SecondMoment();
            break;
    }
}

void TResults::SecondMoment() {
    results_.Centroidx = secondMoment_.centroidX;
    results_.Centroidy = secondMoment_.centroidY;
    results_.BeamWidthx = secondMoment_.widthX;
    results_.BeamWidthy = secondMoment_.widthY;
    results_.Diameter = (secondMoment_.widthX + secondMoment_.widthY) * 0.5;
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
