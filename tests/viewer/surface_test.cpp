// The surface on the offscreen platform: what it draws for frames that can and cannot be shown,
// its scroll bars, calibration and palettes, and image tests of known frames compared pixel by
// pixel with the pictures in tests/viewer/images (KESTROM_UPDATE_IMAGES=1 writes them anew after
// a deliberate change; look at them before committing).
#include "viewer/surface.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>
#include <QScrollBar>

#include <cstdlib>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/dialog_service.h"
#include "results_test_support.h"
#include "viewer/core/color_bar.h"
#include "viewer/core/legible_text.h"
#include "viewer/core/palette_layout.h"
#include "viewer/core/results.h"
#include "viewer/qt_beam_canvas.h"

namespace kestrom {
namespace {

using test::Frame16;

// A beam of 12,000 counts a little off the middle over a ground of 50 counts.
std::unique_ptr<Frame16> beamFrame() {
    auto frame = test::liveFrame();
    test::fill(*frame, 100);
    test::addGaussian(*frame, {70.2, 52.7, 9, 6, 24000});
    frame->GetHeader()->AC = 0;
    return frame;
}

class Surface : public ::testing::Test {
  protected:
    void SetUp() override {
        frame = beamFrame();
        TResults(dialogs).Compute(frame.get());
        frames[0] = frame.get();
        surface.resize(248, 248);
        surface.SetFrameArray(frames);
        surface.SetZoomToCursor(true);
    }
    QRgb entryColour(int index) const {
        return qColorOf(surface.palette()->color(index)).rgb();
    }
    void doubleClick() {
        QMouseEvent e(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&surface, &e);
    }

