// Allocation, index checks and pixel copy of frames of 16- and 32-bit pixels.
#include "viewer/core/vasprel_frame.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

namespace kestrom {

template <typename T>
TVasprelFrame<T>::TVasprelFrame(std::int32_t rows, std::int32_t columns)
    : rows_(rows), columns_(columns) {
    if (rows < 0 || columns < 0) return;
    const std::size_t count = pixelCount();
    // A block beyond what a pointer difference can span could not be indexed.
    constexpr auto kLargestBlock =
        static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max());
    if (count > (kLargestBlock - kPixelOffset) / sizeof(T)) return;
    try {
        buffer_.reset(new std::uint8_t[kPixelOffset + count * sizeof(T)]);
    } catch (const std::bad_alloc&) {
        return;
    }
    std::memset(buffer_.get(), 0, kPixelOffset);
    header_ = ::new (buffer_.get() + kHeaderOffset) VasprelHeader{};
    std::memcpy(header_->Version, vasprel::kVersion, std::strlen(vasprel::kVersion) + 1);
    header_->Height = rows;
    header_->Width = columns;
    data_ = reinterpret_cast<T*>(buffer_.get() + kPixelOffset);
    std::uninitialized_value_construct_n(data_, count);
}

template <typename T>
std::size_t TVasprelFrame<T>::blockSize() const {
    return buffer_ ? kPixelOffset + pixelCount() * sizeof(T) : 0;
}

template <typename T>
T* TVasprelFrame<T>::Row(std::int32_t y) const {
    if (!header_ || y < 0 || y >= header_->Height || y >= rows_)
        throw AccessViolation("Invalid y index");
    // The header's Width sets the row pitch; a row that would run past the block is refused.
    const std::int64_t first = std::int64_t{header_->Width} * y;
    if (header_->Width < 0 || first + header_->Width > static_cast<std::int64_t>(pixelCount()))
        throw AccessViolation("Invalid y index");
    return data_ + first;
}

template <typename T>
T TVasprelFrame<T>::Pixel(std::int32_t row, std::int32_t column) const {
    if (!header_ || row < 0 || row >= header_->Height || column < 0 || column >= header_->Width)
        throw AccessViolation("Invalid x,y index");
    const std::int64_t index = std::int64_t{header_->Width} * row + column;
    if (index >= static_cast<std::int64_t>(pixelCount()))
        throw AccessViolation("Invalid x,y index");
    return data_[index];
}

template <typename T>
void TVasprelFrame<T>::CopyPixels(const std::int16_t* source) {
    if (!header_ || header_->Height <= 0 || header_->Width <= 0) return;
    const std::size_t wanted =
        static_cast<std::size_t>(header_->Height) * static_cast<std::size_t>(header_->Width);
    const std::size_t count = std::min(wanted, pixelCount());
    if constexpr (sizeof(T) == sizeof(std::int16_t)) {
        std::memcpy(data_, source, count * sizeof(T));
    } else {
        // Each 16-bit value widened, so a 32-bit frame holds the values and not their bytes.
        std::copy_n(source, count, data_);
    }
}

template class TVasprelFrame<std::int16_t>;
template class TVasprelFrame<std::int32_t>;

}  // namespace kestrom
