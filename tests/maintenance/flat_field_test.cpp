// End to end on an evenly lit simulated camera: its responsivity spread and stuck pixels are in the
// live image, and they leave it once the gain map made by "Make Gain Table" and the bad-pixel map
// marked with the mouse are sent and the camera's corrections are on. Prints the figures as
// name: value lines.
#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include <cmath>
#include <cstdio>

#include "console/camera_tab.h"
#include "console/settings_panel.h"
#include "console/console_utilities.h"
#include "console/service_buttons.h"
#include "console_fixture.h"
#include "maintenance/ok_help_right_dlg.h"
#include "simulator/sim_detector.h"

namespace kestrom::testing {
namespace {

struct Spread {
    double mean = 0;
    double sd = 0;
    double worst = 0;  // the largest |value - mean|
    double percent() const { return 100.0 * sd / mean; }
};

Spread spreadOf(const std::vector<double>& values) {
    Spread s;
    for (double v : values) s.mean += v;
    s.mean /= static_cast<double>(values.size());
    for (double v : values) {
        s.sd += (v - s.mean) * (v - s.mean);
        s.worst = std::max(s.worst, std::abs(v - s.mean));
    }
    s.sd = std::sqrt(s.sd / static_cast<double>(values.size()));
    return s;
}

class FlatField : public ConsoleFixture {
  protected:
    static constexpr std::uint16_t kSerial = 4321;

    void SetUp() override {
        sim::CameraConfig c = camera(0, kSerial);
        c.beam.shape = sim::BeamConfig::Shape::Uniform;
        // A camera that has never had maps made: the dialog makes them.
        c.factoryMaps = false;
        start({c});
        showTab(1);
        // Calibrated, so that the dark pattern is gone and the light alone is seen.
        form->serviceButtons().CalibrateButton1Click();
        driver->advanceTime(sim::kCalibrationMilliseconds + 100);
        form->serviceButtons().CalibrationTimerTimer();
        form->cameraTab(1)->UtilitiesButton->click();
        dlg = form->utilities().dialog(1);
        ASSERT_NE(dlg, nullptr);
    }

    // The camera's next synthesised frame, as the dialog shows it.
    std::vector<double> nextFrame() {
        driver->setReplayFrame(0, {});
        const std::int32_t before = form->state().slots[1].FrameCount.load();
        driver->produceFrame(0);
        EXPECT_TRUE(pumpUntil([&] { return form->state().slots[1].FrameCount.load() > before; }));
        settle();
        return {dlg->workingImage().begin(), dlg->workingImage().end()};
    }

    // The mean over frames of each frame's standard deviation over mean, and the worst pixel.
    Spread liveSpread(int frames = 8) {
        Spread total;
        for (int i = 0; i < frames; ++i) {
            const Spread s = spreadOf(nextFrame());
            total.mean += s.mean / frames;
            total.sd += s.sd / frames;
            total.worst = std::max(total.worst, s.worst);
        }
        return total;
    }

    // The noise alone: the spread of the difference of two frames, over the square root of two.
    double noiseSd() {
        const std::vector<double> a = nextFrame();
        const std::vector<double> b = nextFrame();
        std::vector<double> d(a.size());
        for (std::size_t i = 0; i < a.size(); ++i) d[i] = a[i] - b[i];
        return spreadOf(d).sd / std::sqrt(2.0);
    }

    void clickAt(int x, int y) {
        TSurface* s = dlg->Surface1;
        auto send = [s](QEvent::Type type, BeamPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
            QMouseEvent e(type, QPointF(at.x, at.y), s->mapToGlobal(QPointF(at.x, at.y)), button, buttons,
                          Qt::NoModifier);
            QApplication::sendEvent(s, &e);
        };
        const BeamPoint cursor = s->GetFrameCursor();
        const BeamPoint from = s->beamView().toClient(cursor.x + 0.5, cursor.y + 0.5);
        const BeamPoint to = s->beamView().toClient(x + 0.5, y + 0.5);
        send(QEvent::MouseMove, from, Qt::NoButton, Qt::NoButton);
        send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
        ASSERT_EQ(s->GetFrameCursor(), (BeamPoint{x, y}));
        QTest::mouseClick(s, Qt::RightButton, Qt::NoModifier, QPoint(to.x, to.y));
    }

