// Loading a saved frame into the viewer.
#include "viewer/core/frame_data_load.h"

namespace kestrom {

std::optional<std::string> loadFrameData(const std::string& path, VasprelHeader& header,
                                         FrameBlockBytes& frameBuffer,
                                         const std::function<void()>& processFrame) {
    const std::int32_t ac = header.AC;
    FrameRecordRead read = readFrameRecord(path);
    if (read.error) return read.error;
    header = read.header;
    frameBuffer = read.block;
    if (processFrame) processFrame();
    header.AC = ac;
    return std::nullopt;
}

}  // namespace kestrom
