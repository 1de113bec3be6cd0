#include "viewer/core/render3d.h"

#include <algorithm>
#include <cmath>

namespace kestrom {
namespace {

constexpr double kPi = 3.14159265358979323846;
// The smallest depth step of a 16-bit depth buffer, the unit of the polygon offset.
constexpr double kDepthStep = 1.0 / 65536.0;

std::uint8_t clampIndex(float index) {
    if (index <= 0) return 0;
    if (index >= 255) return 255;
    return static_cast<std::uint8_t>(index + 0.5f);
}

// floor and ceil without the library call that a baseline x86-64 build makes of them.
inline int floorInt(double v) {
    const int i = static_cast<int>(v);
    return v < i ? i - 1 : i;
}
inline int ceilInt(double v) {
    const int i = static_cast<int>(v);
    return v > i ? i + 1 : i;
}
// Beyond this a coordinate is off any bitmap; it is clamped before the conversion to int.
constexpr double kFar = 1e8;
inline double bounded(double v) { return v < -kFar ? -kFar : (v > kFar ? kFar : v); }

}  // namespace

void Renderer3D::begin(IndexedBitmap& target, std::uint8_t clearIndex) {
    target_ = &target;
    std::fill(target.pixels.begin(), target.pixels.end(), clearIndex);
    depth_.assign(target.pixels.size(), 1.0f);
}

void Renderer3D::setView(double tiltDeg, double rotationDeg) {
    const double a = (tiltDeg - 90.0) * kPi / 180.0;
    const double r = rotationDeg * kPi / 180.0;
    const double ca = std::cos(a), sa = std::sin(a), c = std::cos(r), s = std::sin(r);
    // The tilt about x applied after the rotation about z.
    const double m[3][3] = {{c, -s, 0}, {ca * s, ca * c, -sa}, {sa * s, sa * c, ca}};
    std::copy(&m[0][0], &m[0][0] + 9, &m_[0][0]);
}

Renderer3D::Projected Renderer3D::project(const Vertex3& v) const {
    const double ex = m_[0][0] * v.x + m_[0][1] * v.y + m_[0][2] * v.z;
    const double ey = m_[1][0] * v.x + m_[1][1] * v.y + m_[1][2] * v.z;
    const double ez = m_[2][0] * v.x + m_[2][1] * v.y + m_[2][2] * v.z;
    const OrthoVolume& o = volume_;
    const double nx = 2.0 * (ex - o.left) / (o.right - o.left) - 1.0;
    const double ny = 2.0 * (ey - o.bottom) / (o.top - o.bottom) - 1.0;
    // The eye looks down -z: the near plane is at -nearZ.
    const double nz = (-2.0 * ez - (o.farZ + o.nearZ)) / (o.farZ - o.nearZ);
    const BeamRect& vp = viewport_;
    return {vp.left + (nx + 1.0) * 0.5 * vp.width(), vp.top + (1.0 - ny) * 0.5 * vp.height(), (nz + 1.0) * 0.5};
}

void Renderer3D::setGrid(const VertexGrid& grid) {
    grid_ = &grid;
    if (!target_) return;
    // Nothing is drawn outside the viewport, nor outside the bitmap.
    active_ = {std::max(viewport_.left, 0), std::max(viewport_.top, 0), std::min(viewport_.right, target_->width),
               std::min(viewport_.bottom, target_->height)};
    projected_.resize(grid.vertices.size());
    for (std::size_t i = 0; i < grid.vertices.size(); ++i) projected_[i] = project(grid.vertices[i]);
}

void Renderer3D::line(const Projected& a, const Projected& b, double ia, double ib) {
    const float dx = static_cast<float>(b.x - a.x), dy = static_cast<float>(b.y - a.y);
    const float adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    const int steps = static_cast<int>(adx > ady ? adx : ady) + 1;
    const float inv = 1.0f / static_cast<float>(steps);
    // Positions in 16.16 fixed point (an arithmetic shift floors them), depth and index in float.
    constexpr float kOne = 65536.0f;
    std::int64_t x = static_cast<std::int64_t>(static_cast<float>(a.x) * kOne);
    std::int64_t y = static_cast<std::int64_t>(static_cast<float>(a.y) * kOne);
    const std::int64_t sx = static_cast<std::int64_t>(dx * inv * kOne), sy = static_cast<std::int64_t>(dy * inv * kOne);
    float z = static_cast<float>(a.depth), index = static_cast<float>(ia);
    const float sz = static_cast<float>(b.depth - a.depth) * inv, si = static_cast<float>(ib - ia) * inv;
    const std::size_t width = static_cast<std::size_t>(target_->width);
    for (int k = 0; k <= steps; ++k, x += sx, y += sy, z += sz, index += si) {
        const int px = static_cast<int>(x >> 16);
        const int py = static_cast<int>(y >> 16);
        if (!inViewport(px, py) || z < 0.0f || z > 1.0f) continue;
        const std::size_t at = static_cast<std::size_t>(py) * width + static_cast<std::size_t>(px);
        if (z >= depth_[at]) continue;
        depth_[at] = z;
        target_->pixels[at] = clampIndex(index);
    }
}

void Renderer3D::triangle(const Projected& a, const Projected& b0, const Projected& c0, std::uint8_t index,
                          double offsetFactor, double offsetUnits) {
    double area = (b0.x - a.x) * (c0.y - a.y) - (b0.y - a.y) * (c0.x - a.x);
    if (area < 1e-12 && area > -1e-12) return;
    // Turned to one winding, so that every edge function is positive inside.
    const bool turned = area < 0;
    const Projected& b = turned ? c0 : b0;
    const Projected& c = turned ? b0 : c0;
    if (turned) area = -area;
    // The depth plane z = z0 + zx * x + zy * y, and the offset from its steepest slope.
    const double inverse = 1.0 / area;
    const double zx = ((b.depth - a.depth) * (c.y - a.y) - (c.depth - a.depth) * (b.y - a.y)) * inverse;
    const double zy = ((c.depth - a.depth) * (b.x - a.x) - (b.depth - a.depth) * (c.x - a.x)) * inverse;
    const double offset = offsetFactor * std::max(std::abs(zx), std::abs(zy)) + offsetUnits * kDepthStep;
    const double minX = a.x < b.x ? (a.x < c.x ? a.x : c.x) : (b.x < c.x ? b.x : c.x);
    const double maxX = a.x > b.x ? (a.x > c.x ? a.x : c.x) : (b.x > c.x ? b.x : c.x);
    const double minY = a.y < b.y ? (a.y < c.y ? a.y : c.y) : (b.y < c.y ? b.y : c.y);
    const double maxY = a.y > b.y ? (a.y > c.y ? a.y : c.y) : (b.y > c.y ? b.y : c.y);
    // Pixel centres from x0 + 0.5: the first and last that can be inside.
    const int x0 = std::max(active_.left, ceilInt(bounded(minX - 0.5)));
    const int x1 = std::min(active_.right - 1, floorInt(bounded(maxX - 0.5)));
    const int y0 = std::max(active_.top, ceilInt(bounded(minY - 0.5)));
    const int y1 = std::min(active_.bottom - 1, floorInt(bounded(maxY - 0.5)));
    if (x0 > x1 || y0 > y1) return;
    // Each edge's function w = ex * x + ey * y + e0 at the first pixel centre, then stepped: by ex
    // along a row, by ey from row to row (in float: a few pixels each way).
    const double px = x0 + 0.5, py = y0 + 0.5;
    auto start = [px, py](const Projected& p, const Projected& q) {
        return static_cast<float>(-(q.y - p.y) * (px - p.x) + (q.x - p.x) * (py - p.y));
    };
    float r0 = start(a, b), r1 = start(b, c), r2 = start(c, a);
    const float ex0 = static_cast<float>(-(b.y - a.y)), ey0 = static_cast<float>(b.x - a.x);
    const float ex1 = static_cast<float>(-(c.y - b.y)), ey1 = static_cast<float>(c.x - b.x);
    const float ex2 = static_cast<float>(-(a.y - c.y)), ey2 = static_cast<float>(a.x - c.x);
    float rz = static_cast<float>(a.depth + zx * (px - a.x) + zy * (py - a.y) + offset);
    const float fzx = static_cast<float>(zx), fzy = static_cast<float>(zy);
    const std::size_t width = static_cast<std::size_t>(target_->width);
    for (int y = y0; y <= y1; ++y, r0 += ey0, r1 += ey1, r2 += ey2, rz += fzy) {
        float w0 = r0, w1 = r1, w2 = r2, z = rz;
        std::size_t at = static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x0);
        for (int x = x0; x <= x1; ++x, ++at, w0 += ex0, w1 += ex1, w2 += ex2, z += fzx) {
            // Pixel centres on an edge count as inside.
            if (w0 < 0 || w1 < 0 || w2 < 0 || z < 0.0f || z > 1.0f || z >= depth_[at]) continue;
            depth_[at] = z;
            target_->pixels[at] = index;
        }
    }
}

