// The 2-D beam view: display rectangle, zoom and its cycle, scroll bars, the pointer, the frame
// bitmap with its crosshair and marked pixels, and the overlays' geometry.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "results_test_support.h"
#include "viewer/core/beam_2d.h"
#include "viewer/core/bitmap_stretch.h"
#include "viewer/core/pal.h"
#include "viewer/core/palette_layout.h"
#include "viewer/core/second_moment_record.h"

namespace kestrom {
namespace {

using test::Frame16;

// Remembers what the view drew.
struct RecordingCanvas : BeamCanvas {
    std::vector<std::string> calls;
    BeamRect stretchedSource, stretchedTarget, ellipseBox;
    ColorRef ellipseColour = 0;
    std::vector<std::vector<BeamPoint>> polylines;
    void stretchBitmap(const IndexedBitmap&, const BeamRect& s, const BeamRect& t) override {
        calls.push_back("stretch");
        stretchedSource = s;
        stretchedTarget = t;
    }
    void ellipse(const BeamRect& box, ColorRef colour, const BeamRect&) override {
        calls.push_back("ellipse");
        ellipseBox = box;
        ellipseColour = colour;
    }
    struct Turned {
        double centreX, centreY, a, b, angle;
    } turned{};
    void turnedEllipse(double x, double y, double a, double b, double angle, ColorRef colour,
                       const BeamRect&) override {
        calls.push_back("turnedEllipse");
        turned = {x, y, a, b, angle};
        ellipseColour = colour;
    }
    void line(BeamPoint, BeamPoint, ColorRef, PenStyle) override { calls.push_back("line"); }
    void polyline(const std::vector<BeamPoint>& points, ColorRef) override {
        calls.push_back("polyline");
        polylines.push_back(points);
    }
};

class Beam2D : public ::testing::Test {
  protected:
    void SetUp() override {
        frame = test::liveFrame();
        std::mt19937 random(7);
        for (int i = 0; i < 124 * 124; ++i)
            frame->data()[i] = static_cast<std::int16_t>(random() % 32768);
        view.SetClientSize(500, 500);
        view.SetPalette(TPal::CreatePalette(0));
        view.SetZoomToCursor(true);
        view.SetFrame(frame.get());
    }
    std::vector<int> zoomCycle(int clicks) {
        std::vector<int> widths;
        for (int i = 0; i < clicks; ++i) {
            view.DblClick();
            widths.push_back(view.state().view.width());
        }
        return widths;
    }

