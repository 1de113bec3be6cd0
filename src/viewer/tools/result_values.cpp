// Naming the results as the frame header text names them.
#include "result_values.h"

#include <cstddef>

#include "viewer/core/frame_header_text.h"

namespace kestrom {

std::vector<std::pair<std::string, std::string>> resultValues(const VasprelHeader& header) {
    auto values = frameHeaderValues(header, offsetof(VasprelHeader, FrameTotal),
                                    offsetof(VasprelHeader, FlagPass));
    values.emplace_back("BloomTop", doubleText(header.BloomTop));
    values.emplace_back("BloomBottom", doubleText(header.BloomBottom));
    auto aperture = frameHeaderValues(header, offsetof(VasprelHeader, CenterXLoc),
                                      offsetof(VasprelHeader, Flags));
    values.insert(values.end(), aperture.begin(), aperture.end());
    return values;
}

}  // namespace kestrom