    ScriptedDialogs dialogs;
    std::unique_ptr<Frame16> frame;
    Frame16* frames[2] = {nullptr, nullptr};
    TSurface surface;
};

TEST_F(Surface, FrameWithoutValidDataShowsOnlyTheBackground) {
    surface.SetShow(kShowImage, true);
    surface.SetShow(kShowResults, true);
    surface.SetShow(kShowColorBar, true);
    frame->GetHeader()->Flags = 0;
    surface.SetCurrentFrame(0);
    EXPECT_EQ(surface.GetDisplayFrame(), nullptr);
    const QImage& image = surface.offscreenImage();
    const QRgb background = entryColour(kBackground2DIndex);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ASSERT_EQ(image.pixel(x, y), background) << x << "," << y;
    // Nor does an index past the array show anything.
    frame->GetHeader()->Flags = vasprel::kValidData;
    surface.SetCurrentFrame(3);
    EXPECT_EQ(surface.GetDisplayFrame(), nullptr);
}

TEST_F(Surface, ImageShowsThroughThePalette) {
    surface.SetShow(kShowImage, true);
    surface.SetCurrentFrame(0);
    ASSERT_EQ(surface.GetDisplayFrame(), frame.get());
    // Pixel (0, 0) of the frame, 50 counts, fills the first 2 x 2 block of the image.
    const QImage& image = surface.offscreenImage();
    ASSERT_EQ(image.size(), QSize(248, 248));
    const QRgb ground = entryColour(surface.beamView().lut().pixelEntry(100));
    EXPECT_EQ(image.pixel(0, 0), ground);
    EXPECT_EQ(image.pixel(1, 1), ground);
    EXPECT_EQ(image.pixel(247, 247), ground);
}

TEST_F(Surface, ScrollBarsAppearWhenZoomedAndMoveTheView) {
    QWidget parent;
    surface.setParent(&parent);
    QScrollBar horz(Qt::Horizontal, &parent), vert(Qt::Vertical, &parent);
    surface.SetHorzScrollBar(&horz);
    surface.SetVertScrollBar(&vert);
    int heard = -1;
    QObject::connect(&surface, &TSurface::horzScrollBarChanged, [&](int p) { heard = p; });
    surface.SetShow(kShowImage, true);
    surface.SetCurrentFrame(0);
    EXPECT_TRUE(horz.isHidden());
    doubleClick();
    EXPECT_EQ(surface.zoom(), 1);
    EXPECT_FALSE(horz.isHidden());
    EXPECT_EQ(horz.maximum(), 62);
    EXPECT_EQ(horz.pageStep(), 31);
    EXPECT_EQ(horz.geometry().top(), 249);  // below the display
    EXPECT_EQ(vert.geometry().left(), 249);
    horz.setValue(5);
    EXPECT_EQ(heard, 5);
    EXPECT_EQ(surface.beamView().state().view.left, 5);
    doubleClick();
    doubleClick();
    doubleClick();
    EXPECT_EQ(surface.zoom(), 0);
    EXPECT_TRUE(horz.isHidden());
    surface.setParent(nullptr);
}

TEST_F(Surface, CalibratingWithZeroStaysInCounts) {
    surface.SetCurrentFrame(0);
    surface.SetCalibratedEnergy(2.0);
    const double counts = frame->GetHeader()->ApertureTotal;
    EXPECT_DOUBLE_EQ(surface.energyPerCount(), 2.0 / counts);
    EXPECT_DOUBLE_EQ(surface.energyDensityFactor(), 2.0 / counts / (85.0 * 85.0) * 1e8);
    surface.SetShow(kShowCalibrated, true);
    surface.SetCalibratedEnergy(0);
    EXPECT_EQ(surface.energyPerCount(), 1);
    EXPECT_EQ(surface.energyDensityFactor(), 1);
    surface.SetShow(kShowCalibrated, true);  // refused while there is no energy
    // A frame with no counts cannot be calibrated either.
    test::fill(*frame, 0);
    TResults(dialogs).Compute(frame.get());
    surface.SetCurrentFrame(0);
    surface.SetCalibratedEnergy(5);
    EXPECT_EQ(surface.calibratedEnergy(), 0);
    EXPECT_EQ(surface.energyPerCount(), 1);
}

TEST_F(Surface, PalettesFollowColourAndPrinterChoices) {
    surface.SetCurrentFrame(0);
    const PaletteHandle colour = surface.palette();
    surface.SetShow(kShowColour, false);
    EXPECT_NE(surface.palette(), colour);
    surface.SetShowColor(2);  // a 3-D ramp: the 2-D view keeps its palette
    const PaletteHandle grey = surface.palette();
    EXPECT_EQ(surface.showColor(), 2);
    surface.SetShowColor(5);
    EXPECT_NE(surface.palette(), grey);
    surface.SetShowColor(9);  // ignored
    EXPECT_EQ(surface.showColor(), 5);
    surface.SetShow(kShowColour, true);
    EXPECT_EQ(surface.palette()->entries(), colour->entries());
    surface.SetPrinterPalette(true);
    EXPECT_EQ(surface.palette()->color(kBackground2DIndex),
              TPal::CreatePalette(6)->color(kBackground2DIndex));
}

// A picture of another size (printing) is drawn whole at that size, the colour bar at its own
// right edge, and the screen image stays as it was.
TEST_F(Surface, RenderAtAnotherSizeKeepsTheScreenImage) {
    surface.SetShow(kShowImage, true);
    surface.SetShow(kShowColorBar, true);
    surface.SetCurrentFrame(0);
    const QImage before = surface.offscreenImage().copy();
    const QImage printed = surface.renderAt(QSize(600, 400));
    ASSERT_EQ(printed.size(), QSize(600, 400));
    const QRgb saturation = entryColour(kSaturationIndex);
    int barPixels = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 540; x < 600; ++x)
            if (printed.pixel(x, y) == saturation) ++barPixels;
    EXPECT_GT(barPixels, 10);
    EXPECT_EQ(surface.offscreenImage(), before);
    EXPECT_EQ(surface.beamView().state().display, (BeamRect{0, 0, 248, 248}));
}

// The colour of each line of text the surface draws: the colour bar's numbers in their own
// colours, the results text in the text colour.
struct TextLine {
    int band;  // the line's index: it lies in rows band * line height .. (band + 1) * line height
    QRgb colour;
};

// The lowest contrast between a text's colour and the ground it is read against in its line: the
// line's top row over the glyphs and a little beyond, and its bottom row beside them.
// Nothing when no glyph of that colour is in the line.
std::optional<double> groundContrast(const QImage& image, int lineHeight, const TextLine& line,
                                     int xFrom, int xTo) {
    const int top = line.band * lineHeight, bottom = top + lineHeight - 1;
    if (bottom >= image.height()) return std::nullopt;
    int left = xTo, right = xFrom - 1;
    for (int y = top; y <= bottom; ++y)
        for (int x = xFrom; x < xTo; ++x)
            if (image.pixel(x, y) == line.colour) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    if (right < left) return std::nullopt;
    const auto ref = [](QRgb c) {
        return ColorRef(qRed(c)) | ColorRef(qGreen(c)) << 8 | ColorRef(qBlue(c)) << 16;
    };
    double lowest = 21;
    // The bottom row is read beside the glyphs only: a descender ("g" of "Warning") reaches it.
    for (int x = std::max(left - 3, 0); x <= std::min(right + 3, image.width() - 1); ++x)
        for (int y : {top, bottom})
            if (y == top || x < left || x > right)
                lowest = std::min(lowest, contrastRatio(ref(line.colour), ref(image.pixel(x, y))));
    return lowest;
}

// Every text on the image stands out from what lies under it (contrast 4.5 or more): the colour
// bar's dark numbers on a dark image, its white and yellow ones on the printer's white and on the
// 3-D view's grey, the results text over a bright image.
TEST_F(Surface, TextsOnTheImageStandOutFromWhatLiesUnderThem) {
    struct Case {
        const char* what;
        std::int16_t value;  // of every pixel: the image under the texts
        bool printer, threeD, results;
    };
    const Case cases[] = {
        {"colour bar on a dark image", 600, false, false, false},
        {"colour bar on paper", 0, true, false, false},
        {"colour bar in 3-D", 0, false, true, false},
        {"results text on a bright image", 32000, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::fill(*frame, c.value);
        TResults(dialogs).Compute(frame.get());
        surface.SetPrinterPalette(c.printer);
        surface.SetShow3D(c.threeD);
        surface.SetShow(kShowImage, true);
        surface.SetShow(kShowResults, c.results);
        surface.SetShow(kShowColorBar, !c.results);
        surface.SetCurrentFrame(0);
        const QImage& image = surface.offscreenImage();
        QFont font = surface.font();
        font.setPointSize(10);
        const QFontMetrics metrics(font, &image);
        std::vector<TextLine> lines;
        int xFrom = 0, xTo = image.width() / 2;
        if (c.results) {
            for (int i = 0; i < 7; ++i) lines.push_back({i, entryColour(c.threeD ? kTextColor3DIndex : kTextColor2DIndex)});
        } else {
            xFrom = image.width() - metrics.horizontalAdvance(QString(6, 'X')) - 4;
            xTo = image.width();
            const BeamViewState& st = surface.beamView().state();
            int i = 0;
            for (const ColorBarNumber& n : colorBarNumbers(st.displayScale, st.scaleBase, 14, 0))
                lines.push_back({i++, entryColour(n.paletteIndex)});
        }
        std::size_t read = 0;
        for (const TextLine& line : lines)
            if (const std::optional<double> contrast = groundContrast(image, metrics.height(), line, xFrom, xTo)) {
                ++read;
                EXPECT_GE(*contrast, 4.5) << "line " << line.band;
            }
        EXPECT_GE(read, lines.size() / 2);
    }
}

// On the printer's palette the crosshair, the cursor and the profiles show on white paper; on
// the screen's they stay light on the dark ground.
TEST_F(Surface, OnThePrintersPaletteTheCrosshairCursorAndProfilesShowOnWhitePaper) {
    struct Case {
        const char* what;
        bool crosshair, cursor;
        QRect where;  // client pixels the overlay runs through
    };
    // 124 frame pixels on 248 client pixels: the crosshair's bars cross at client (124, 124),
    // the cursor's lines run through the pixel centre (125, 125), the profiles of a frame of 0
    // along the bottom row and the left column.
    const Case cases[] = {
        {"crosshair", true, false, QRect(100, 124, 10, 4)},
        {"cursor", false, true, QRect(0, 124, 100, 3)},
        {"horizontal profile", false, true, QRect(0, 246, 100, 2)},
        {"vertical profile", false, true, QRect(0, 0, 2, 100)},
    };
    test::fill(*frame, 0);
    TResults(dialogs).Compute(frame.get());
    for (bool printer : {true, false}) {
        surface.SetPrinterPalette(printer);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (printer ? " on paper" : " on the screen"));
            surface.SetShow(kShowImage, true);
            surface.SetShow(kShowCrosshair, c.crosshair);
            surface.SetShow(kShowCursor, c.cursor);
            surface.SetCurrentFrame(0);
            const QImage& image = surface.offscreenImage();
            const QRgb ground = image.pixel(200, 40);
            const auto ref = [](QRgb q) { return ColorRef(qRed(q)) | ColorRef(qGreen(q)) << 8 | ColorRef(qBlue(q)) << 16; };
            int standing = 0;
            for (int y = c.where.top(); y <= c.where.bottom(); ++y)
                for (int x = c.where.left(); x <= c.where.right(); ++x)
                    if (contrastRatio(ref(image.pixel(x, y)), ref(ground)) >= 4.5) ++standing;
            EXPECT_GT(standing, c.where.width() * c.where.height() / 4);
        }
    }
}