    std::unique_ptr<Frame16> frame;
    TBeam2D view;
};

TEST_F(Beam2D, DisplayRectangleKeepsTheFrameAspect) {
    struct Case {
        int w, h;
        BeamRect expected;
    };
    for (const Case& c : {Case{500, 400, {100, 0, 500, 400}}, Case{400, 500, {0, 0, 400, 400}},
                          Case{500, 500, {0, 0, 500, 500}}, Case{0, 0, {0, 0, 0, 0}}}) {
        view.SetClientSize(c.w, c.h);
        view.Resize();
        EXPECT_EQ(view.state().display, c.expected) << c.w << "x" << c.h;
    }
}

TEST_F(Beam2D, ZoomCyclesInAndOutAroundTheCursor) {
    ASSERT_EQ(view.state().view, (BeamRect{0, 0, 124, 124}));
    EXPECT_EQ(view.cursor(), (BeamPoint{62, 62}));
    EXPECT_EQ(zoomCycle(5), (std::vector<int>{62, 30, 62, 124, 62}));
    view.SetZoom(2);
    EXPECT_EQ(view.state().view, (BeamRect{47, 47, 77, 77}));
}

TEST_F(Beam2D, ZoomAtTheCornersStaysInTheFrame) {
    struct Case {
        BeamPoint cursor;
        int zoom;
        BeamRect expected;
    };
    for (const Case& c : {Case{{0, 0}, 1, {0, 0, 62, 62}}, Case{{123, 123}, 1, {62, 62, 124, 124}},
                          Case{{123, 0}, 2, {94, 0, 124, 30}}, Case{{5, 120}, 2, {0, 94, 30, 124}}}) {
        // The cursor is put where the case wants it through a drag.
        TBeam2D fresh;
        fresh.SetClientSize(500, 500);
        fresh.SetZoomToCursor(true);
        fresh.SetFrame(frame.get());
        fresh.SetShowCursor(true);
        fresh.MouseMove(fresh.toClient(62.5, 62.5).x, fresh.toClient(62.5, 62.5).y);
        fresh.MouseDown(0, 0);
        const BeamPoint target = fresh.toClient(c.cursor.x + 0.5, c.cursor.y + 0.5);
        fresh.MouseMove(target.x, target.y);
        fresh.MouseUp(0, 0);
        ASSERT_EQ(fresh.cursor(), c.cursor);
        fresh.SetZoom(c.zoom);
        EXPECT_EQ(fresh.state().view, c.expected) << c.cursor.x << "," << c.cursor.y;
        EXPECT_EQ(fresh.cursor(), c.cursor);
    }
}

TEST_F(Beam2D, ScrollBarsFollowTheZoomAndMoveTheView) {
    EXPECT_FALSE(view.state().horzBar.visible);
    view.SetZoom(1);
    EXPECT_EQ(view.state().horzBar, (ScrollBarState{true, 0, 62, 7, 31, 31}));
    EXPECT_EQ(view.state().vertBar, (ScrollBarState{true, 0, 62, 7, 31, 31}));
    view.HorzScrollBarChange(0);
    EXPECT_EQ(view.state().view, (BeamRect{0, 31, 62, 93}));
    EXPECT_EQ(view.cursor(), (BeamPoint{31, 62}));
    view.VertScrollBarChange(62);
    EXPECT_EQ(view.state().view, (BeamRect{0, 62, 62, 124}));
    EXPECT_EQ(view.cursor(), (BeamPoint{31, 93}));
    // A position past the end is refused.
    view.HorzScrollBarChange(63);
    EXPECT_EQ(view.state().view.left, 0);
    view.SetZoom(0);
    EXPECT_FALSE(view.state().horzBar.visible);
    EXPECT_FALSE(view.state().vertBar.visible);
}

TEST_F(Beam2D, PointerOverTheCursorDragsItInsideTheDisplay) {
    view.SetShowCursor(true);
    const BeamPoint c = view.toClient(62.5, 62.5);
    view.MouseMove(c.x + 20, c.y);
    EXPECT_EQ(view.pointerShape(), PointerShape::Default);
    view.MouseMove(c.x + 6, c.y + 6);
    EXPECT_EQ(view.pointerShape(), PointerShape::Cross);
    view.MouseDown(c.x + 6, c.y + 6);
    EXPECT_TRUE(view.dragging());
    view.MouseMove(100, 450);
    EXPECT_EQ(view.cursor(), (BeamPoint{24, 111}));  // trunc(100 / (500 / 124)), trunc(450 / ...)
    view.MouseMove(-50, 9999);                       // clamped to the display
    EXPECT_EQ(view.cursor(), (BeamPoint{0, 123}));
    view.MouseUp(0, 0);
    EXPECT_FALSE(view.dragging());
    EXPECT_EQ(view.pointerShape(), PointerShape::Default);
}

TEST_F(Beam2D, DragAwayFromTheCursorPansOnlyWhenZoomed) {
    view.SetShowCursor(true);
    view.MouseMove(10, 10);
    view.MouseDown(10, 10);
    EXPECT_FALSE(view.dragging());
    view.SetZoom(1);  // view (31, 31, 93, 93)
    view.MouseMove(10, 10);
    view.MouseDown(10, 10);
    ASSERT_TRUE(view.dragging());
    // d = 500 / 8 = 62; dx = trunc(-100 * 62 / 62) = -100 columns, kept in the frame.
    view.MouseMove(110, 10 + 31);
    EXPECT_EQ(view.state().view, (BeamRect{0, 0, 62, 62}));
    EXPECT_EQ(view.cursor(), (BeamPoint{31, 31}));  // moved with the view
    EXPECT_EQ(view.state().horzBar.position, 0);
    view.MouseMove(10 - 20, 10 - 10);  // 20 columns right, 10 rows down of the press
    EXPECT_EQ(view.state().view, (BeamRect{51, 41, 113, 103}));
    view.MouseUp(0, 0);
}

TEST_F(Beam2D, CrosshairIsPaintedAndRestoredExactly) {
    const std::vector<std::uint8_t> before = view.frameBitmap().pixels;
    view.SetShowCrosshair(true);
    view.BeamCrosshair();
    const IndexedBitmap& b = view.frameBitmap();
    EXPECT_EQ(b.at(62 - 15, 62), kSaturationIndex);
    EXPECT_EQ(b.at(62 + 16, 63), kSaturationIndex);
    EXPECT_EQ(b.at(63, 62 - 15), kSaturationIndex);
    EXPECT_EQ(b.at(62, 62 + 16), kSaturationIndex);
    EXPECT_NE(b.pixels, before);
    view.BeamCrosshair();  // painting again changes nothing
    view.SetShowCrosshair(false);
    view.BeamCrosshair();
    EXPECT_EQ(view.frameBitmap().pixels, before);
    EXPECT_FALSE(view.crosshairSaved());
}

// A frame smaller than the crosshair keeps it to its own pixels.
TEST(Beam2DSmall, CrosshairOnATinyFrameStaysInside) {
    auto tiny = test::liveFrame(6, 4);
    test::fill(*tiny, 1000);
    TBeam2D view;
    view.SetClientSize(60, 40);
    view.SetFrame(tiny.get());
    view.SetShowCrosshair(true);
    view.BeamCrosshair();
    const std::vector<std::uint8_t> painted = view.frameBitmap().pixels;
    view.SetShowCrosshair(false);
    view.BeamCrosshair();
    EXPECT_NE(painted, view.frameBitmap().pixels);
    BeamLut lut;
    lut.Make(0, 0, 14, 0);
    EXPECT_EQ(view.frameBitmap().pixels, std::vector<std::uint8_t>(24, lut.pixelEntry(1000)));
}

TEST_F(Beam2D, NewFramesAndFramesThatCannotBeShown) {
    view.SetZoom(1);
    view.HorzScrollBarChange(10);
    const BeamRect zoomed = view.state().view;
    // A frame of the same size keeps the view; a new size shows the frame whole from its middle.
    view.SetFrame(frame.get());
    EXPECT_EQ(view.state().view, zoomed);
    auto other = test::liveFrame(64, 32);
    view.SetFrame(other.get());
    EXPECT_EQ(view.state().view, (BeamRect{0, 0, 64, 32}));
    EXPECT_EQ(view.cursor(), (BeamPoint{32, 16}));
    // A header that does not describe its block is no frame to show.
    other->GetHeader()->Width = 200;
    view.SetFrame(other.get());
    EXPECT_EQ(view.frame(), nullptr);
    view.DblClick();
    view.MouseDown(1, 1);
    EXPECT_FALSE(view.dragging());
}

TEST_F(Beam2D, MarkedPixelsShowInTheirEntryAndGoAgain) {
    const std::uint8_t plain = view.frameBitmap().at(3, 4);
    view.SetPixPointList({{3, 4}, {500, 2}, {-1, 0}});  // points outside are left out
    view.SetShowPixPoint(true);
    EXPECT_EQ(view.frameBitmap().at(3, 4), kSpecial2DIndex);
    view.SetFrame(frame.get());  // a new frame is marked too
    EXPECT_EQ(view.frameBitmap().at(3, 4), kSpecial2DIndex);
    view.SetShowPixPoint(false);
    EXPECT_EQ(view.frameBitmap().at(3, 4), plain);
}

TEST_F(Beam2D, ProfilesStayAboveTheBottomForNegativePixels) {
    test::fill(*frame, -3000);
    test::set(*frame, 62, 62, 32767);
    view.SetFrame(frame.get());
    const std::vector<BeamPoint> h = view.horizontalProfile();
    ASSERT_EQ(h.size(), 124u);
    EXPECT_EQ(h.front(), (BeamPoint{view.toClient(0.5, 0).x, 499}));
    EXPECT_EQ(h[1].y, 499);
    // Full scale, 16383.5 counts of 16383, reaches a third of the display up.
    EXPECT_EQ(h[62].y, 500 - 166 - 1);
    const std::vector<BeamPoint> v = view.verticalProfile();
    ASSERT_EQ(v.size(), 124u);
    EXPECT_EQ(v.front().x, 0);
    EXPECT_EQ(v[62].x, 166);
}

TEST_F(Beam2D, PaintDrawsImageApertureCursorAndProfiles) {
    RecordingCanvas canvas;
    view.SetCanvas(&canvas);
    view.Paint();
    EXPECT_TRUE(canvas.calls.empty());  // the image is not shown yet
    view.SetShowImage(true);
    view.SetShowAperture(true);
    view.SetShowCursor(true);
    view.SetColours({0, 0, 0x123456, 0});
    VasprelHeader& h = *frame->GetHeader();
    h.CenterXLoc = 61.5;
    h.CenterYLoc = 61.5;
    h.Major = 20;
    h.Minor = 10;
    view.Paint();
    EXPECT_EQ(canvas.calls, (std::vector<std::string>{"stretch", "ellipse", "line", "line", "line",
                                                      "line", "polyline", "polyline"}));
    EXPECT_EQ(canvas.stretchedSource, (BeamRect{0, 0, 124, 124}));
    EXPECT_EQ(canvas.stretchedTarget, (BeamRect{0, 0, 500, 500}));
    // Centre 250, axes 80.6 and 40.3 pixels.
    EXPECT_EQ(canvas.ellipseBox, (BeamRect{209, 229, 290, 270}));
    EXPECT_EQ(canvas.ellipseColour, 0x123456u);
    // An aperture around the whole display is drawn red, inscribed in it.
    h.Major = 400;
    h.Minor = 400;
    canvas = {};
    view.Paint();
    EXPECT_EQ(canvas.ellipseBox, (BeamRect{0, 0, 499, 499}));
    EXPECT_EQ(canvas.ellipseColour, 0x0000FFu);
    // The second moments' aperture turns with the beam's axes: Major along the axis nearer x.
    h.Major = 20;
    h.Minor = 10;
    h.unused284 = kSecondMomentTag;
    h.BeamWidthx = 10;
    h.BeamWidthy = 5;
    h.Mean = 30;
    canvas = {};
    view.Paint();
    EXPECT_EQ(canvas.calls[1], "turnedEllipse");
    EXPECT_NEAR(canvas.turned.centreX, 250, 2);
    EXPECT_NEAR(canvas.turned.a, 40.3, 0.1);
    EXPECT_NEAR(canvas.turned.b, 20.2, 0.1);
    EXPECT_NEAR(canvas.turned.angle * 180 / std::acos(-1.0), 30, 1e-9);
    // The major axis nearer y, at 70 degrees: the axis nearer x is turned -20.
    h.BeamWidthx = 5;
    h.BeamWidthy = 10;
    h.Mean = 70;
    canvas = {};
    view.Paint();
    EXPECT_NEAR(canvas.turned.angle * 180 / std::acos(-1.0), -20, 1e-9);
    h.unused284 = 0;
    // No aperture without both axes.
    h.Minor = 0;
    canvas = {};
    view.Paint();
    EXPECT_EQ(std::count(canvas.calls.begin(), canvas.calls.end(), "ellipse"), 0);
}

TEST_F(Beam2D, CursorLinesStayOnTheDisplay) {
    view.SetShowCursor(true);
    const BeamPoint c = view.toClient(62.5, 62.5);
    view.MouseMove(c.x, c.y);
    view.MouseDown(c.x, c.y);
    view.MouseMove(499, 499);
    view.MouseUp(0, 0);
    EXPECT_EQ(view.cursor(), (BeamPoint{123, 123}));
    EXPECT_EQ(view.cursorPoint(), (BeamPoint{498, 498}));
}

}  // namespace
}  // namespace kestrom

