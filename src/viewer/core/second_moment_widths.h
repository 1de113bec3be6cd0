// Beam widths by the second-moment method: the ground level from the frame's corners, then the
// centroid and the second moments inside an integration window of three times the widths, turned
// with the beam's principal axes and iterated until it stands still.
#pragma once

#include <cstdint>

namespace kestrom {

// Positions are pixel coordinates: column x to the right, row y downward, a pixel's centre at
// its integer position. Angles go from +x toward +y, which on the screen is clockwise.
struct SecondMomentWidths {
    double background = 0;           // the corners' mean, subtracted (negative values kept)
    double backgroundDeviation = 0;  // the corners' standard deviation
    double centroidX = 0;
    double centroidY = 0;
    double sigmaXX = 0;  // sigma_x², sigma_y², sigma_xy² in pixels²
    double sigmaYY = 0;
    double sigmaXY = 0;
    // d_sigma_x and d_sigma_y: the widths along the principal axis nearer x and the one nearer y.
    double widthX = 0;
    double widthY = 0;
    double major = 0;
    double minor = 0;
    double azimuthRadians = 0;  // of the major axis, in (-pi/2, pi/2]; 0 for a round beam
    double ellipticity = 0;     // minor / major; 0 when there is no width
    // sqrt((d_x² + d_y²) / 2) for a round beam; 0 for an elliptical one.
    double effectiveDiameter = 0;
    bool round = false;   // ellipticity above kRoundEllipticity
    int passes = 0;       // windowed passes taken
    bool converged = false;
    // The windows lost the beam from every start (each held less than half of the frame's
    // energy above the ground, or none): no widths, rather than those of a window off the beam.
    bool degenerate = false;

    double azimuthDegrees() const;
};

inline constexpr double kRoundEllipticity = 0.87;
inline constexpr double kWindowWidths = 3.0;
inline constexpr double kConvergence = 0.001;  // of the smaller width
inline constexpr int kMaxPasses = 25;
// Half the least extent of a window along either axis: three pixels across.
inline constexpr double kLeastHalfWindow = 1.5;

// The corners' squares: each side an eighth of the frame's shorter side, at least one pixel.
int cornerSide(int width, int height);

// The ground the corners' squares give: their mean, how many pixels it comes from, and their
// standard deviation.
struct CornerGround {
    double level;
    int pixels;
    double deviation;
};
CornerGround cornerGround(const std::int16_t* pixels, int width, int height);

// The 1/e² diameters of the principal axes of second moments sigma_x², sigma_y², sigma_xy², and
// the turn of the major axis in (-pi/2, pi/2].
struct PrincipalAxes {
    double major, minor, angle;
};
PrincipalAxes principalAxes(double sigmaXX, double sigmaYY, double sigmaXY);

// Zero results for no pixels, a frame with nothing above its ground, a single lit pixel (whose
// widths are zero), or windows that lost the beam from every start (degenerate); never a NaN.
SecondMomentWidths secondMomentWidths(const std::int16_t* pixels, int width, int height);

// The integration window in pixel rows: the columns first..last of each row y whose centres lie
// in the rectangle of half-extents halfU along the direction angle and halfV across it.
struct TurnedRectangle {
    double centreX, centreY;
    double halfU, halfV;
    double angle;
};
struct ColumnSpan {
    int first;
    int last;  // below first: no pixel
};
ColumnSpan rectangleSpan(const TurnedRectangle& window, int row, int width);

// The same for row after row of one window, its turn taken once.
class RectangleRows {
  public:
    RectangleRows(const TurnedRectangle& window, int width);
    ColumnSpan span(int row) const;

  private:
    TurnedRectangle w_;
    double c_, s_;
    double cInverse_, sInverse_;  // 0: no turn that way
    int width_;
};

}  // namespace kestrom
