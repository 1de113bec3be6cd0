// The fixed-size frames that the console and its subscriber programs exchange over the message socket.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrom::wire {

inline constexpr std::uint32_t kProtocolVersion = 1;
// Carried by hello and hello-ack, so that a stray program that connects is told apart at once.
inline constexpr std::uint64_t kMagic = 0x4B455354524F4D33;   // "KESTROM3"
inline constexpr std::size_t kFrameSize = 40;

enum class Kind : std::uint32_t {
    Hello = 1,         // client: msg = version, wParam = magic; the first frame of a client
    HelloAck = 2,      // console: msg = version, window = the console's main window (0: refused), wParam = magic,
                       // lParam = the token that opens this client's notice connection
    Register = 3,      // client: a new window; sequence chosen by the client
    Registered = 4,    // console: same sequence, window = the handle allocated for it
    Unregister = 5,    // client: window = one of its windows, which is gone
    Send = 6,          // either side: window = target; the sender waits for the reply
    Post = 7,          // either side: window = target; no reply
    Reply = 8,         // either side: sequence of the send, window = its target, wParam = the result
    NoticeHello = 9,   // client, first frame of a second connection: msg = version, wParam = magic,
                       // lParam = the token; the console's sends to the client then travel on it
};

// Little-endian on the wire: u32 size (40), u32 kind, u32 sequence, u32 window, u32 msg,
// u32 reserved (0), i64 wParam, i64 lParam.
struct Frame {
    Kind kind = Kind::Send;
    std::uint32_t sequence = 0;
    std::uint32_t window = 0;
    std::uint32_t msg = 0;
    std::int64_t wParam = 0;
    std::int64_t lParam = 0;
};

void encode(const Frame& frame, std::uint8_t* out);

// Decodes one whole frame; false and the reason when its size, kind or reserved word is wrong.
bool decode(const std::uint8_t* in, Frame& frame, std::string& error);

// Bytes from the stream in, whole frames out. A bad frame spoils the stream: nothing after it can
// be trusted to start on a frame boundary.
class FrameReader {
public:
    void append(const std::uint8_t* data, std::size_t size);
    enum class Result { Frame, NeedMore, Bad };
    Result next(Frame& frame, std::string& error);
    std::size_t buffered() const { return buffer_.size() - start_; }

private:
    std::vector<std::uint8_t> buffer_;
    std::size_t start_ = 0;
};

}  // namespace kestrom::wire
