// "&Load data": a frame record into the frame container's header and the view window's frame
// buffer.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "viewer/core/frame_record.h"

namespace kestrom {

// Reads the record, puts its header and frame block in place, runs the per-frame processing on
// them and gives the header back the AC it had before the load. A file that is not a whole frame
// record changes nothing and gives the message saying so.
std::optional<std::string> loadFrameData(const std::string& path, VasprelHeader& header,
                                         FrameBlockBytes& frameBuffer,
                                         const std::function<void()>& processFrame);

}  // namespace kestrom
