// The decoder's fuzz entry point run over malformed, truncated, oversized and random streams, so every build exercises it.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "fuzz/frame_stream_fault.h"
#include "platform/transport_wire.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace kestrom::fuzz {
namespace {

using Bytes = std::vector<std::uint8_t>;
using wire::Frame;
using wire::Kind;

Bytes frameBytes(const Frame& frame) {
    Bytes bytes(wire::kFrameSize);
    wire::encode(frame, bytes.data());
    return bytes;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes withWord(Bytes bytes, std::size_t offset, std::uint32_t value) {
    std::memcpy(bytes.data() + offset, &value, 4);   // little-endian host, as the wire
    return bytes;
}

Bytes truncated(Bytes bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
}

// Every kind once, as a well-behaved session writes them.
Bytes session() {
    Bytes all;
    const Frame frames[] = {
        {Kind::Hello, 1, 0, wire::kProtocolVersion, static_cast<std::int64_t>(wire::kMagic), 0},
        {Kind::HelloAck, 1, 0x10000, wire::kProtocolVersion, static_cast<std::int64_t>(wire::kMagic), 0},
        {Kind::Register, 2, 0, 0, 0, 0},
        {Kind::Registered, 2, 0x10001, 0, 0, 0},
        {Kind::Send, 3, 0x10000, 1326, 0x10001, 0},
        {Kind::Reply, 3, 0x10000, 1326, 2, 0},
        {Kind::Post, 0, 0x10001, 1330, 0x10001, 2},
        {Kind::Unregister, 0, 0x10001, 0, 0, 0},
    };
    for (const Frame& f : frames) all = all + frameBytes(f);
    return all;
}

struct Case {
    const char* name;
    Bytes bytes;
};

std::vector<Case> malformedStreams() {
    const Bytes good = frameBytes(Frame{Kind::Send, 9, 0x10000, 1334, 0x10002, 4660});
    Bytes huge;
    while (huge.size() < (1u << 16)) huge = huge + good;
    return {
        {"nothing", {}},
        {"a whole session", session()},
        {"three bytes", truncated(good, 3)},
        {"a size word alone", truncated(good, 4)},
        {"a wrong size word alone", withWord(truncated(good, 4), 0, 1000)},
        {"cut inside the parameters", truncated(good, 39)},
        {"a session cut in its last frame", truncated(session(), session().size() - 17)},
        {"size 0", withWord(good, 0, 0)},
        {"size 39", withWord(good, 0, 39)},
        {"size 41", withWord(good, 0, 41)},
        {"size 40 big-endian", withWord(good, 0, 0x28000000)},
        {"size ~0", withWord(good, 0, 0xFFFFFFFF)},
        {"kind 0", withWord(good, 4, 0)},
        {"kind 9", withWord(good, 4, 9)},
        {"kind ~0", withWord(good, 4, 0xFFFFFFFF)},
        {"reserved word set", withWord(good, 20, 1)},
        {"a good frame, then a bad size", good + withWord(good, 0, 1000)},
        {"a good frame, then a bad kind", good + withWord(good, 4, 42)},
        {"a bad frame, then good ones", withWord(good, 20, 7) + session()},
        {"64 KiB of frames", huge},
        {"64 KiB of frames, one byte short", truncated(huge, huge.size() - 1)},
        {"64 KiB of frames with one spoiled", withWord(huge, 40 * 1000 + 4, 77)},
    };
}

TEST(FrameDecoderCorpus, MalformedTruncatedAndOversizedStreamsKeepTheRules) {
    for (const Case& c : malformedStreams()) {
        EXPECT_EQ(frameStreamFault(c.bytes.data(), c.bytes.size()), "") << c.name;
        LLVMFuzzerTestOneInput(c.bytes.data(), c.bytes.size());
    }
}

// Random bytes hardly ever pass the size word, so most cases spoil a good session at one byte:
// those reach every field of every kind.
TEST(FrameDecoderCorpus, RandomBytesAndSpoiledSessionsKeepTheRules) {
    std::mt19937 random(20240607);
    auto byte = [&] { return static_cast<std::uint8_t>(random()); };
    const Bytes base = session() + session();
    for (int i = 0; i < 3000; ++i) {
        Bytes bytes;
        if (i % 3 == 0) {
            bytes.resize(random() % 600);
            for (auto& b : bytes) b = byte();
        } else {
            bytes = truncated(base, random() % (base.size() + 1));
            if (!bytes.empty()) bytes[random() % bytes.size()] = byte();
            if (i % 3 == 2 && bytes.size() > 8) bytes[random() % bytes.size()] = byte();
        }
        std::string fault = frameStreamFault(bytes.data(), bytes.size());
        ASSERT_EQ(fault, "") << "case " << i << ", " << bytes.size() << " bytes";
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
}

}  // namespace
}  // namespace kestrom::fuzz
