// Reading and writing palette files, with a sentence for every file that is not one.
#include "viewer/core/palette_file.h"

#include <cstdio>

#include "platform/regular_file.h"

namespace kestrom {
namespace {

std::uint16_t readLE16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

void appendLE16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

}  // namespace

PaletteFileRead decodePaletteFile(std::string_view bytes) {
    PaletteFileRead r;
    if (bytes.size() != kPaletteFileBytes) {
        r.error = "Not a palette file: it holds " + std::to_string(bytes.size()) +
                  " bytes, a palette file holds 1032.\n";
        return r;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    LogPalette palette;
    palette.version = readLE16(p);
    palette.entryCount = readLE16(p + 2);
    if (palette.version != kPaletteVersion || palette.entryCount != kPaletteSize) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "Not a palette file: its header gives version 0x%X and entry count %u, "
                      "a palette file has version 0x300 and entry count 256.\n",
                      unsigned{palette.version}, unsigned{palette.entryCount});
        r.error = text;
        return r;
    }
    for (std::size_t i = 0; i < palette.entries.size(); ++i) {
        const unsigned char* e = p + 4 + 4 * i;
        palette.entries[i] = {e[0], e[1], e[2], e[3]};
    }
    for (std::size_t i = 0; i < palette.further.size(); ++i) palette.further[i] = p[1028 + i];
    r.palette = palette;
    return r;
}

std::string encodePaletteFile(const LogPalette& palette) {
    std::string out;
    out.reserve(kPaletteFileBytes);
    appendLE16(out, palette.version);
    appendLE16(out, palette.entryCount);
    for (const PaletteEntry& e : palette.entries) {
        for (std::uint8_t b : {e.red, e.green, e.blue, e.flags}) out.push_back(static_cast<char>(b));
    }
    for (std::uint8_t b : palette.further) out.push_back(static_cast<char>(b));
    return out;
}

PaletteFileRead readPaletteFile(const std::string& path) {
    CappedFileRead file = readFileCapped(path, kPaletteFileBytes);
    switch (file.outcome) {
        case CappedFileRead::Outcome::Read: return decodePaletteFile(file.data);
        case CappedFileRead::Outcome::TooLarge:
            return {std::nullopt, "Not a palette file: it holds more than 1032 bytes.\n"};
        case CappedFileRead::Outcome::Absent:
        case CappedFileRead::Outcome::Failed: break;
    }
    return {std::nullopt, kCannotOpenInputFile};
}

RegistryWriteError writePaletteFile(const std::string& path, const LogPalette& palette) {
    return replaceFileAtomically(path, encodePaletteFile(palette));
}

}  // namespace kestrom