// A picture at a printer's resolution keeps the colour bar's numbers at their point size: ten
// points, not the screen's pixels of a ten-point text, scaled down to the page.
TEST_F(Surface, APictureAtAPrintersResolutionKeepsTheTextsPointSize) {
    test::fill(*frame, 0);
    TResults(dialogs).Compute(frame.get());
    surface.SetShow(kShowImage, true);
    surface.SetShow(kShowColorBar, true);
    surface.SetCurrentFrame(0);
    const double dpi = 300;
    const QImage picture = surface.renderAt(QSize(1200, 1200), {dpi, true});
    // The top number ("16383", in the saturation colour) over the image's lowest colour.
    const QRgb top = entryColour(kSaturationIndex);
    int first = picture.height(), last = -1;
    for (int y = 0; y < 200; ++y)
        for (int x = 900; x < picture.width(); ++x)
            if (picture.pixel(x, y) == top) {
                first = std::min(first, y);
                last = std::max(last, y);
            }
    // Digits stand about seven tenths of the point size tall.
    EXPECT_GE(last - first + 1, 0.6 * 10 * dpi / 72);
}

// Extreme frames, every zoom level, the cursor dragged to each corner and apertures anywhere: the
// surface draws them all without reading outside the frame (the sanitizer build checks that).
TEST_F(Surface, ExtremeFramesCursorsAndAperturesStayInsideTheFrame) {
    for (int item : {kShowImage, kShowCrosshair, kShowAperture, kShowCursor, kShowResults,
                     kShowColorBar})
        surface.SetShow(item, true);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Aperture {
        double x, y, major, minor;
    };
    const Aperture apertures[] = {{61.5, 61.5, 30, 20}, {-1e6, 5, 10, 10}, {1e9, 1e9, 1e12, 1e-9},
                                  {nan, 3, 4, 5},       {0, 0, 1e300, 1e300}};
    for (std::int16_t value : {std::int16_t{0}, std::int16_t{-32768}, std::int16_t{32767}}) {
        test::fill(*frame, value);
        test::set(*frame, 123, 0, 32767);  // a bright pixel in a corner
        TResults(dialogs).Compute(frame.get());
        for (const Aperture& a : apertures) {
            VasprelHeader& h = *frame->GetHeader();
            h.CenterXLoc = a.x;
            h.CenterYLoc = a.y;
            h.Major = a.major;
            h.Minor = a.minor;
            for (int zoom = 0; zoom <= 3; ++zoom) {
                surface.SetZoom(zoom);
                for (QPoint corner : {QPoint(0, 0), QPoint(247, 0), QPoint(0, 247), QPoint(247, 247),
                                      QPoint(-100, 400)}) {
                    const BeamPoint c = surface.GetFrameCursor();
                    const BeamPoint at = surface.beamView().toClient(c.x + 0.5, c.y + 0.5);
                    for (auto [type, point] : {std::pair{QEvent::MouseMove, QPoint(at.x, at.y)},
                                               std::pair{QEvent::MouseButtonPress, QPoint(at.x, at.y)},
                                               std::pair{QEvent::MouseMove, corner},
                                               std::pair{QEvent::MouseButtonRelease, corner}}) {
                        QMouseEvent e(type, QPointF(point), QPointF(point), Qt::LeftButton,
                                      type == QEvent::MouseButtonRelease ? Qt::NoButton
                                                                         : Qt::LeftButton,
                                      Qt::NoModifier);
                        QApplication::sendEvent(&surface, &e);
                    }
                    surface.SetCurrentFrame(0);
                    const BeamPoint cursor = surface.GetFrameCursor();
                    ASSERT_TRUE(cursor.x >= 0 && cursor.x < 124 && cursor.y >= 0 && cursor.y < 124)
                        << value << " zoom " << zoom;
                }
            }
        }
    }
}

