// The text-log-record reader's rules on arbitrary bytes.
#include "fuzz/frame_csv_fault.h"

#include <string_view>

#include "viewer/core/log_csv.h"
#include "viewer/core/log_csv_read.h"

namespace kestrom::fuzz {

std::string frameCsvFault(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string why;
    auto pixels = parseFrameCsv(text, why);
    if (!pixels) return why.empty() ? "a refusal without a reason" : "";
    if (!why.empty()) return "taken pixels with a reason: " + why;
    const std::string written = frameCsvText(reinterpret_cast<const std::uint8_t*>(pixels->data()));
    if (written.size() > kFrameCsvMaxSize) return "the written record is larger than the reader takes";
    std::string again;
    auto back = parseFrameCsv(written, again);
    if (!back || *back != *pixels) return "the written record does not read back to the same pixels";
    // Every line ending LF CR, and as long as what the viewer writes: then no value has a leading
    // zero or "-0" either, so it is the viewer's form exactly.
    auto count = [&](std::string_view what) {
        std::size_t n = 0;
        for (std::size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1)) ++n;
        return n;
    };
    const std::size_t lines = frame_block::kHeight;
    const bool viewerForm = count("\n\r") == lines && count("\n") == lines && count("\r") == lines &&
                            text.substr(text.size() - 2) == "\n\r" && written.size() == size;
    if (viewerForm && written != text) return "a record in the viewer's form does not write back byte for byte";
    return "";
}

}  // namespace kestrom::fuzz
