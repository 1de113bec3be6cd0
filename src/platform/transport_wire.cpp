// Encoding and decoding of the message socket's frames.
#include "platform/transport_wire.h"

namespace kestrom::wire {

namespace {

void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void put64(std::uint8_t* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint32_t get32(const std::uint8_t* p) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}
std::uint64_t get64(const std::uint8_t* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

}  // namespace

void encode(const Frame& frame, std::uint8_t* out) {
    put32(out + 0, kFrameSize);
    put32(out + 4, static_cast<std::uint32_t>(frame.kind));
    put32(out + 8, frame.sequence);
    put32(out + 12, frame.window);
    put32(out + 16, frame.msg);
    put32(out + 20, 0);
    put64(out + 24, static_cast<std::uint64_t>(frame.wParam));
    put64(out + 32, static_cast<std::uint64_t>(frame.lParam));
}

bool decode(const std::uint8_t* in, Frame& frame, std::string& error) {
    std::uint32_t size = get32(in);
    if (size != kFrameSize) {
        error = "frame size " + std::to_string(size) + ", not " + std::to_string(kFrameSize);
        return false;
    }
    std::uint32_t kind = get32(in + 4);
    if (kind < static_cast<std::uint32_t>(Kind::Hello) || kind > static_cast<std::uint32_t>(Kind::NoticeHello)) {
        error = "unknown frame kind " + std::to_string(kind);
        return false;
    }
    if (get32(in + 20) != 0) {
        error = "reserved word not 0";
        return false;
    }
    frame.kind = static_cast<Kind>(kind);
    frame.sequence = get32(in + 8);
    frame.window = get32(in + 12);
    frame.msg = get32(in + 16);
    frame.wParam = static_cast<std::int64_t>(get64(in + 24));
    frame.lParam = static_cast<std::int64_t>(get64(in + 32));
    return true;
}

void FrameReader::append(const std::uint8_t* data, std::size_t size) {
    // Consumed bytes are dropped once they make up the larger part, so the buffer never grows
    // beyond what is still unread plus one read.
    if (start_ > 0 && start_ >= buffer_.size() / 2) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
    buffer_.insert(buffer_.end(), data, data + size);
}

FrameReader::Result FrameReader::next(Frame& frame, std::string& error) {
    std::size_t available = buffer_.size() - start_;
    const std::uint8_t* p = buffer_.data() + start_;
    // The size word is checked as soon as it is there: a wrong one is not waited out.
    if (available >= 4 && get32(p) != kFrameSize) {
        error = "frame size " + std::to_string(get32(p)) + ", not " + std::to_string(kFrameSize);
        return Result::Bad;
    }
    if (available < kFrameSize) return Result::NeedMore;
    if (!decode(p, frame, error)) return Result::Bad;
    start_ += kFrameSize;
    if (start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    }
    return Result::Frame;
}

}  // namespace kestrom::wire
