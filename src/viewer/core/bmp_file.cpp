// Encoding and writing Windows bitmap files.
#include "viewer/core/bmp_file.h"

#include <cstring>
#include <limits>

#include "viewer/core/frame_file_replace.h"

namespace kestrom {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::int32_t kPixelsPerMetre = 3780;  // 96 dots per inch

void put16(std::string& out, std::size_t at, std::uint16_t v) {
    out[at] = static_cast<char>(v & 0xFF);
    out[at + 1] = static_cast<char>(v >> 8);
}

void put32(std::string& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Headers and, for an indexed image, room for the palette; empty when the image cannot be one.
std::string headers(std::int32_t width, std::int32_t height, std::uint16_t bits,
                    std::size_t paletteEntries, std::size_t& rowSize) {
    if (width <= 0 || height <= 0) return {};
    rowSize = (static_cast<std::size_t>(width) * bits / 8 + 3) / 4 * 4;
    const std::size_t offset = kFileHeaderSize + kInfoHeaderSize + 4 * paletteEntries;
    const std::size_t imageSize = rowSize * static_cast<std::size_t>(height);
    if (imageSize / static_cast<std::size_t>(height) != rowSize ||
        imageSize > std::numeric_limits<std::uint32_t>::max() - offset)
        return {};
    std::string out(offset + imageSize, '\0');
    out[0] = 'B';
    out[1] = 'M';
    put32(out, 2, static_cast<std::uint32_t>(out.size()));
    put32(out, 10, static_cast<std::uint32_t>(offset));
    put32(out, 14, kInfoHeaderSize);
    put32(out, 18, static_cast<std::uint32_t>(width));
    put32(out, 22, static_cast<std::uint32_t>(height));  // positive: the bottom row comes first
    put16(out, 26, 1);
    put16(out, 28, bits);
    put32(out, 34, static_cast<std::uint32_t>(imageSize));
    put32(out, 38, kPixelsPerMetre);
    put32(out, 42, kPixelsPerMetre);
    put32(out, 46, static_cast<std::uint32_t>(paletteEntries));
    return out;
}

std::optional<std::string> writeEncoded(const std::string& path, const std::string& bytes) {
    if (bytes.empty())
        return "Cannot write file \"" + path + "\". The image is empty or too large for a bitmap";
    if (auto failed = replaceFileWhole(path, {bytes})) return describe(*failed, path);
    return std::nullopt;
}

}  // namespace

std::string encodeIndexedBmp(const IndexedImageView& image) {
    if (!image.pixels || !image.palette) return {};
    std::size_t rowSize = 0;
    std::string out = headers(image.width, image.height, 8, 256, rowSize);
    if (out.empty()) return out;
    std::size_t at = kFileHeaderSize + kInfoHeaderSize;
    for (const BmpColour& c : *image.palette) {
        out[at++] = static_cast<char>(c.blue);
        out[at++] = static_cast<char>(c.green);
        out[at++] = static_cast<char>(c.red);
        out[at++] = 0;
    }
    for (std::int32_t y = image.height - 1; y >= 0; --y, at += rowSize)
        std::memcpy(out.data() + at, image.pixels + static_cast<std::size_t>(y) * image.stride,
                    static_cast<std::size_t>(image.width));
    return out;
}

std::string encodeRgbBmp(const RgbImageView& image) {
    if (!image.pixels) return {};
    std::size_t rowSize = 0;
    std::string out = headers(image.width, image.height, 24, 0, rowSize);
    if (out.empty()) return out;
    std::size_t at = kFileHeaderSize + kInfoHeaderSize;
    for (std::int32_t y = image.height - 1; y >= 0; --y, at += rowSize) {
        const std::uint8_t* row = image.pixels + static_cast<std::size_t>(y) * image.stride;
        for (std::int32_t x = 0; x < image.width; ++x) {
            const std::uint8_t* rgb = row + 3 * static_cast<std::size_t>(x);
            out[at + 3 * static_cast<std::size_t>(x)] = static_cast<char>(rgb[2]);
            out[at + 3 * static_cast<std::size_t>(x) + 1] = static_cast<char>(rgb[1]);
            out[at + 3 * static_cast<std::size_t>(x) + 2] = static_cast<char>(rgb[0]);
        }
    }
    return out;
}

std::optional<std::string> writeIndexedBmp(const std::string& path, const IndexedImageView& image) {
    return writeEncoded(path, encodeIndexedBmp(image));
}

std::optional<std::string> writeRgbBmp(const std::string& path, const RgbImageView& image) {
    return writeEncoded(path, encodeRgbBmp(image));
}

}  // namespace kestrom
