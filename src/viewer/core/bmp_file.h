// Windows bitmap files (".BMP") of 8-bit indexed images with their 256-entry palette, and of RGB
// images.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace kestrom {

struct BmpColour {
    std::uint8_t red = 0, green = 0, blue = 0;
};

// An 8-bit indexed image, top row first; stride is the distance between rows in bytes.
struct IndexedImageView {
    std::int32_t width = 0;
    std::int32_t height = 0;
    const std::uint8_t* pixels = nullptr;
    std::size_t stride = 0;
    const std::array<BmpColour, 256>* palette = nullptr;
};

// An RGB image of 3 bytes per pixel (red, green, blue), top row first.
struct RgbImageView {
    std::int32_t width = 0;
    std::int32_t height = 0;
    const std::uint8_t* pixels = nullptr;
    std::size_t stride = 0;
};

// The file's bytes: file header, information header (bottom-up rows, no compression), for the
// indexed image its 256 palette entries (blue, green, red, 0), then the rows padded to 4 bytes.
// Empty when the image is empty or too large for the format.
std::string encodeIndexedBmp(const IndexedImageView& image);
std::string encodeRgbBmp(const RgbImageView& image);

// Encodes and writes the file whole; the message naming the file when it cannot be.
std::optional<std::string> writeIndexedBmp(const std::string& path, const IndexedImageView& image);
std::optional<std::string> writeRgbBmp(const std::string& path, const RgbImageView& image);

}  // namespace kestrom
