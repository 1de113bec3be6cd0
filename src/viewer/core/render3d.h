// A small software renderer for the 3-D beam view: an orthographic projection of a grid of
// vertices turned by tilt and rotation, a depth buffer, and palette indices written into an 8-bit
// bitmap. The wire lines go first, each with its vertices' colour indices interpolated; the
// filled underlay follows in one index, pushed back by a polygon offset, so that it hides the
// lines behind the surface and leaves those on it.
#pragma once

#include <cstdint>
#include <vector>

#include "viewer/core/beam_geometry.h"
#include "viewer/core/indexed_bitmap.h"

namespace kestrom {

struct Vertex3 {
    double x = 0, y = 0, z = 0;
};

// A grid of columns x rows vertices, row after row; colour: one palette index per vertex.
struct VertexGrid {
    int columns = 0;
    int rows = 0;
    std::vector<Vertex3> vertices;
    std::vector<std::int32_t> colours;
};

struct OrthoVolume {
    double left = -1, right = 1, bottom = -1, top = 1, nearZ = -1, farZ = 1;
};

class Renderer3D {
  public:
    // The whole bitmap cleared to the index, the depth buffer to the far plane.
    void begin(IndexedBitmap& target, std::uint8_t clearIndex);
    // Where the volume lands in the bitmap (top-left origin, right and bottom exclusive).
    void setViewport(const BeamRect& viewport) { viewport_ = viewport; }
    void setProjection(const OrthoVolume& volume) { volume_ = volume; }
    // Turned by rotationDeg about z, then by (tiltDeg - 90) about x.
    void setView(double tiltDeg, double rotationDeg);

    // The grid to draw, projected once for the wires and the underlay (after the viewport,
    // projection and view are set).
    void setGrid(const VertexGrid& grid);
    // Every cell's four edges, front and back alike.
    void drawWires();
    // Every cell filled in one index, its depth pushed back by factor x slope + units steps.
    void fillCells(std::uint8_t index, double offsetFactor, double offsetUnits);

    // Where a vertex lands: bitmap x, y and depth 0 (near) .. 1 (far).
    struct Projected {
        double x, y, depth;
    };
    Projected project(const Vertex3& v) const;

    const std::vector<float>& depth() const { return depth_; }

  private:
    void line(const Projected& a, const Projected& b, double ia, double ib);
    void triangle(const Projected& a, const Projected& b, const Projected& c, std::uint8_t index,
                  double offsetFactor, double offsetUnits);
    bool inViewport(int x, int y) const {
        return x >= active_.left && x < active_.right && y >= active_.top && y < active_.bottom;
    }

    IndexedBitmap* target_ = nullptr;
    std::vector<float> depth_;
    BeamRect viewport_;
    BeamRect active_;  // the viewport within the bitmap
    OrthoVolume volume_;
    double m_[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const VertexGrid* grid_ = nullptr;
    std::vector<Projected> projected_;
};

}  // namespace kestrom
