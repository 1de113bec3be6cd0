// The real console program started for a test, and this process as its subscriber over the message socket.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "camera_records/console_block.h"
#include "camera_records/subscriber_protocol.h"
#include "platform/transport_client.h"

namespace kestrom::test {

using namespace std::chrono_literals;

using namespace subscriber_protocol;
inline constexpr std::size_t kFrameBlockSize = frame_block::kSize;
inline constexpr std::size_t kFrameStatusOffset = frame_block::kConsoleBlockOffset;
inline constexpr std::size_t kFrameFactoryOffset = frame_block::kFactoryInfoOffset;

// A shared memory block of the console mapped here through the console's own descriptor.
class ConsoleMapping {
public:
    ConsoleMapping(void* data, std::size_t size) : data_(data), size_(size) {}
    ~ConsoleMapping();
    ConsoleMapping(const ConsoleMapping&) = delete;
    ConsoleMapping& operator=(const ConsoleMapping&) = delete;
    std::uint8_t* bytes() const { return static_cast<std::uint8_t*>(data_); }

private:
    void* data_;
    std::size_t size_;
};

struct Message {
    std::uint32_t msg;
    std::intptr_t w, l;
};

// A window of this process that records what the console sends and posts it; answer may act on a
// message (it runs inside the console's send) and gives the result.
class RecordingWindow {
public:
    using Answer = std::function<std::intptr_t(const Message&)>;
    RecordingWindow(TransportClient& client, Answer answer = {});
    ~RecordingWindow();
    RecordingWindow(const RecordingWindow&) = delete;
    RecordingWindow& operator=(const RecordingWindow&) = delete;

    WindowHandle handle = 0;
    std::vector<Message> received;
    std::vector<std::intptr_t> frames() const;   // wParam (the frame count) of each frame notice

private:
    TransportClient& client_;
    Answer answer_;
};

// One simulated camera of the console: its device index and serial number.
struct Camera {
    int device;
    int serial;
};

class RunningConsole : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the console on these cameras (real-time frames), waits until it has opened them all and
    // listens, and connects this process. The tab shown is that of the camera opened last.
    void startConsole(const std::vector<Camera>& cameras);
    // Only starts the program on these cameras (its folders as for startConsole), waits for nothing.
    void launchConsole(const std::vector<Camera>& cameras);
    // True when the console has ended within the limit; endStatus() is then its wait status.
    bool waitForEnd(std::chrono::milliseconds limit);
    int endStatus() const { return endStatus_; }
    // Where the console's shared memory of this name ("KIIICommand", "Kest3_1") lives while it runs.
    std::string sharedMemoryPath(const std::string& name) const;
    // Shows the History tab (nothing left to offer for saving), asks the console to end and expects
    // a clean exit: under AddressSanitizer a leak fails it.
    void stopConsole();

    std::intptr_t request(std::uint32_t msg, std::intptr_t w, std::intptr_t l);
    // Handles what the console sends and posts until done() holds; false when limit passes first.
    bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5000ms);
    void pumpFor(std::chrono::milliseconds time);

    std::string history() const;
    int historyCount(const std::string& text) const;
    bool waitForHistory(const std::string& text, std::chrono::milliseconds limit = 5000ms) const;
    int consoleDescriptorCount() const;
    bool consoleAlive();

    std::string socketPath() const;
    // The console's "/KIIICommand" and "/Kest3_<slot>" (nullptr while it has none). Found among the
    // console's open descriptors by the name it opened them under: a console of another test that
    // ends meanwhile removes the names, but never this console's blocks.
    std::uint8_t* command() const { return command_->bytes(); }
    std::unique_ptr<ConsoleMapping> frameBlock(int slot) const;
    std::unique_ptr<ConsoleMapping> consoleBlock(const std::string& name, std::size_t size, bool writable) const;

    std::string dir_;
    pid_t console_ = -1;
    std::unique_ptr<TransportClient> client;
    WindowHandle consoleWindow = 0;

private:
    int lockFd_ = -1;
    bool ended_ = false;
    int endStatus_ = 0;
    std::unique_ptr<ConsoleMapping> command_;
};

// Big-endian 32-bit word, as the camera's records keep them.
std::uint32_t bigEndianWord(const std::uint8_t* p);

}  // namespace kestrom::test
