// Bitmap files: the bytes of a small indexed and a small RGB image, and a write that cannot
// complete.
#include "viewer/core/bmp_file.h"

#include <gtest/gtest.h>

#include "frame_test_support.h"

namespace kestrom {
namespace {

std::uint32_t u32(const std::string& b, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at])) |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 3])) << 24;
}

std::uint16_t u16(const std::string& b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[at]) |
                                      static_cast<std::uint8_t>(b[at + 1]) << 8);
}

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += static_cast<char>(v);
    return s;
}

// 3 x 2 pixels: rows of 3 bytes padded to 4, the bottom row first; entry i of the palette is
// red i, green 255 - i, blue i / 2, written blue, green, red, 0.
TEST(BmpFile, AnIndexedImageHasItsHeadersPaletteAndPaddedRowsBottomUp) {
    std::array<BmpColour, 256> palette;
    for (int i = 0; i < 256; ++i)
        palette[static_cast<std::size_t>(i)] = {static_cast<std::uint8_t>(i),
                                                static_cast<std::uint8_t>(255 - i),
                                                static_cast<std::uint8_t>(i / 2)};
    const std::uint8_t pixels[] = {1,  2,  3,  99,
                                   10, 20, 30, 99};  // stride 4, the 99s outside the image
    const std::string b = encodeIndexedBmp({3, 2, pixels, 4, &palette});

    ASSERT_EQ(b.size(), 14u + 40u + 1024u + 8u);
    EXPECT_EQ(b.substr(0, 2), "BM");
    EXPECT_EQ(u32(b, 2), b.size());
    EXPECT_EQ(u32(b, 10), 14u + 40u + 1024u);  // pixel data offset
    EXPECT_EQ(u32(b, 14), 40u);
    EXPECT_EQ(u32(b, 18), 3u);
    EXPECT_EQ(u32(b, 22), 2u);  // positive height: bottom-up rows
    EXPECT_EQ(u16(b, 26), 1u);
    EXPECT_EQ(u16(b, 28), 8u);
    EXPECT_EQ(u32(b, 30), 0u);  // no compression
    EXPECT_EQ(u32(b, 34), 8u);
    EXPECT_EQ(u32(b, 46), 256u);
    EXPECT_EQ(b.substr(54, 4), bytes({0, 255, 0, 0}));
    EXPECT_EQ(b.substr(54 + 4 * 200, 4), bytes({100, 55, 200, 0}));
    EXPECT_EQ(b.substr(1078), bytes({10, 20, 30, 0, 1, 2, 3, 0}));
}

TEST(BmpFile, AnRgbImageIsWrittenBlueGreenRedWithPaddedRowsBottomUp) {
    const std::uint8_t pixels[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};  // 2 x 2, stride 6
    const std::string b = encodeRgbBmp({2, 2, pixels, 6});
    ASSERT_EQ(b.size(), 54u + 16u);
    EXPECT_EQ(u32(b, 10), 54u);
    EXPECT_EQ(u16(b, 28), 24u);
    EXPECT_EQ(u32(b, 46), 0u);
    EXPECT_EQ(b.substr(54), bytes({9, 8, 7, 12, 11, 10, 0, 0, 3, 2, 1, 6, 5, 4, 0, 0}));
}

TEST(BmpFile, AnImageThatCannotBeABitmapOrAFileThatCannotBeWrittenIsReported) {
    test::TempFolder folder;
    std::array<BmpColour, 256> palette{};
    const std::uint8_t pixel = 0;
    EXPECT_EQ(encodeIndexedBmp({0, 1, &pixel, 1, &palette}), "");
    EXPECT_EQ(encodeIndexedBmp({1, -1, &pixel, 1, &palette}), "");
    EXPECT_EQ(encodeRgbBmp({70000, 70000, &pixel, 1}), "") << "more than 4 GiB";
    EXPECT_EQ(writeIndexedBmp(folder.file("none.bmp"), {0, 0, &pixel, 1, &palette}),
              "Cannot write file \"" + folder.file("none.bmp") +
                  "\". The image is empty or too large for a bitmap");

    const std::string path = folder.file("window image.bmp");
    ASSERT_EQ(writeIndexedBmp(path, {1, 1, &pixel, 1, &palette}), std::nullopt);
    const std::string before = folder.read("window image.bmp");
    std::vector<std::uint8_t> large(200 * 200, 7);
    {
        test::FileSizeLimit limit(10000);
        EXPECT_EQ(writeIndexedBmp(path, {200, 200, large.data(), 200, &palette}),
                  "Cannot write file \"" + path + "\". File too large");
    }
    EXPECT_EQ(folder.read("window image.bmp"), before);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"window image.bmp"});
}

}  // namespace
}  // namespace kestrom