void Renderer3D::drawWires() {
    if (!target_ || !grid_ || grid_->columns < 1 || grid_->rows < 1) return;
    const VertexGrid& grid = *grid_;
    const int c = grid.columns;
    auto at = [c](int i, int j) { return static_cast<std::size_t>(i * c + j); };
    // Each edge once: a second pass over a shared edge would fail the depth test anyway.
    for (int i = 0; i < grid.rows; ++i)
        for (int j = 0; j < grid.columns; ++j) {
            if (j + 1 < grid.columns)
                line(projected_[at(i, j)], projected_[at(i, j + 1)], grid.colours[at(i, j)], grid.colours[at(i, j + 1)]);
            if (i + 1 < grid.rows)
                line(projected_[at(i, j)], projected_[at(i + 1, j)], grid.colours[at(i, j)], grid.colours[at(i + 1, j)]);
        }
}

void Renderer3D::fillCells(std::uint8_t index, double offsetFactor, double offsetUnits) {
    if (!target_ || !grid_ || grid_->columns < 2 || grid_->rows < 2) return;
    const VertexGrid& grid = *grid_;
    const int c = grid.columns;
    auto at = [c](int i, int j) { return static_cast<std::size_t>(i * c + j); };
    for (int i = 0; i + 1 < grid.rows; ++i)
        for (int j = 0; j + 1 < grid.columns; ++j) {
            const Projected& v0 = projected_[at(i, j)];
            const Projected& v1 = projected_[at(i, j + 1)];
            const Projected& v2 = projected_[at(i + 1, j + 1)];
            const Projected& v3 = projected_[at(i + 1, j)];
            // A quadrilateral is drawn as its two triangles.
            triangle(v0, v1, v2, index, offsetFactor, offsetUnits);
            triangle(v0, v2, v3, index, offsetFactor, offsetUnits);
        }
}

}  // namespace kestrom
