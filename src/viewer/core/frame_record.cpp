// Writing and reading frame records.
#include "viewer/core/frame_record.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/regular_file.h"
#include "viewer/core/frame_file_replace.h"
#include "viewer/core/frame_header_ini.h"
#include "viewer/core/frame_header_text.h"

namespace kestrom {

std::string composeFrameRecord(std::string_view headerText, const VasprelHeader& header,
                               const std::uint8_t* frameBlock) {
    std::string record(frame_record::kSize, '\0');
    std::memcpy(record.data(), headerText.data(),
                std::min(headerText.size(), frame_record::kHeaderOffset));
    std::memcpy(record.data() + frame_record::kHeaderOffset, &header, vasprel::kHeaderSize);
    std::memcpy(record.data() + frame_record::kBlockOffset, frameBlock, frame_block::kSize);
    return record;
}

FrameRecordBytes frameRecordFor(const std::string& path, const VasprelHeader& header,
                                const std::uint8_t* frameBlock) {
    const std::string intermediate = folderOf(path) + kFrameHeaderFileName;
    // What cannot be read as the earlier intermediate file is no INI text of ours: start afresh.
    CappedFileRead earlier = readFileCapped(intermediate, frame_record::kHeaderOffset);
    std::string text = mergedFrameHeaderText(
        earlier.outcome == CappedFileRead::Outcome::Read ? std::string_view(earlier.data)
                                                         : std::string_view(),
        frameHeaderValues(header), frame_record::kHeaderOffset);
    if (auto failed = rewriteFile(intermediate, text)) return {{}, describe(*failed, intermediate)};
    return {composeFrameRecord(text, header, frameBlock), std::nullopt};
}

std::optional<std::string> writeFrameRecord(const std::string& path, const VasprelHeader& header,
                                            const std::uint8_t* frameBlock) {
    FrameRecordBytes record = frameRecordFor(path, header, frameBlock);
    if (record.error) return record.error;
    if (auto failed = replaceFileWhole(path, {record.bytes})) return describe(*failed, path);
    return std::nullopt;
}

void removeFrameHeaderFile(const std::string& folder) {
    ::unlink((folder + kFrameHeaderFileName).c_str());
}

FrameRecordParse parseFrameRecord(const std::uint8_t* data, std::size_t size) {
    FrameRecordParse parse;
    using Outcome = FrameRecordParse::Outcome;
    if (size == 0) return parse;
    if (size < frame_record::kSize) {
        parse.outcome = Outcome::Short;
        return parse;
    }
    if (size > frame_record::kSize) {
        parse.outcome = Outcome::Long;
        return parse;
    }
    std::memcpy(&parse.header, data + frame_record::kHeaderOffset, vasprel::kHeaderSize);
    if (parse.header.Height != frame_block::kHeight || parse.header.Width != frame_block::kWidth) {
        parse.outcome = Outcome::WrongFrameSize;
        return parse;
    }
    std::memcpy(parse.block.data(), data + frame_record::kBlockOffset, frame_block::kSize);
    parse.outcome = Outcome::Record;
    return parse;
}

std::optional<std::string> frameFileOpenError(const CappedFileRead& file, const std::string& quotedPath) {
    if (file.outcome == CappedFileRead::Outcome::Absent) return "Cannot open file " + quotedPath + ". " + std::strerror(ENOENT);
    if (file.outcome == CappedFileRead::Outcome::Failed) return "Cannot open file " + quotedPath + ". " + file.reason;
    return std::nullopt;
}

FrameRecordRead readFrameRecord(const std::string& path) {
    FrameRecordRead read;
    const std::string quoted = "\"" + path + "\"";
    const std::string tooLong = quoted +
                                " is not a frame file: it is longer than a frame record (" +
                                std::to_string(frame_record::kSize) + " bytes)";
    CappedFileRead file = readFileCapped(path, frame_record::kSize);
    if ((read.error = frameFileOpenError(file, quoted))) return read;
    if (file.outcome == CappedFileRead::Outcome::TooLarge) {
        read.error = tooLong;
        return read;
    }
    FrameRecordParse parse =
        parseFrameRecord(reinterpret_cast<const std::uint8_t*>(file.data.data()), file.data.size());
    switch (parse.outcome) {
        case FrameRecordParse::Outcome::Record:
            read.header = parse.header;
            read.block = parse.block;
            return read;
        case FrameRecordParse::Outcome::Empty:
            read.error = quoted + " is not a frame file: it is empty";
            return read;
        case FrameRecordParse::Outcome::Short:
            read.error = quoted + " is not a frame file: it holds " +
                         std::to_string(file.data.size()) + " bytes, a frame record " +
                         std::to_string(frame_record::kSize);
            return read;
        case FrameRecordParse::Outcome::Long:  // grew while it was read
            read.error = tooLong;
            return read;
        case FrameRecordParse::Outcome::WrongFrameSize:
            read.error = quoted + " is not a frame file: its header gives " +
                         std::to_string(parse.header.Height) + " rows and " +
                         std::to_string(parse.header.Width) + " columns, not 124 x 124";
            return read;
    }
    return read;
}

}  // namespace kestrom
