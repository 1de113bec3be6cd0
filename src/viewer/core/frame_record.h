// The frame record (".RAW"): header text, zero fill, the raw header and the whole frame block.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "camera_records/console_block.h"
#include "platform/regular_file.h"
#include "viewer/core/vasprel_header.h"

namespace kestrom {

namespace frame_record {
inline constexpr std::size_t kHeaderOffset = 16384;  // the text and its zero fill come before
inline constexpr std::size_t kBlockOffset = kHeaderOffset + vasprel::kHeaderSize;  // 16704
inline constexpr std::size_t kSize = kBlockOffset + frame_block::kSize;            // 48448
}  // namespace frame_record

using FrameBlockBytes = std::array<std::uint8_t, frame_block::kSize>;

// The record's bytes: the header text at 0 (it must fit before the raw header), zeros up to
// 16,384, the 320 header bytes, then the 31,744 bytes of the frame block.
std::string composeFrameRecord(std::string_view headerText, const VasprelHeader& header,
                               const std::uint8_t* frameBlock);

// The bytes of the record for path, once its header text is in the intermediate file "FrameHeader"
// of path's folder (read first, its keys replaced, left in place); or the message naming that file
// when it cannot be written.
struct FrameRecordBytes {
    std::string bytes;
    std::optional<std::string> error;
};
FrameRecordBytes frameRecordFor(const std::string& path, const VasprelHeader& header,
                                const std::uint8_t* frameBlock);

// Writes a frame record to path, the header text also into the intermediate file "FrameHeader" in
// path's folder (read first, its keys replaced, left in place). Empty on success, otherwise the
// message naming the file that could not be created or written; a record that fails is not left
// under the name, and a file the name held before stays as it was.
std::optional<std::string> writeFrameRecord(const std::string& path, const VasprelHeader& header,
                                            const std::uint8_t* frameBlock);

// A record taken apart. The header text is not read and the version is not tested; a record is
// refused when its size is not a record's or its header does not describe the record's
// 124 x 124 frame, since the frame it would be loaded into is that size.
struct FrameRecordParse {
    enum class Outcome { Record, Empty, Short, Long, WrongFrameSize } outcome = Outcome::Empty;
    VasprelHeader header{};
    FrameBlockBytes block{};
};
FrameRecordParse parseFrameRecord(const std::uint8_t* data, std::size_t size);

// Deletes the intermediate file "FrameHeader" of a folder (ending with "/"), if there is one.
void removeFrameHeaderFile(const std::string& folder);

// Reads path through the regular-file reader (a FIFO or folder is refused at once).
struct FrameRecordRead {
    std::optional<std::string> error;  // the message naming the file and what is wrong with it
    VasprelHeader header{};
    FrameBlockBytes block{};
};
FrameRecordRead readFrameRecord(const std::string& path);

// The viewer's words for a frame file that could not be opened ("Cannot open file "<file>". No
// such file or directory"); nothing when it was read or was too large.
std::optional<std::string> frameFileOpenError(const CappedFileRead& file, const std::string& quotedPath);

}  // namespace kestrom
