// The subscriber program of the delivery bench and the forking and reaping of its processes.
#include "subscriber_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <thread>

#include "camera_records/console_block.h"
#include "platform/shared_memory.h"
#include "platform/transport_client.h"

namespace kestrom::bench {

namespace {

constexpr std::uint32_t kConnect = 1326;   // also the new-frame notice
constexpr std::uint32_t kClosing = 1330;

// The whole life of one subscriber program; the exit code says how far it got (0: frames copied).
int subscriberMain(const std::string& socketPath, const std::string& blockPrefix) {
    TransportClientOptions options;
    options.socketPath = socketPath;
    TransportClient client(options);
    std::string error;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!client.connect(error)) {
        if (std::chrono::steady_clock::now() > deadline) return 2;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::unique_ptr<SharedMemory> block;
    std::vector<std::uint8_t> copy(frame_block::kSize);
    long frames = 0;
    bool closed = false, blockMissing = false;
    volatile std::uint8_t sink = 0;
    WindowHandle self = client.registerWindow([&](std::uint32_t msg, std::intptr_t, std::intptr_t slot) -> std::intptr_t {
        if (msg == kConnect) {
            // Opened at the first frame: the block exists while the slot's thread does.
            if (!block) block = SharedMemory::openExisting(blockPrefix + std::to_string(slot), frame_block::kSize,
                                                           SharedMemory::Access::ReadOnly, error);
            if (!block) {
                blockMissing = true;
                return 0;
            }
            std::memcpy(copy.data(), block->data(), frame_block::kSize);
            sink = sink + copy[static_cast<std::size_t>(frames) % copy.size()];
            ++frames;
        } else if (msg == kClosing) {
            closed = true;
        }
        return 0;
    });
    if (self == 0) return 3;
    if (client.send(client.findConsoleWindow(), kConnect, self, 0) == 0) return 4;
    while (!closed && client.isConnected()) client.processIncoming(std::chrono::milliseconds(200));
    if (blockMissing) return 5;
    return frames > 0 ? 0 : 6;
}

}  // namespace

SubscriberProcesses::SubscriberProcesses(int count, const std::string& socketPath, const std::string& blockPrefix) {
    for (int i = 0; i < count; ++i) {
        pid_t pid = ::fork();
        if (pid < 0) throw std::runtime_error("fork failed");
        if (pid == 0) _exit(subscriberMain(socketPath, blockPrefix));
        pids_.push_back(pid);
    }
}

SubscriberProcesses::~SubscriberProcesses() {
    for (pid_t pid : pids_) ::kill(pid, SIGKILL);
    for (pid_t pid : pids_) ::waitpid(pid, nullptr, 0);
}

void SubscriberProcesses::stopFirst(int count) {
    for (int i = 0; i < count && i < static_cast<int>(pids_.size()); ++i) ::kill(pids_[i], SIGSTOP);
}

bool SubscriberProcesses::join(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!pids_.empty() && std::chrono::steady_clock::now() < deadline) {
        std::erase_if(pids_, [this](pid_t pid) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) != pid) return false;
            allWell_ = allWell_ && WIFEXITED(status) && WEXITSTATUS(status) == 0;
            return true;
        });
        if (!pids_.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return pids_.empty() && allWell_;
}

}  // namespace kestrom::bench
