// The frame layout that programs in other languages depend on, and the stream reader's handling of split and bad input.
#include "platform/transport_wire.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <limits>
#include <vector>

namespace kestrom::wire {
namespace {

bool operator==(const Frame& a, const Frame& b) {
    return a.kind == b.kind && a.sequence == b.sequence && a.window == b.window && a.msg == b.msg &&
           a.wParam == b.wParam && a.lParam == b.lParam;
}

TEST(TransportWire, FrameBytesAreLittleEndianInTheDocumentedOrder) {
    Frame frame{Kind::Send, 0x01020304, 0x00010005, 1326, -2, 0x1122334455667788};
    std::array<std::uint8_t, kFrameSize> bytes{};
    encode(frame, bytes.data());
    const std::array<std::uint8_t, kFrameSize> expected{
        0x28, 0, 0, 0,                                   // size 40
        6, 0, 0, 0,                                      // send
        0x04, 0x03, 0x02, 0x01,                          // sequence
        0x05, 0x00, 0x01, 0x00,                          // window
        0x2E, 0x05, 0, 0,                                // 1326
        0, 0, 0, 0,                                      // reserved
        0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // wParam -2
        0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11,  // lParam
    };
    EXPECT_EQ(bytes, expected);
}

TEST(TransportWire, EveryKindAndExtremeValueSurvivesTheRoundTrip) {
    const std::vector<Frame> frames{
        {Kind::Hello, 1, 0, kProtocolVersion, static_cast<std::int64_t>(kMagic), 0},
        {Kind::HelloAck, 1, 0x00010000, kProtocolVersion, static_cast<std::int64_t>(kMagic), 0},
        {Kind::Register, 0xFFFFFFFF, 0, 0, 0, 0},
        {Kind::Registered, 9, 0xFFFFFFFF, 0, 0, 0},
        {Kind::Unregister, 0, 0x00010001, 0, 0, 0},
        {Kind::Send, 2, 3, 1334, std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max()},
        {Kind::Post, 0, 3, 1330, -1, 4},
        {Kind::Reply, 2, 3, 1334, -123456789012345, 0},
        {Kind::NoticeHello, 1, 0, kProtocolVersion, static_cast<std::int64_t>(kMagic), -7},
    };
    for (const Frame& frame : frames) {
        std::uint8_t bytes[kFrameSize];
        encode(frame, bytes);
        Frame back;
        std::string error;
        ASSERT_TRUE(decode(bytes, back, error)) << error;
        EXPECT_TRUE(back == frame) << "kind " << static_cast<int>(frame.kind);
    }
}

TEST(TransportWire, ReaderReassemblesFramesWhateverTheChunkSize) {
    std::vector<Frame> sent;
    std::vector<std::uint8_t> stream;
    for (std::uint32_t i = 0; i < 5; ++i) {
        sent.push_back(Frame{Kind::Post, i, 100 + i, 1326, -static_cast<std::int64_t>(i), i * 1000});
        std::uint8_t bytes[kFrameSize];
        encode(sent.back(), bytes);
        stream.insert(stream.end(), bytes, bytes + kFrameSize);
    }
    for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, kFrameSize, std::size_t{63}, stream.size()}) {
        FrameReader reader;
        std::vector<Frame> got;
        for (std::size_t at = 0; at < stream.size(); at += chunk) {
            reader.append(stream.data() + at, std::min(chunk, stream.size() - at));
            Frame frame;
            std::string error;
            FrameReader::Result result;
            while ((result = reader.next(frame, error)) == FrameReader::Result::Frame) got.push_back(frame);
            ASSERT_EQ(result, FrameReader::Result::NeedMore) << error;
        }
        ASSERT_EQ(got.size(), sent.size()) << "chunk " << chunk;
        for (std::size_t i = 0; i < sent.size(); ++i) EXPECT_TRUE(got[i] == sent[i]) << "chunk " << chunk;
        EXPECT_EQ(reader.buffered(), 0u);
    }
}

TEST(TransportWire, BadFramesAreRejectedWithoutWaitingForMore) {
    struct Case {
        const char* name;
        std::size_t offset;
        std::uint32_t value;
    };
    const Case cases[] = {
        {"size 39", 0, 39}, {"size 41", 0, 41},      {"size 0", 0, 0},          {"kind 0", 4, 0},
        {"kind 10", 4, 10},  {"kind ~0", 4, ~0u},     {"reserved set", 20, 1},
    };
    for (const Case& c : cases) {
        std::uint8_t bytes[kFrameSize];
        encode(Frame{Kind::Send, 1, 2, 3, 4, 5}, bytes);
        for (int i = 0; i < 4; ++i) bytes[c.offset + i] = static_cast<std::uint8_t>(c.value >> (8 * i));
        Frame frame;
        std::string error;
        EXPECT_FALSE(decode(bytes, frame, error)) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
        FrameReader reader;
        reader.append(bytes, kFrameSize);
        EXPECT_EQ(reader.next(frame, error), FrameReader::Result::Bad) << c.name;
    }
    // A wrong size word is known from its first four bytes.
    FrameReader reader;
    const std::uint8_t size[4] = {0x10, 0, 0, 0};
    reader.append(size, 4);
    Frame frame;
    std::string error;
    EXPECT_EQ(reader.next(frame, error), FrameReader::Result::Bad);
}

}  // namespace
}  // namespace kestrom::wire
