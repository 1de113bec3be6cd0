#include "viewer/tools/frame_render.h"

#include <QCoreApplication>
#include <QMouseEvent>

#include <sstream>

#include "viewer/surface.h"

namespace kestrom {
namespace {

std::optional<int> number(const std::string& text) {
    std::istringstream in(text);
    int value;
    if (!(in >> value) || !in.eof()) return std::nullopt;
    return value;
}

}  // namespace

QImage renderFrame(TVasprelFrame<std::int16_t>& frame, const FrameRenderOptions& options) {
    TVasprelFrame<std::int16_t>* frames[] = {&frame, nullptr};
    TSurface surface;
    surface.resize(options.size);
    surface.SetFrameArray(frames);
    surface.SetZoomToCursor(true);
    if (options.colours == FrameRenderOptions::Colours::Grey) surface.SetShow(kShowColour, false);
    if (options.colours == FrameRenderOptions::Colours::Printer) surface.SetPrinterPalette(true);
    surface.SetShow(kShowImage, true);
    surface.SetShow(kShowCrosshair, options.crosshair);
    surface.SetShow(kShowAperture, options.aperture);
    surface.SetShow(kShowCursor, true);
    surface.SetShow(kShowResults, options.results);
    surface.SetShow(kShowColorBar, options.colorBar);
    surface.SetDisplayScale(options.displayScale);
    surface.SetScaleBase(options.scaleBase);
    surface.SetCurrentFrame(0);
    if (options.cursor) {
        // The cursor is put where it is asked for as a user would: grabbed and dragged.
        auto send = [&](QEvent::Type type, QPoint p) {
            QMouseEvent e(type, QPointF(p), QPointF(p), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
            QCoreApplication::sendEvent(&surface, &e);
        };
        const BeamPoint c = surface.GetFrameCursor();
        const BeamPoint from = surface.beamView().toClient(c.x + 0.5, c.y + 0.5);
        const BeamPoint to =
            surface.beamView().toClient(options.cursor->column + 0.5, options.cursor->row + 0.5);
        send(QEvent::MouseMove, {from.x, from.y});
        send(QEvent::MouseButtonPress, {from.x, from.y});
        send(QEvent::MouseMove, {to.x, to.y});
        send(QEvent::MouseButtonRelease, {to.x, to.y});
    }
    surface.SetZoom(options.zoom);
    surface.SetShow(kShowCursor, options.cursorLines);
    return surface.offscreenImage().copy();
}

std::optional<std::string> parseRenderOption(const std::string& name, const std::string& value,
                                             FrameRenderOptions& o) {
    if (name == "--palette") {
        if (value == "colour" || value == "color")
            o.colours = FrameRenderOptions::Colours::Colour;
        else if (value == "grey" || value == "gray")
            o.colours = FrameRenderOptions::Colours::Grey;
        else if (value == "printer")
            o.colours = FrameRenderOptions::Colours::Printer;
        else
            return "--palette takes colour, grey or printer, not \"" + value + "\"";
        return std::nullopt;
    }
    if (name == "--scale") {
        const std::string digits = !value.empty() && (value.back() == 'X' || value.back() == 'x')
                                       ? value.substr(0, value.size() - 1)
                                       : value;
        for (int s = 0; s <= 5; ++s)
            if (number(digits) == (1 << s)) {
                o.displayScale = s;
                return std::nullopt;
            }
        return "--scale takes 1X, 2X, 4X, 8X, 16X or 32X, not \"" + value + "\"";
    }
    if (name == "--base") {
        const std::optional<int> b = number(value);
        if (!b || *b < 0 || *b > 32767) return "--base takes counts 0..32767, not \"" + value + "\"";
        o.scaleBase = *b;
        return std::nullopt;
    }
    if (name == "--zoom") {
        const std::optional<int> z = number(value);
        if (!z || *z < 0 || *z > 2) return "--zoom takes 0, 1 or 2, not \"" + value + "\"";
        o.zoom = *z;
        return std::nullopt;
    }
    if (name == "--size") {
        const std::size_t x = value.find('x');
        const std::optional<int> w = number(value.substr(0, x)),
                                 h = x == std::string::npos ? std::nullopt : number(value.substr(x + 1));
        if (!w || !h || *w < 16 || *h < 16 || *w > 8192 || *h > 8192)
            return "--size takes WIDTHxHEIGHT, 16..8192 each, not \"" + value + "\"";
        o.size = {*w, *h};
        return std::nullopt;
    }
    if (name == "--cursor") {
        const std::size_t comma = value.find(',');
        const std::optional<int> c = number(value.substr(0, comma)),
                                 r = comma == std::string::npos ? std::nullopt
                                                                : number(value.substr(comma + 1));
        if (!c || !r || *c < 0 || *r < 0 || *c > 123 || *r > 123)
            return "--cursor takes COLUMN,ROW inside the 124 x 124 frame, not \"" + value + "\"";
        o.cursor = PixPoint{*c, *r};
        return std::nullopt;
    }
    if (name == "--hide") {
        std::istringstream items(value);
        std::string item;
        while (std::getline(items, item, ',')) {
            if (item == "crosshair")
                o.crosshair = false;
            else if (item == "aperture")
                o.aperture = false;
            else if (item == "cursor")
                o.cursorLines = false;
            else if (item == "results")
                o.results = false;
            else if (item == "colorbar")
                o.colorBar = false;
            else
                return "--hide takes crosshair, aperture, cursor, results and colorbar, not \"" +
                       item + "\"";
        }
        return std::nullopt;
    }
    return "unknown option " + name;
}

}  // namespace kestrom
