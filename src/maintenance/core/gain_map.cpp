#include "maintenance/core/gain_map.h"

#include <algorithm>
#include <cmath>

#include "platform/regular_file.h"
#include "viewer/core/frame_file_replace.h"

namespace kestrom {

std::int16_t GainMap::entry(int index) const {
    const std::size_t i = 2 * static_cast<std::size_t>(index);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes_[i] << 8 | bytes_[i + 1]));
}

void GainMap::setEntry(int index, std::int16_t value) {
    const std::size_t i = 2 * static_cast<std::size_t>(index);
    const auto word = static_cast<std::uint16_t>(value);
    bytes_[i] = static_cast<std::uint8_t>(word >> 8);
    bytes_[i + 1] = static_cast<std::uint8_t>(word & 0xFF);
}

void GainMap::setAll(std::int16_t value) {
    for (int i = 0; i < kMapPixels; ++i) setEntry(i, value);
}

double GainMap::rowMean(int y) const {
    double sum = 0;
    for (int x = 0; x < kMapSide; ++x) sum += gain(pixelIndex(x, y));
    return sum / kMapSide;
}

double GainMap::columnMean(int x) const {
    double sum = 0;
    for (int y = 0; y < kMapSide; ++y) sum += gain(pixelIndex(x, y));
    return sum / kMapSide;
}

bool GainMap::rowUniform(int y) const {
    for (int x = 1; x < kMapSide; ++x)
        if (entry(x, y) != entry(0, y)) return false;
    return true;
}

bool GainMap::columnUniform(int x) const {
    for (int y = 1; y < kMapSide; ++y)
        if (entry(x, y) != entry(x, 0)) return false;
    return true;
}

void GainMap::setRow(int y, std::int16_t value) {
    for (int x = 0; x < kMapSide; ++x) setEntry(pixelIndex(x, y), value);
}

void GainMap::setColumn(int x, std::int16_t value) {
    for (int y = 0; y < kMapSide; ++y) setEntry(pixelIndex(x, y), value);
}

void GainMap::fromCamera(const std::uint8_t* buffer) {
    constexpr std::size_t row = 2 * kMapSide;
    for (int r = 0; r < kMapSide; ++r)
        std::copy_n(buffer + r * row, row, bytes_.begin() + static_cast<std::ptrdiff_t>((kMapSide - 1 - r) * row));
}

void GainMap::toCamera(std::uint8_t* buffer) const {
    constexpr std::size_t row = 2 * kMapSide;
    for (int r = 0; r < kMapSide; ++r)
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(r * row), row, buffer + (kMapSide - 1 - r) * row);
}

std::int16_t gainEntryFromTyped(double gain) {
    const double scaled = std::trunc(gain * 256.0);
    if (!std::isfinite(scaled)) return 0;
    // fmod is exact, so huge values keep their low 16 bits as the integer would.
    double low = std::fmod(scaled, 65536.0);
    if (low < 0) low += 65536.0;
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(low));
}

void correctGainInSoftware(UtilityImage& image, const GainMap& map) {
    for (int i = 0; i < kMapPixels; ++i) {
        const std::int16_t e = map.entry(i);
        if (e <= 0 || e >= 512 || e == kUnityGain) continue;
        const double g = e / 256.0;
        // A gain above 1 takes a bright pixel past the 16 bits: it shows saturated, never wrapped.
        const double corrected = std::clamp(std::trunc(g * image[static_cast<std::size_t>(i)]), -32768.0, 32767.0);
        image[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(corrected);
    }
}

std::size_t decodeGainMapFile(std::string_view bytes, GainMap& map) {
    map.bytes().fill(0);
    const std::size_t n = std::min(bytes.size(), kGainMapBytes);
    std::copy_n(bytes.begin(), n, map.bytes().begin());
    return n;
}

GainFileLoad loadGainMapFile(const std::string& path, GainMap& map) {
    GainFileLoad result;
    map.bytes().fill(0);
    const CappedFileRead read = readFileStart(path, kGainMapBytes);
    if (read.outcome != CappedFileRead::Outcome::Read) return result;
    result.opened = true;
    result.bytesRead = decodeGainMapFile(read.data, map);
    return result;
}

std::optional<std::string> saveGainMapFile(const std::string& path, const GainMap& map) {
    const std::string_view bytes(reinterpret_cast<const char*>(map.bytes().data()), kGainMapBytes);
    if (auto error = replaceFileWhole(path, {bytes})) return describe(*error, path);
    return std::nullopt;
}

}  // namespace kestrom
