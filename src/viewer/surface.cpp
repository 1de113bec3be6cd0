#include "viewer/surface.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <cmath>

#include "viewer/core/beam_3d.h"
#include "viewer/core/color_bar.h"
#include "viewer/core/legible_text.h"
#include "viewer/core/palette_choice.h"
#include "viewer/qt_beam_canvas.h"

namespace kestrom {
namespace {

QFont textFont(const QWidget& widget) {
    QFont font = widget.font();
    font.setPointSize(10);
    return font;
}

// Text over the image, on a box of black or white, whichever it stands out from: the image's
// colours, the screen's black and the paper's white can all lie under it. The box is one text
// line high, so that the lines of a column meet without covering each other.
void drawBackedText(QPainter& painter, QPoint baseline, int width, const QString& text,
                    ColorRef colour, int pad) {
    const QFontMetrics metrics = painter.fontMetrics();
    painter.fillRect(QRect(baseline.x() - pad, baseline.y() - metrics.ascent(), width + 2 * pad,
                           metrics.height()),
                     qColorOf(backingFor(colour)));
    painter.setPen(qColorOf(colour));
    painter.drawText(baseline, text);
}

}  // namespace

std::string energyUnitsText(TEnergyUnits units) {
    switch (units) {
        case TEnergyUnits::Watts:
            return " W";
        case TEnergyUnits::Milliwatts:
            return " mW";
        case TEnergyUnits::Joules:
            return " J";
        case TEnergyUnits::Millijoules:
            return " mJ";
    }
    return " W";
}

TSurface::TSurface(QWidget* parent)
    : QWidget(parent), view2D_(std::make_unique<TBeam2D>()), view3D_(std::make_unique<TBeam3D>()) {
    view_ = view2D_.get();
    // The units the calibration starts in; every units text begins with its space.
    unitsText_ = energyUnitsText(energyUnits_);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    CreateBitmap();
}

TSurface::~TSurface() {
    if (palette_) pal_.ReturnPalette(palette_);
}

void TSurface::SetFrameArray(Frame* const* frames) {
    plot_.SetFrameArray(frames);
    view_->SetFrame(nullptr);
}

void TSurface::SetCurrentFrame(int index) {
    currentIndex_ = index;
    Frame* frame = plot_.frameAt(index);
    if (frame && !(frame->GetHeader()->Flags & vasprel::kValidData)) frame = nullptr;
    plot_.SetCurrentFrame(frame);
    view_->SetClientSize(width(), height());
    view_->SetFrame(frame);
    view_->SetZoom(view_->state().zoom);
    if (view_->frame()) {
        placeScrollBars();
        syncScrollBars();
    } else {
        image_.fill(qColorOf(colours_.background));
    }
    PaintSurface();
}

void TSurface::CreateBitmap() {
    std::optional<int> kind = surfacePaletteKind(printerPalette_, threeD_, showColor_, colour_);
    // Before any palette was chosen, a choice without one of its own starts from the colour flag.
    if (!kind && !palette_) kind = surfacePaletteKind(printerPalette_, threeD_, 0, colour_);
    if (kind) {
        PaletteHandle chosen = pal_.GetPalette(*kind);
        if (chosen) {
            if (palette_) pal_.ReturnPalette(palette_);
            palette_ = std::move(chosen);
        }
    }
    if (palette_) colours_ = surfaceColours(*palette_, threeD_, printerPalette_);
    view_->SetColours(colours_);
    image_ = QImage(std::max(width(), 1), std::max(height(), 1), QImage::Format_RGB32);
    view_->SetClientSize(width(), height());
    view_->SetPalette(palette_);
    image_.fill(qColorOf(colours_.background));
}

void TSurface::PaintSurface() {
    // A size set while the surface was hidden reaches it without a resize event.
    if (image_.size() != QSize(std::max(width(), 1), std::max(height(), 1))) {
        CreateBitmap();
        view_->Resize();
        placeScrollBars();
    }
    composeInto(image_, {});
    update();
    Q_EMIT repainted();
}

void TSurface::composeInto(QImage& image, const PictureOptions& options) {
    if (options.dotsPerInch > 0) {
        const int dotsPerMetre = static_cast<int>(std::lround(options.dotsPerInch / 0.0254));
        image.setDotsPerMeterX(dotsPerMetre);
        image.setDotsPerMeterY(dotsPerMetre);
    }
    // Lines as wide on paper as a screen pixel on the screen.
    const int scale = options.dotsPerInch > 0
                          ? std::max(1, static_cast<int>(std::lround(options.dotsPerInch / 96.0)))
                          : 1;
    QPainter painter(&image);
    QtBeamCanvas canvas(image, painter, scale);
    view_->SetCanvas(&canvas);
    const QColor background = qColorOf(colours_.background);
    const BeamRect& d = view_->state().display;
    if (view_->state().showImage && view_->frame()) {
        painter.fillRect(QRect(0, 0, d.left, image.height()), background);
        painter.fillRect(QRect(0, d.bottom, image.width(), image.height() - d.bottom), background);
    } else {
        painter.fillRect(image.rect(), background);
    }
    view_->Paint();
    if (options.resultsText) displayBeamResults(painter, 3 * scale);
    displayColorBar(painter, 3 * scale);
    if (onPaint_) onPaint_(painter);
    view_->SetCanvas(nullptr);
}

QImage TSurface::renderAt(QSize size, const PictureOptions& options) {
    QImage image(std::max(size.width(), 1), std::max(size.height(), 1), QImage::Format_RGB32);
    view_->SetClientSize(image.width(), image.height());
    view_->Resize();
    composeInto(image, options);
    view_->SetClientSize(width(), height());
    view_->Resize();
    return image;
}

BeamResultsTextSettings TSurface::resultsTextSettings() const {
    BeamResultsTextSettings s;
    s.which = showWhich_;
    s.apertureShown = view_->state().showAperture;
    s.calibrated = showCalibrated_;
    s.energyPerCount = energyPerCount_;
    s.energyDensityFactor = energyDensityFactor_;
    s.unitsText = unitsText_;
    return s;
}

void TSurface::displayBeamResults(QPainter& painter, int pad) {
    const Frame* frame = view_->frame();
    if (!showResults_ || !frame) return;
    painter.setFont(textFont(*this));
    // The metrics of the picture drawn on: the screen's, or a printout's resolution.
    const QFontMetrics metrics = painter.fontMetrics();
    const int valueX = metrics.horizontalAdvance(QStringLiteral("XXXXXXXXXX"));
    int y = 0;
    for (const BeamResultsLine& line : beamResultsLines(*frame->GetHeader(), resultsTextSettings())) {
        const QString label = QString::fromStdString(line.label);
        const QString value = QString::fromStdString(line.value);
        const QPoint baseline(2, y + metrics.ascent());
        // One box under label and value, so that the line reads as one.
        drawBackedText(painter, baseline, valueX - 2 + metrics.horizontalAdvance(value), label,
                       colours_.text, pad);
        painter.drawText(QPoint(valueX, baseline.y()), value);
        y += metrics.height();
    }
}

void TSurface::displayColorBar(QPainter& painter, int pad) {
    const Frame* frame = view_->frame();
    if (!colorBar_ || !frame || !palette_) return;
    const VasprelHeader& h = *frame->GetHeader();
    painter.setFont(textFont(*this));
    const QFontMetrics metrics = painter.fontMetrics();
    // The image painted on: the screen's, or one of another size for printing.
    const int x = painter.device()->width() -
                  metrics.horizontalAdvance(QString(colorBarCharacters(h.PixelBits), 'X'));
    int y = 0;
    const BeamViewState& s = view_->state();
    for (const ColorBarNumber& n : colorBarNumbers(s.displayScale, s.scaleBase, h.PixelBits, h.AC)) {
        const QString text = QString::number(n.counts);
        // Each number keeps the colour its value shows in, on the box it stands out from.
        drawBackedText(painter, QPoint(x, y + metrics.ascent()), metrics.horizontalAdvance(text),
                       text, palette_->color(n.paletteIndex), pad);
        y += metrics.height();
    }
}

void TSurface::SetShow(int item, bool on) {
    switch (item) {
        case kShowImage:
            view_->SetShowImage(on);
            break;
        case kShowCrosshair:
            view_->SetShowCrosshair(on);
            break;
        case kShowResults:
            showResults_ = on;
            break;
        case kShowCalibrated:
            showCalibrated_ = on && calibratedEnergy_ != 0;
            break;
        case kShowAperture:
            view_->SetShowAperture(on);
            break;
        case kShowCursor:
            view_->SetShowCursor(on);
            break;
        case kShowColour:
            colour_ = on;
            showColor_ = 0;
            CreateBitmap();
            break;
        case kShowColorBar:
            colorBar_ = on;
            break;
        default:
            return;
    }
    PaintSurface();
}

bool TSurface::GetShow(int item) const {
    const BeamViewState& s = view_->state();
    switch (item) {
        case kShowImage:
            return s.showImage;
        case kShowCrosshair:
            return s.showCrosshair;
        case kShowAperture:
            return s.showAperture;
        case kShowCursor:
            return s.showCursor;
        default:
            return false;
    }
}

void TSurface::SetShowWhichBeamResults(std::uint8_t bits) {
    showWhich_ = bits;
    PaintSurface();
}

void TSurface::SetShowColor(int value) {
    if (value < 1 || value > 6) return;
    showColor_ = value;
    CreateBitmap();
    PaintSurface();
}

void TSurface::SetShow3D(bool on) {
    if (on != threeD_) {
        threeD_ = on;
        TBeam* other = on ? view3D_.get() : static_cast<TBeam*>(view2D_.get());
        other->AssignFrom(*view_);
        view_ = other;
        CreateBitmap();
        syncScrollBars();
    }
    update();
    PaintSurface();
}

void TSurface::SetDisplayScale(int index) { view_->SetDisplayScale(index); }

void TSurface::SetScaleBase(std::int32_t counts) { view_->SetScaleBase(counts); }

void TSurface::SetZoomToCursor(bool on) {
    view_->SetZoomToCursor(on);
    syncScrollBars();
    PaintSurface();
}

void TSurface::SetZoom(int level) {
    view_->SetZoom(level);
    syncScrollBars();
    PaintSurface();
}

void TSurface::SetCalibratedEnergy(double energy) {
    const Frame* frame = view_->frame();
    if (!frame) return;
    const VasprelHeader& h = *frame->GetHeader();
    const double n = binning(h);
    calibrationCounts_ = n * n * h.ApertureTotal;
    calibratedEnergy_ = energy;
    const double perCount = energy / calibrationCounts_;
    const double density = perCount / (h.PixelHScale * h.PixelVScale) * 1e8;
    // A frame with no counts, or without pixel pitches, gives no energy per count: the display
    // stays in counts as with an energy of 0.
    if (energy != 0 && std::isfinite(perCount) && std::isfinite(density)) {
        energyPerCount_ = perCount;
        energyDensityFactor_ = density;
    } else {
        calibratedEnergy_ = 0;
        showCalibrated_ = false;
        energyPerCount_ = 1;
        energyDensityFactor_ = 1;
    }
    PaintSurface();
}

void TSurface::SetCalibratedEnergyUnits(TEnergyUnits units) {
    energyUnits_ = units;
    unitsText_ = energyUnitsText(units);
    PaintSurface();
}

void TSurface::SetPrinterPalette(bool on) {
    printerPalette_ = on;
    CreateBitmap();
    PaintSurface();
}

void TSurface::SetPixPointList(std::vector<PixPoint> points) {
    view_->SetPixPointList(std::move(points));
    PaintSurface();
}

void TSurface::SetShowPixPoint(bool on) {
    view_->SetShowPixPoint(on);
    PaintSurface();
}

void TSurface::SetHorzScrollBar(QScrollBar* bar) {
    if (horzBar_) horzBar_->disconnect(this);
    horzBar_ = bar;
    if (!bar) return;
    bar->setValue(0);
    connect(bar, &QScrollBar::valueChanged, this, [this](int v) { onScroll(true, v); });
    bar->hide();
}

void TSurface::SetVertScrollBar(QScrollBar* bar) {
    if (vertBar_) vertBar_->disconnect(this);
    vertBar_ = bar;
    if (!bar) return;
    bar->setValue(0);
    connect(bar, &QScrollBar::valueChanged, this, [this](int v) { onScroll(false, v); });
    bar->hide();
}

void TSurface::onScroll(bool horizontal, int position) {
    if (syncingBars_) return;
    if (horizontal)
        view_->HorzScrollBarChange(position);
    else
        view_->VertScrollBarChange(position);
    // A position the view refused is put back on the bar.
    syncScrollBars();
    if (horizontal)
        Q_EMIT horzScrollBarChanged(position);
    else
        Q_EMIT vertScrollBarChanged(position);
    PaintSurface();
}

void TSurface::syncScrollBars() {
    syncingBars_ = true;
    auto apply = [](QScrollBar* bar, const ScrollBarState& s) {
        if (!bar) return;
        bar->setRange(s.minimum, s.maximum);
        bar->setSingleStep(s.smallChange);
        bar->setPageStep(s.largeChange);
        bar->setValue(s.position);
        bar->setVisible(s.visible);
    };
    apply(horzBar_, view_->state().horzBar);
    apply(vertBar_, view_->state().vertBar);
    syncingBars_ = false;
}

void TSurface::placeScrollBars() {
    const BeamRect& d = view_->state().display;
    auto origin = [this](QScrollBar* bar) {
        QWidget* parent = bar->parentWidget();
        return parent ? parent->mapFromGlobal(mapToGlobal(QPoint(0, 0))) : pos();
    };
    if (horzBar_) {
        const QPoint o = origin(horzBar_);
        horzBar_->setGeometry(o.x() + d.left, o.y() + d.bottom + 1, d.width(),
                              horzBar_->sizeHint().height());
    }
    if (vertBar_) {
        const QPoint o = origin(vertBar_);
        vertBar_->setGeometry(o.x() + d.right + 1, o.y() + d.top, vertBar_->sizeHint().width(),
                              d.height());
    }
}

void TSurface::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
}

void TSurface::resizeEvent(QResizeEvent*) {
    CreateBitmap();
    view_->Resize();
    placeScrollBars();
    PaintSurface();
}

void TSurface::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    view_->MouseDown(p.x(), p.y());
    if (view_->dragging()) PaintSurface();
}

void TSurface::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    view_->MouseMove(p.x(), p.y());
    if (view_->dragging()) {
        syncScrollBars();
        PaintSurface();
    } else {
        setCursor(view_->pointerShape() == PointerShape::Cross ? Qt::CrossCursor : Qt::ArrowCursor);
    }
}

void TSurface::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    view_->MouseUp(p.x(), p.y());
    unsetCursor();
    if (rect().contains(p)) Q_EMIT clicked();
}

void TSurface::mouseDoubleClickEvent(QMouseEvent*) {
    if (doubleClickZoom_) DblClick();
    Q_EMIT doubleClicked();
}

void TSurface::DblClick() {
    if (!view_->frame()) return;
    view_->DblClick();
    syncScrollBars();
    PaintSurface();
}

}  // namespace kestrom
