// The fake console's answers, shared memory and notices.
#include "fake_console.h"

#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace kestrom::test {

namespace {
constexpr std::size_t kCommandSize = 2048;
int instances = 0;
}  // namespace

FakeConsole::FakeConsole() : prefix_("k3sub" + std::to_string(getpid()) + "_" + std::to_string(++instances) + "_") {}

FakeConsole::~FakeConsole() = default;

void FakeConsole::run() {
    std::string error;
    command_ = SharedMemory::createOrOpen("/" + prefix_ + "KIIICommand", kCommandSize, error);
    if (!command_) throw std::runtime_error(error);
    running_ = true;
}

void FakeConsole::vanish() {
    running_ = false;
    command_.reset();
    frameBlocks_.clear();
    windows_.clear();
    posted_.clear();
    auto listeners = listeners_;
    for (auto& [token, listener] : listeners) listener();
}

std::vector<FakeConsole::Request> FakeConsole::requestsOf(std::uint32_t msg) const {
    std::vector<Request> found;
    for (const auto& r : requests)
        if (r.msg == msg) found.push_back(r);
    return found;
}

std::string FakeConsole::frameBlockName(int slot) const { return "/" + prefix_ + "Kest3_" + std::to_string(slot); }

SharedMemory& FakeConsole::frameBlock(int slot) {
    auto& block = frameBlocks_[slot];
    if (!block) {
        std::string error;
        block = SharedMemory::createOrOpen(frameBlockName(slot), frame_block::kSize, error);
        if (!block) throw std::runtime_error(error);
        std::memset(block->bytes(), 0, frame_block::kSize);
    }
    return *block;
}

void FakeConsole::setPixel(int slot, int row, int column, std::int16_t value) {
    auto* pixels = reinterpret_cast<std::int16_t*>(frameBlock(slot).bytes());
    pixels[row * frame_block::kWidth + column] = value;
}

void FakeConsole::fillPixels(int slot, std::int16_t value) {
    auto* pixels = reinterpret_cast<std::int16_t*>(frameBlock(slot).bytes());
    for (std::size_t i = 0; i < frame_block::kPixelCount; ++i) pixels[i] = value;
}

void FakeConsole::renewFrameBlock(int slot) {
    removeFrameBlock(slot);
    frameBlock(slot);
}

void FakeConsole::removeFrameBlock(int slot) { frameBlocks_.erase(slot); }

std::intptr_t FakeConsole::sendFrame(WindowHandle window, std::intptr_t frameCount, int slot) {
    // The console completes the block with the factory record it holds before each notice.
    std::memcpy(frameBlock(slot).bytes() + frame_block::kFactoryInfoOffset, factory.bytes.data(), FactoryInfo::kSize);
    return send(window, 1326, frameCount, slot);
}

void FakeConsole::post(WindowHandle window, std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam) {
    posted_.push_back({window, Request{msg, wParam, lParam}});
}

WindowHandle FakeConsole::createWindow(WindowHandler handler) {
    if (!running_) return 0;
    WindowHandle window = nextWindow_++;
    windows_[window] = std::move(handler);
    return window;
}

std::intptr_t FakeConsole::send(WindowHandle window, std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam) {
    if (!running_) return 0;
    if (window == kConsoleWindow) return answer(msg, wParam, lParam);
    auto it = windows_.find(window);
    if (it == windows_.end()) return 0;
    auto handler = it->second;
    return handler(msg, wParam, lParam);
}

void FakeConsole::pump(std::chrono::milliseconds) {
    while (!posted_.empty()) {
        auto [window, r] = posted_.front();
        posted_.pop_front();
        if (auto it = windows_.find(window); it != windows_.end()) {
            auto handler = it->second;
            handler(r.msg, r.wParam, r.lParam);
        }
    }
}

int FakeConsole::addGoneListener(std::function<void()> listener) {
    int token = nextToken_++;
    listeners_.emplace(token, std::move(listener));
    return token;
}

void FakeConsole::publishRecords() {
    std::memcpy(command_->bytes(), factory.bytes.data(), FactoryInfo::kSize);
    std::memcpy(command_->bytes() + 1024, console.bytes.data(), ConsoleBlock::kSize);
}

std::intptr_t FakeConsole::answer(std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam) {
    requests.push_back({msg, wParam, lParam});
    switch (msg) {
        case 1326:
            if (currentSlot == 0) return 0;
            if (command_) publishRecords();
            return currentSlot;
        case 1334:
            for (int slot = 0; slot < static_cast<int>(serials.size()); ++slot) {
                if (serials[static_cast<std::size_t>(slot)] != lParam) continue;
                currentSlot = slot;
                if (command_) publishRecords();
                send(static_cast<WindowHandle>(wParam), 1334, lParam, slot);
                return slot;
            }
            return 0;
        case 1336: {
            if (!command_) return 0;
            const char* text = reinterpret_cast<const char*>(command_->bytes());
            setupPathSeen.assign(text, strnlen(text, 1024));
            return 0;
        }
        case 1339: {
            if (!command_) return 0;
            std::string list;
            for (std::size_t slot = 0; slot < serials.size(); ++slot)
                list += (slot ? "," : "") + std::to_string(serials[slot]);
            std::memcpy(command_->bytes(), list.c_str(), list.size() + 1);
            return 0;
        }
        default:
            return 0;
    }
}

}  // namespace kestrom::test
