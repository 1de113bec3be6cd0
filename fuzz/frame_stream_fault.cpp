// The decoder's rules checked against arbitrary bytes.
#include "fuzz/frame_stream_fault.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/transport_wire.h"

namespace kestrom::fuzz {

namespace {

using wire::Frame;
using wire::FrameReader;

std::uint32_t word(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool same(const Frame& a, const Frame& b) {
    return a.kind == b.kind && a.sequence == b.sequence && a.window == b.window && a.msg == b.msg &&
           a.wParam == b.wParam && a.lParam == b.lParam;
}

// What a stream reader has made of the bytes so far.
struct Outcome {
    std::vector<Frame> frames;
    bool bad = false;
    std::size_t buffered = 0;   // unread bytes while it waits for more
};

// The rules, applied to the whole stream at once.
Outcome expected(const std::uint8_t* data, std::size_t size) {
    Outcome out;
    std::size_t at = 0;
    for (;;) {
        std::size_t left = size - at;
        if (left >= 4 && word(data + at) != wire::kFrameSize) {
            out.bad = true;
            return out;
        }
        if (left < wire::kFrameSize) {
            out.buffered = left;
            return out;
        }
        std::uint32_t kind = word(data + at + 4);
        if (kind < static_cast<std::uint32_t>(wire::Kind::Hello) || kind > static_cast<std::uint32_t>(wire::Kind::NoticeHello) ||
            word(data + at + 20) != 0) {
            out.bad = true;
            return out;
        }
        Frame frame;
        std::string error;
        wire::decode(data + at, frame, error);
        out.frames.push_back(frame);
        at += wire::kFrameSize;
    }
}

// The reader fed in pieces of the given sizes (cycled), draining whole frames after each piece.
std::string readInPieces(const std::uint8_t* data, std::size_t size, const std::vector<std::size_t>& pieces,
                         Outcome& out) {
    FrameReader reader;
    std::size_t at = 0, piece = 0;
    std::size_t appended = 0;
    while (!out.bad) {
        Frame frame;
        std::string error;
        auto result = reader.next(frame, error);
        if (result == FrameReader::Result::Frame) {
            out.frames.push_back(frame);
            continue;
        }
        if (result == FrameReader::Result::Bad) {
            if (error.empty()) return "a bad frame was refused without a reason";
            // Nothing after a bad frame can be trusted, so the reader must not move past it.
            if (reader.next(frame, error) != FrameReader::Result::Bad) return "the reader went on after a bad frame";
            out.bad = true;
            break;
        }
        if (at == size) break;
        std::size_t n = std::min(pieces[piece++ % pieces.size()], size - at);
        reader.append(data + at, n);
        at += n;
        appended += n;
    }
    out.buffered = out.bad ? 0 : reader.buffered();
    std::size_t consumed = out.frames.size() * wire::kFrameSize;
    if (!out.bad && reader.buffered() != appended - consumed) return "the reader lost or invented bytes";
    return {};
}

std::string compare(const Outcome& want, const Outcome& got, const char* how) {
    std::string where = std::string(" (") + how + ")";
    if (want.bad != got.bad) return (want.bad ? "a bad frame was accepted" : "a good stream was refused") + where;
    if (want.frames.size() != got.frames.size())
        return "decoded " + std::to_string(got.frames.size()) + " frames, not " + std::to_string(want.frames.size()) + where;
    for (std::size_t i = 0; i < want.frames.size(); ++i)
        if (!same(want.frames[i], got.frames[i])) return "frame " + std::to_string(i) + " differs" + where;
    if (want.buffered != got.buffered) return "waits with " + std::to_string(got.buffered) + " bytes, not " +
                                              std::to_string(want.buffered) + where;
    return {};
}

}  // namespace

std::string frameStreamFault(const std::uint8_t* data, std::size_t size) {
    // decode() at every offset: a frame it accepts is exactly the bytes it came from.
    for (std::size_t at = 0; at + wire::kFrameSize <= size; ++at) {
        Frame frame;
        std::string error;
        bool ok = wire::decode(data + at, frame, error);
        if (!ok && error.empty()) return "decode() refused without a reason at offset " + std::to_string(at);
        if (!ok) continue;
        std::uint8_t again[wire::kFrameSize];
        wire::encode(frame, again);
        if (std::memcmp(again, data + at, wire::kFrameSize) != 0)
            return "decode() accepted bytes that encode() does not give back at offset " + std::to_string(at);
    }

    Outcome want = expected(data, size);
    // The first bytes choose the pieces, so the fuzzer explores every way a socket may split a stream.
    std::vector<std::size_t> chosen;
    for (std::size_t i = 0; i < std::min<std::size_t>(size, 4); ++i) chosen.push_back(1 + data[i] % 97);
    const std::vector<std::vector<std::size_t>> splits = {{std::max<std::size_t>(size, 1)}, {1}, {wire::kFrameSize},
                                                         chosen.empty() ? std::vector<std::size_t>{3} : chosen};
    const char* names[] = {"whole", "byte by byte", "frame by frame", "pieces chosen by the input"};
    for (std::size_t i = 0; i < splits.size(); ++i) {
        Outcome got;
        if (std::string fault = readInPieces(data, size, splits[i], got); !fault.empty())
            return fault + " (" + names[i] + ")";
        if (std::string fault = compare(want, got, names[i]); !fault.empty()) return fault;
    }
    return {};
}

}  // namespace kestrom::fuzz