    TOKHelpRightDlg* dlg = nullptr;
};

TEST_F(FlatField, TheMapsMadeInTheDialogTakeTheSpreadAndTheStuckPixelsOutOfTheLiveImage) {
    const sim::DetectorPattern detector = sim::DetectorPattern::forSerial(kSerial);
    const Spread raw = liveSpread();
    const std::vector<double> rawFrame = nextFrame();

    dlg->CalculateGainButtonClick();
    for (int i = 0; i < GainCalculation::kFrames && dlg->gainCalculation().running(); ++i) nextFrame();
    ASSERT_FALSE(dlg->gainCalculation().running());
    dlg->SendGainToCameraButtonClick();
    form->panel().SetGainCorrection(1);
    ASSERT_EQ(driver->status(0).gainCorrection(), 1);
    const Spread gainCorrected = liveSpread();

    // The stuck pixels are what a raw image shows far from its neighbours' level; the engineer
    // marks them with the mouse and sends the map.
    dlg->BitBtn1Click();
    int marked = 0;
    for (int y = 0; y < kMapSide; ++y)
        for (int x = 0; x < kMapSide; ++x)
            if (std::abs(rawFrame[static_cast<std::size_t>(pixelIndex(x, y))] - raw.mean) > 0.25 * raw.mean) {
                clickAt(x, y);
                ++marked;
            }
    EXPECT_EQ(marked, static_cast<int>(detector.badPixels.size()));
    for (const auto& b : detector.badPixels) EXPECT_TRUE(dlg->badPixels().contains(b.column, 123 - b.row));
    dlg->BitBtn3Click();  // "WAIT!" answered OK
    form->panel().SetPixelCorrection(1);
    ASSERT_EQ(driver->status(0).pixelCorrection(), 1);
    const Spread both = liveSpread();
    const double noise = noiseSd();

    // What a noiseless camera would still show with this map: its entries have 8 fraction bits, so
    // each pixel's gain is up to 1/256 short of the one it needs.
    std::vector<double> ideal;
    for (int i = 0; i < kMapPixels; ++i) {
        const int x = i % kMapSide, row = i / kMapSide;
        const bool bad = std::any_of(detector.badPixels.begin(), detector.badPixels.end(),
                                     [&](const auto& b) { return b.column == x && b.row == row; });
        if (!bad) ideal.push_back(detector.responsivity[static_cast<std::size_t>(i)] * dlg->gainMap().gain(pixelIndex(x, 123 - row)));
    }
    const Spread resolution = spreadOf(ideal);
    const double noisePercent = 100.0 * noise / both.mean;
    const double floorPercent = std::hypot(noisePercent, resolution.percent());

    std::printf("flat_field_nonuniformity_percent_raw: %.3f\n", raw.percent());
    std::printf("flat_field_nonuniformity_percent_gain_corrected: %.3f\n", gainCorrected.percent());
    std::printf("flat_field_nonuniformity_percent_both_corrected: %.3f\n", both.percent());
    std::printf("flat_field_noise_floor_percent: %.3f\n", noisePercent);
    std::printf("flat_field_map_resolution_percent: %.3f\n", resolution.percent());
    std::printf("flat_field_noise_and_resolution_floor_percent: %.3f\n", floorPercent);
    std::printf("flat_field_worst_pixel_noise_sd_both_corrected: %.2f\n", both.worst / noise);
    std::printf("flat_field_worst_pixel_floor_sd_both_corrected: %.2f\n",
                both.worst / (floorPercent / 100.0 * both.mean));

    // The spread of a few per cent and six stuck pixels are there at first.
    EXPECT_GT(raw.percent(), 2.0);
    // The gain map takes the spread; the stuck pixels at 0 stay until the bad-pixel map has them.
    EXPECT_LT(gainCorrected.percent(), raw.percent());
    // Both maps: within 1.5 times of what the noise and the map's resolution leave, and no pixel
    // beyond five times that spread.
    EXPECT_LT(both.percent(), 1.5 * floorPercent);
    EXPECT_LT(both.worst, 5.0 * floorPercent / 100.0 * both.mean);
}

}  // namespace
}  // namespace kestrom::testing
