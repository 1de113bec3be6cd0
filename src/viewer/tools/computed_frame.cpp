// Loading and computing one saved frame.
#include "computed_frame.h"

#include "camera_records/console_block.h"
#include "viewer/core/frame_data_load.h"

namespace kestrom {

ComputedFrame loadComputedFrame(const std::string& path, TResults& results) {
    ComputedFrame computed;
    auto frame = std::make_unique<TResults::Frame>(frame_block::kHeight, frame_block::kWidth);
    if (!frame->allocated()) {
        computed.error = "Not enough memory for the frame of \"" + path + "\"";
        return computed;
    }
    FrameBlockBytes buffer{};
    // The view window's idle handler, once the load has marked the frame ready.
    computed.error = loadFrameData(path, *frame->GetHeader(), buffer, [&] {
        frame->CopyPixels(reinterpret_cast<const std::int16_t*>(buffer.data()));
        results.SetFrame(frame.get());
    });
    if (!computed.error) computed.frame = std::move(frame);
    return computed;
}

}  // namespace kestrom
