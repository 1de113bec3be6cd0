// What the view window's camera says of its frames.
#include "viewer/core/camera_description.h"

namespace kestrom {

CameraDescription cameraDescription(const FactoryInfo& factory) {
    CameraDescription d;
    d.PixelHScale = static_cast<std::int16_t>(factory.word(FactoryInfo::kPixelXScale));
    d.PixelVScale = static_cast<std::int16_t>(factory.word(FactoryInfo::kPixelYScale));
    return d;
}

void describeLiveFrame(VasprelHeader& header, const CameraDescription& camera) {
    header.Flags = camera.Flags;
    header.Height = camera.Height;
    header.Width = camera.Width;
    header.PixelBits = camera.PixelBits;
    header.CaptureResolution = camera.CaptureResolution;
    header.PixelHScale = camera.PixelHScale;
    header.PixelVScale = camera.PixelVScale;
}

}  // namespace kestrom
