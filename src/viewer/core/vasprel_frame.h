// The in-memory frame every display and computation of the viewer works on: header and pixels in
// one block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>

#include "viewer/core/vasprel_header.h"

namespace kestrom {

// An index outside the frame: the caller's handler, or the application's standard message, shows
// the text ("Invalid y index", "Invalid x,y index").
class AccessViolation : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// One frame of T pixels. The block holds the header 64 bytes in and the pixels 2,048 bytes after
// the header's start, row 0 first, each row left to right.
template <typename T>
class TVasprelFrame {
  public:
    static constexpr std::size_t kHeaderOffset = 64;
    static constexpr std::size_t kPixelOffset = kHeaderOffset + 2048;

    // A frame that cannot get its memory (or is asked for a negative size) has no buffer, header
    // or data; nothing is thrown, and its owner must not use it.
    TVasprelFrame(std::int32_t rows, std::int32_t columns);
    virtual ~TVasprelFrame() = default;
    TVasprelFrame(const TVasprelFrame&) = delete;
    TVasprelFrame& operator=(const TVasprelFrame&) = delete;

    VasprelHeader* GetHeader() const { return header_; }
    // Both check the index against the header's Height and Width; an index the header allows but
    // the block does not hold (a header loaded with another size) is refused the same way.
    T* Row(std::int32_t y) const;
    T Pixel(std::int32_t row, std::int32_t column) const;
    // Height x Width values from source, never more than the block holds.
    void CopyPixels(const std::int16_t* source);

    T* data() const { return data_; }
    std::int32_t rows() const { return rows_; }
    std::int32_t columns() const { return columns_; }
    bool allocated() const { return buffer_ != nullptr; }
    // Bytes of the whole block: (rows x columns) pixels after the 2,112 bytes of the front.
    std::size_t blockSize() const;

  private:
    std::size_t pixelCount() const {
        return static_cast<std::size_t>(rows_) * static_cast<std::size_t>(columns_);
    }

    std::unique_ptr<std::uint8_t[]> buffer_;
    VasprelHeader* header_ = nullptr;
    T* data_ = nullptr;
    std::int32_t rows_ = 0;
    std::int32_t columns_ = 0;
};

extern template class TVasprelFrame<std::int16_t>;
extern template class TVasprelFrame<std::int32_t>;

}  // namespace kestrom
