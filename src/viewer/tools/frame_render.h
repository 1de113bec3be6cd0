// A frame drawn through the surface, as the viewer would show it, into an image.
#pragma once

#include <QImage>
#include <QSize>

#include <cstdint>
#include <optional>
#include <string>

#include "viewer/core/beam.h"
#include "viewer/core/vasprel_frame.h"

namespace kestrom {

struct FrameRenderOptions {
    QSize size{500, 500};
    enum class Colours { Colour, Grey, Printer } colours = Colours::Colour;
    int displayScale = 0;        // 0..5: 1X..32X
    std::int32_t scaleBase = 0;  // counts
    int zoom = 0;                // 0..2
    std::optional<PixPoint> cursor;  // the frame's middle otherwise
    bool crosshair = true;
    bool aperture = true;
    bool cursorLines = true;
    bool results = true;
    bool colorBar = true;
};

// Draws the frame with the results its header holds. Needs a QApplication.
QImage renderFrame(TVasprelFrame<std::int16_t>& frame, const FrameRenderOptions& options);

// Reads the options of "render" from their text ("--scale 4X", "--cursor 10,20", "--hide
// crosshair,results", ...); the message for an option that is not one, none when all is well.
std::optional<std::string> parseRenderOption(const std::string& name, const std::string& value,
                                             FrameRenderOptions& options);

}  // namespace kestrom