namespace kestrom {
namespace {

// Each target pixel shows the source pixel under its centre; what falls outside the image is
// left out.
TEST(BitmapStretch, SamplesPixelCentresAndKeepsToTheImage) {
    IndexedBitmap bitmap;
    bitmap.resize(3, 1);
    bitmap.pixels = {0, 1, 2};
    RgbTable colours{};
    for (std::uint32_t i = 0; i < 256; ++i) colours[i] = 0xFF000000u | i;
    std::vector<std::uint32_t> words(8 * 2, 7);
    const RgbImageView image{words.data(), 8, 2, 8};
    stretchIndexed(bitmap, {0, 0, 3, 1}, {0, 0, 8, 1}, colours, image);
    // 8 / 3 target pixels per source pixel: centres 0.5 .. 7.5 fall on 0 0 0 1 1 2 2 2.
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(words[static_cast<std::size_t>(x)] & 0xFF, std::vector<std::uint32_t>({0, 0, 0, 1, 1, 2, 2, 2})[static_cast<std::size_t>(x)]);
    stretchIndexed(bitmap, {1, 0, 3, 1}, {-4, 1, 12, 40}, colours, image);
    EXPECT_EQ(words[8] & 0xFF, 1u);   // target x -4..3 shows column 1
    EXPECT_EQ(words[15] & 0xFF, 2u);
    // A source beyond the bitmap draws nothing.
    std::fill(words.begin(), words.end(), 7);
    stretchIndexed(bitmap, {0, 0, 4, 1}, {0, 0, 8, 2}, colours, image);
    EXPECT_EQ(words, std::vector<std::uint32_t>(16, 7));
}

}  // namespace
}  // namespace kestrom
