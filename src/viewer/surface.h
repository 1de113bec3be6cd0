// TSurface: the display control for frames. It shows the current frame of its array through the
// colour lookup table, scaled into its client area, with the crosshair, the cursor and its
// profiles, the aperture ellipse, the beam results text and the colour bar. Everything is drawn
// into an off-screen image; the paint handler only copies that image to the screen.
#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "viewer/core/beam.h"
#include "viewer/core/beam_2d.h"
#include "viewer/core/beam_results_text.h"
#include "viewer/core/pal.h"
#include "viewer/core/plot.h"

class QPainter;
class QScrollBar;

namespace kestrom {

enum class TEnergyUnits { Watts, Milliwatts, Joules, Millijoules };

// How a picture of another size is drawn (printing): its resolution, at which the texts keep
// their point size and the lines their width on paper, and whether the results text is in it.
struct PictureOptions {
    double dotsPerInch = 0;  // 0: the screen's
    bool resultsText = true;
};
std::string energyUnitsText(TEnergyUnits units);

// The items of SetShow and GetShow.
enum SurfaceShowItem : int {
    kShowImage = 2,
    kShowCrosshair = 3,
    kShowResults = 5,
    kShowCalibrated = 6,
    kShowAperture = 8,
    kShowCursor = 9,
    kShowColour = 11,
    kShowColorBar = 12,
};

class TSurface : public QWidget {
    Q_OBJECT
  public:
    using Frame = TVasprelFrame<std::int16_t>;

    explicit TSurface(QWidget* parent = nullptr);
    ~TSurface() override;

    // frames: null-terminated; the beam view's frame is cleared until SetCurrentFrame.
    void SetFrameArray(Frame* const* frames);
    // Shows array[index] when its header has the valid-data flag, otherwise only the background.
    void SetCurrentFrame(int index);
    // The surface takes the bar over: position 0, hidden until a zoom shows part of the frame.
    // Its changes move the view; horzScrollBarChanged/vertScrollBarChanged follow them.
    void SetHorzScrollBar(QScrollBar* bar);
    void SetVertScrollBar(QScrollBar* bar);
    void SetShow(int item, bool on);
    bool GetShow(int item) const;
    void SetShowWhichBeamResults(std::uint8_t bits);
    std::uint8_t showWhichBeamResults() const { return showWhich_; }
    // 1..6 choose a ramp of their own; other values are ignored.
    void SetShowColor(int value);
    int showColor() const { return showColor_; }
    void SetShow3D(bool on);
    bool show3D() const { return threeD_; }
    // Neither repaints: the owner calls SetCurrentFrame afterwards.
    void SetDisplayScale(int index);
    void SetScaleBase(std::int32_t counts);
    void SetZoomToCursor(bool on);
    void SetZoom(int level);
    int zoom() const { return view_->state().zoom; }
    // The energy of the current frame's aperture total; 0 switches the calibrated display off.
    void SetCalibratedEnergy(double energy);
    void SetCalibratedEnergyUnits(TEnergyUnits units);
    TEnergyUnits calibratedEnergyUnits() const { return energyUnits_; }
    double calibratedEnergy() const { return calibratedEnergy_; }
    bool calibratedShown() const { return showCalibrated_; }
    bool resultsShown() const { return showResults_; }
    bool colourShown() const { return colour_; }
    double energyPerCount() const { return energyPerCount_; }
    double energyDensityFactor() const { return energyDensityFactor_; }
    void SetPrinterPalette(bool on);
    void SetPixPointList(std::vector<PixPoint> points);
    void SetShowPixPoint(bool on);
    BeamPoint GetFrameCursor() const { return view_->cursor(); }
    Frame* GetDisplayFrame() const { return view_->frame(); }
    void SetDoubleClickZoom(bool on) { doubleClickZoom_ = on; }
    // The zoom cycle a double-click runs (also the viewer's "&Zoom").
    void DblClick();
    // Drawn into the off-screen image after the results and the colour bar.
    void SetOnPaint(std::function<void(QPainter&)> onPaint) { onPaint_ = std::move(onPaint); }

    // Canvas, palette and off-screen image for the current size and colour choice.
    void CreateBitmap();
    // Everything into the off-screen image, then onto the screen.
    void PaintSurface();

    const QImage& offscreenImage() const { return image_; }
    const TBeam& beamView() const { return *view_; }
    PaletteHandle palette() const { return palette_; }
    // What the results text shows and in which units, as it stands now.
    BeamResultsTextSettings resultsTextSettings() const;
    // The off-screen image drawn again at another size (printing, pictures), the surface as it is
    // otherwise; the screen image is left as it was.
    QImage renderAt(QSize size, const PictureOptions& options = {});

  Q_SIGNALS:
    void horzScrollBarChanged(int position);
    void vertScrollBarChanged(int position);
    void clicked();
    void doubleClicked();
    // The off-screen image was drawn again: a new frame, a cursor or view that moved, a setting.
    void repainted();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    void composeInto(QImage& image, const PictureOptions& options);
    void displayBeamResults(QPainter& painter, int pad);
    void displayColorBar(QPainter& painter, int pad);
    void placeScrollBars();
    void syncScrollBars();
    void applyShowFlags();
    void onScroll(bool horizontal, int position);

    TPal pal_;
    TBeam* view_;
    std::unique_ptr<TBeam2D> view2D_;
    std::unique_ptr<TBeam> view3D_;
    TPlot plot_;
    QImage image_;
    PaletteHandle palette_;
    std::function<void(QPainter&)> onPaint_;
    bool printerPalette_ = false;
    bool doubleClickZoom_ = true;
    bool showResults_ = false;
    bool showCalibrated_ = false;
    bool threeD_ = false;
    bool colour_ = true;
    bool colorBar_ = false;
    double calibratedEnergy_ = 0;
    double calibrationCounts_ = 0;
    double energyPerCount_ = 1.0;
    double energyDensityFactor_ = 1.0;
    TEnergyUnits energyUnits_ = TEnergyUnits::Watts;
    std::string unitsText_ = "W";
    std::uint8_t showWhich_ = 0b0101'0011;  // bits 0, 1, 4 and 6
    int showColor_ = 0;
    QPointer<QScrollBar> horzBar_;
    QPointer<QScrollBar> vertBar_;
    bool syncingBars_ = false;
    BeamColours colours_;
    int currentIndex_ = 0;
};

}  // namespace kestrom
