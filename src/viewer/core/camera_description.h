// What the view window's camera says of its frames, in the header fields that describe a frame.
// Live frames always carry it; a frame loaded from a file is shown with its file's instead.
#pragma once

#include <cstdint>

#include "camera_records/factory_info.h"
#include "viewer/core/vasprel_header.h"

namespace kestrom {

struct CameraDescription {
    std::int32_t Flags = vasprel::kValidData;
    std::int32_t Height = 124;
    std::int32_t Width = 124;
    std::int32_t PixelBits = 14;
    std::int32_t CaptureResolution = 0;
    double PixelHScale = 0;  // micrometres
    double PixelVScale = 0;
};

// The camera's pixel pitch from its factory record (16-bit words read as signed), its frames
// 124 x 124 of 14 bits, unbinned, valid to show.
CameraDescription cameraDescription(const FactoryInfo& factory);

// The header describes the camera's frames, whatever a file loaded before had put there.
void describeLiveFrame(VasprelHeader& header, const CameraDescription& camera);

}  // namespace kestrom
