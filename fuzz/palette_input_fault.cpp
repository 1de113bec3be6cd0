// Rules of the palette readers: a palette file is accepted exactly when it is one and then written
// back byte for byte; text lines change only the entries they name, and junk is named briefly.
#include "fuzz/palette_input_fault.h"

#include <string_view>
#include <vector>

#include "platform/dialog_service.h"
#include "viewer/core/palette_file.h"
#include "viewer/core/palette_items.h"
#include "viewer/core/palette_map.h"

namespace kestrom::fuzz {
namespace {

bool isPaletteFile(std::string_view b) {
    return b.size() == kPaletteFileBytes && b.substr(0, 4) == std::string_view("\x00\x03\x00\x01", 4);
}

std::string fileFault(std::string_view bytes) {
    PaletteFileRead read = decodePaletteFile(bytes);
    if (read.palette.has_value() != isPaletteFile(bytes)) return "accepted or refused wrongly";
    if (!read.palette) return read.error.empty() ? "refused without a message" : "";
    if (encodePaletteFile(*read.palette) != bytes) return "not written back byte for byte";

    // Its text lines, read back, give the same colours.
    LogPalette fromText{};
    if (!applyItems(itemsFromPalette(*read.palette), fromText).empty()) return "own lines are junk";
    for (std::size_t i = 0; i < fromText.entries.size(); ++i) {
        PaletteEntry want = read.palette->entries[i];
        want.flags = kNoCollapse;
        if (fromText.entries[i] != want) return "text lines change entry " + std::to_string(i);
    }
    return "";
}

std::vector<std::string> lines(std::string_view text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\n') {
            out.emplace_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return out;
}

std::string itemsFault(std::string_view text) {
    std::vector<std::string> items = lines(text);
    LogPalette before;
    for (std::size_t i = 0; i < before.entries.size(); ++i)
        before.entries[i] = {static_cast<std::uint8_t>(i), 1, 2, 3};   // flags 3: never written
    LogPalette after = before;
    std::vector<std::size_t> junk = applyItems(items, after);
    for (std::size_t k = 0; k < junk.size(); ++k) {
        if (junk[k] >= items.size() || (k > 0 && junk[k] <= junk[k - 1])) return "junk positions";
        if (readItemsLine(items[junk[k]])) return "a readable line counted as junk";
    }
    for (std::size_t i = 0; i < after.entries.size(); ++i)
        if (after.entries[i] != before.entries[i] && after.entries[i].flags != kNoCollapse)
            return "entry " + std::to_string(i) + " changed without flags 4";

    ScriptedDialogs dialogs;
    TPaletteMap map(dialogs);
    map.setItems(items);
    map.GetAPalette();
    if (dialogs.boxes.size() != (junk.empty() ? 0u : 1u)) return "junk named " + std::to_string(dialogs.boxes.size()) + " times";
    if (!junk.empty() && dialogs.boxes[0].text.size() > 600) return "junk message too long";
    return "";
}

}  // namespace

std::string paletteInputFault(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string fault = fileFault(bytes);
    if (!fault.empty()) return "palette file: " + fault;
    fault = itemsFault(bytes);
    return fault.empty() ? "" : "text lines: " + fault;
}

}  // namespace kestrom::fuzz
