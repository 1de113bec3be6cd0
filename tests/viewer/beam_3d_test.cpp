// The 3-D beam view and its renderer: the default view, the vertex grid's heights, the pan turned
// by the rotation, and hidden lines really hidden by the filled underlay.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "viewer/core/beam_3d.h"
#include "viewer/core/pal.h"

namespace kestrom {
namespace {

using Frame = TVasprelFrame<std::int16_t>;

std::unique_ptr<Frame> frameOf(const std::function<int(int row, int column)>& value) {
    auto f = std::make_unique<Frame>(124, 124);
    VasprelHeader& h = *f->GetHeader();
    h.Width = h.Height = 124;
    h.PixelBits = 14;
    h.Flags |= vasprel::kValidData;
    for (int r = 0; r < 124; ++r)
        for (int c = 0; c < 124; ++c) f->Row(r)[c] = static_cast<std::int16_t>(value(r, c));
    return f;
}

class Beam3D : public ::testing::Test {
  protected:
    void show(Frame& frame, int scale = 0, std::int32_t base = 0) {
        view.SetPalette(TPal::CreatePalette(0));
        view.SetClientSize(500, 500);
        view.SetShowImage(true);
        view.SetDisplayScale(scale);
        view.SetScaleBase(base);
        view.SetFrame(&frame);
    }
    TBeam3D view;
};

TEST_F(Beam3D, TheDefaultViewIsRotated45AndTilted30AndTheBarsSayHow) {
    auto frame = frameOf([](int, int) { return 0; });
    show(*frame);
    TBeam3D other;
    other.AssignFrom(view);
    EXPECT_EQ(other.rotation(), 45);
    EXPECT_EQ(other.tilt(), 30);
    EXPECT_EQ(other.state().horzBar, (ScrollBarState{true, 0, 360, 15, 90, 45}));
    EXPECT_EQ(other.state().vertBar, (ScrollBarState{true, 0, 90, 10, 30, 30}));
    other.HorzScrollBarChange(400);
    other.VertScrollBarChange(60);
    EXPECT_EQ(other.rotation(), 360);
    EXPECT_EQ(other.state().vertBar.position, 60);
    // A 124-row frame always gets a vertex per pixel.
    EXPECT_EQ(view.gridStep(), 1);
    EXPECT_EQ(view.grid().columns, 124);
    EXPECT_EQ(view.grid().rows, 124);
    EXPECT_NEAR(view.diagonal(), std::sqrt(2.0) * 124, 1e-9);
}

TEST_F(Beam3D, AFlatFrameAtTheScaleBaseLiesInZeroAndTwoXDoublesTheHeights) {
    // A base of 1000 camera counts is 2000 in 15-bit frame values.
    auto flat = frameOf([](int, int) { return 2000; });
    show(*flat, 0, 1000);
    for (const Vertex3& v : view.grid().vertices) ASSERT_EQ(v.z, 0.0);

    auto peak = frameOf([](int r, int c) { return r == 10 && c == 20 ? 12000 : 0; });
    show(*peak, 0, 0);
    const std::size_t at = static_cast<std::size_t>((123 - 10) * 124 + 20);  // grid rows count from the view's bottom
    const double oneX = view.grid().vertices[at].z;
    EXPECT_NEAR(oneX, 12000 * (view.diagonal() / 2) / 32767, 1e-9);
    EXPECT_EQ(view.grid().vertices[at].x, 20 - 62);
    EXPECT_EQ(view.grid().vertices[at].y, (123 - 10) - 62);
    show(*peak, 1, 0);
    EXPECT_NEAR(view.grid().vertices[at].z, 2 * oneX, 1e-9);
}

TEST_F(Beam3D, TurningTheView180DegreesReversesThePan) {
    auto frame = frameOf([](int, int) { return 0; });
    struct Case {
        int rotation;
        int sign;
    } cases[] = {{0, 1}, {180, -1}};
    int shifts[2] = {0, 0};
    for (int k = 0; k < 2; ++k) {
        TBeam3D v;
        v.SetPalette(TPal::CreatePalette(0));
        v.SetClientSize(496, 496);
        v.SetShowImage(true);
        v.SetFrame(frame.get());
        v.SetZoom(1);
        v.HorzScrollBarChange(cases[k].rotation);
        const int left = v.state().view.left;
        v.MouseDown(300, 300);
        v.MouseMove(200, 300);
        shifts[k] = v.state().view.left - left;
        v.MouseUp(200, 300);
        EXPECT_NE(shifts[k], 0) << cases[k].rotation;
    }
    EXPECT_EQ(shifts[0], -shifts[1]);
    EXPECT_GT(shifts[0], 0);
}

// Pixels of the picture in the flat ground's line colour.
int groundLinePixels(const TBeam3D& view, std::uint8_t ground) {
    int n = 0;
    for (std::uint8_t p : view.bitmap().pixels) n += p == ground;
    return n;
}

TEST_F(Beam3D, ATallWallInFrontHidesTheGridBehindIt) {
    // Seen from the front (rotation 0), the frame's bottom rows are nearest.
    auto flat = frameOf([](int, int) { return 200; });
    auto wall = frameOf([](int r, int) { return r >= 100 && r <= 104 ? 30000 : 200; });
    view.HorzScrollBarChange(0);
    show(*flat);
    view.render();
    const std::uint8_t ground = static_cast<std::uint8_t>(view.grid().colours[0]);
    const int open = groundLinePixels(view, ground);
    show(*wall);
    view.render();
    const int hidden = groundLinePixels(view, ground);
    EXPECT_GT(open, 1000);
    // The wall covers a large part of the ground behind it; without the underlay its lines would
    // show through.
    EXPECT_LT(hidden, open * 3 / 4);

    Renderer3D wiresOnly;
    IndexedBitmap picture;
    picture.resize(500, 500);
    wiresOnly.begin(picture, 0);
    wiresOnly.setViewport(view.state().display);
    const double d = view.diagonal();
    wiresOnly.setProjection({-d / 2, d / 2, -d / 3, 2 * d / 3, -2 * d / 3, 2 * d / 3});
    wiresOnly.setView(view.tilt(), view.rotation());
    wiresOnly.setGrid(view.grid());
    wiresOnly.drawWires();
    int seenThrough = 0;
    for (std::uint8_t p : picture.pixels) seenThrough += p == ground;
    EXPECT_GT(seenThrough, hidden + open / 10);
}

TEST_F(Beam3D, TheRendererKeepsTheNearerOfTwoSurfacesAndLinesOnTheirOwnSurface) {
    IndexedBitmap picture;
    picture.resize(100, 100);
    Renderer3D r;
    r.begin(picture, 7);
    r.setViewport({0, 0, 100, 100});
    r.setProjection({-50, 50, -50, 50, -50, 50});
    r.setView(90, 0);  // looking straight down: x right, y up
    // Two squares seen from above: the high one over pixels 30..70, the low one over 40..80.
    auto square = [](double left, double right, double z, int colour) {
        VertexGrid g;
        g.columns = g.rows = 2;
        g.vertices = {{left, -20, z}, {right, -20, z}, {left, 20, z}, {right, 20, z}};
        g.colours = {colour, colour, colour, colour};
        return g;
    };
    const VertexGrid high = square(-20, 20, 10, 50), low = square(-10, 30, -10, 60);
    r.setGrid(low);
    r.drawWires();
    r.setGrid(high);
    r.drawWires();
    r.setGrid(low);
    r.fillCells(1, 1, 1);
    r.setGrid(high);
    r.fillCells(2, 1, 1);
    EXPECT_EQ(picture.at(50, 50), 2);   // the high square's fill is nearer
    EXPECT_EQ(picture.at(30, 50), 50);  // its own edge stays over its fill
    EXPECT_EQ(picture.at(40, 50), 2);   // the low square's edge under it is hidden
    EXPECT_EQ(picture.at(80, 50), 60);  // and seen where nothing is above it
    EXPECT_EQ(picture.at(75, 50), 1);
    EXPECT_EQ(picture.at(5, 5), 7);     // outside: the clear index
}

}  // namespace
}  // namespace kestrom
