// A frame record loaded as the viewer's "&Load data" loads it, with the results the view window
// computes for the frame it shows.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "viewer/core/results.h"

namespace kestrom {

struct ComputedFrame {
    std::optional<std::string> error;  // the reader's message naming the file, or the memory's
    std::unique_ptr<TResults::Frame> frame;  // 124 x 124; its header holds the results
};

// The header as the record holds it, the pixels of its frame block, then `results` computed over
// them: the whole frame first, then the automatic aperture.
ComputedFrame loadComputedFrame(const std::string& path, TResults& results);

}  // namespace kestrom
