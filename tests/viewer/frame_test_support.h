// Test helpers of the frame files: a throwaway folder, frame blocks with known pixels, headers and
// a full disk.
#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "settings_fixture.h"
#include "viewer/core/frame_record.h"

namespace kestrom::test {

// A frame block whose pixel i is seed + i (wrapping at 16 bits) and whose trailer bytes count up
// from seed, so every byte tells where it came from.
inline FrameBlockBytes patternBlock(int seed) {
    FrameBlockBytes block{};
    for (std::size_t i = 0; i < frame_block::kPixelCount; ++i) {
        auto value =
            static_cast<std::int16_t>(static_cast<std::uint16_t>(seed + static_cast<int>(i)));
        std::memcpy(block.data() + 2 * i, &value, 2);
    }
    for (std::size_t i = 2 * frame_block::kPixelCount; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(seed + static_cast<int>(i));
    return block;
}

// A live frame's header with results that differ from field to field.
inline VasprelHeader liveHeader(double results) {
    VasprelHeader h{};
    std::memcpy(h.Version, "h2.90", 6);
    h.Height = h.Width = 124;
    h.PixelBits = 14;
    h.PixelHScale = h.PixelVScale = 85;
    h.Flags = vasprel::kValidData;
    h.FrameTotal = results;
    h.Peak = results / 2;
    h.Centroidx = 61.25;
    h.PeakLocx = 7;
    h.AC = 3;
    return h;
}

inline std::int16_t pixelOf(const std::string& record, std::size_t index) {
    std::int16_t v;
    std::memcpy(&v, record.data() + frame_record::kBlockOffset + 2 * index, 2);
    return v;
}

inline VasprelHeader headerOf(const std::string& record) {
    VasprelHeader h{};
    std::memcpy(&h, record.data() + frame_record::kHeaderOffset, sizeof h);
    return h;
}

// For its lifetime files may grow to limit bytes; a write past it fails with EFBIG instead of
// ending the process, as on a disk that has filled up.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t limit) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGXFSZ, &ignore, &previousAction_);
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit small = saved_;
        small.rlim_cur = limit;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        ::sigaction(SIGXFSZ, &previousAction_, nullptr);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit saved_{};
    struct sigaction previousAction_ {};
};

}  // namespace kestrom::test