// The picture for a set of show items and view settings, against the one kept for it.
struct ImageCase {
    const char* name;
    std::function<void(TSurface&)> setUp;
};

class SurfaceImages : public Surface, public ::testing::WithParamInterface<ImageCase> {};

TEST_P(SurfaceImages, MatchesTheKeptPicture) {
    const ImageCase& c = GetParam();
    surface.SetShow(kShowImage, true);
    surface.SetShow(kShowCrosshair, true);
    surface.SetShow(kShowAperture, true);
    surface.SetShow(kShowCursor, true);
    surface.SetCurrentFrame(0);
    c.setUp(surface);
    const QImage actual = surface.offscreenImage().convertToFormat(QImage::Format_RGB32);
    const std::string path = std::string(KESTROM_SURFACE_IMAGES) + "/" + c.name + ".png";
    if (std::getenv("KESTROM_UPDATE_IMAGES")) {
        ASSERT_TRUE(actual.save(QString::fromStdString(path)));
        GTEST_SKIP() << "wrote " << path;
    }
    const QImage expected = QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(expected.isNull()) << "no picture " << path;
    ASSERT_EQ(actual.size(), expected.size());
    int differing = 0;
    for (int y = 0; y < actual.height(); ++y)
        for (int x = 0; x < actual.width(); ++x)
            if (actual.pixel(x, y) != expected.pixel(x, y)) ++differing;
    if (differing) actual.save(QString::fromStdString(std::string(c.name) + ".actual.png"));
    EXPECT_EQ(differing, 0) << c.name << ": the picture drawn is in " << c.name << ".actual.png";
}

INSTANTIATE_TEST_SUITE_P(
    Kept, SurfaceImages,
    ::testing::Values(
        ImageCase{"beam_whole", [](TSurface&) {}},
        ImageCase{"beam_zoomed_grey_2x",
                  [](TSurface& s) {
                      s.SetShow(kShowColour, false);
                      s.SetDisplayScale(1);
                      s.SetCurrentFrame(0);
                      s.SetZoom(2);
                  }},
        ImageCase{"beam_printer_based", [](TSurface& s) {
                      s.SetPrinterPalette(true);
                      s.SetScaleBase(2000);
                      s.SetShow(kShowCrosshair, false);
                      s.SetCurrentFrame(0);
                  }},
        // The 3-D view at its default rotation and tilt, and turned and raised with its bars.
        ImageCase{"beam_3d", [](TSurface& s) { s.SetShow3D(true); }},
        ImageCase{"beam_3d_rotated_135_tilted_60",
                  [](TSurface& s) {
                      s.SetShow3D(true);
                      s.SetShow(kShowColour, false);
                      TBeam& view = const_cast<TBeam&>(s.beamView());
                      view.HorzScrollBarChange(135);
                      view.VertScrollBarChange(60);
                      s.SetCurrentFrame(0);
                  }}),
    [](const ::testing::TestParamInfo<ImageCase>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace kestrom
