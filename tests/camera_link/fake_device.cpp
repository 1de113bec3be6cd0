// The hand-fed test driver.
#include "fake_device.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "camera_records/byte_order.h"
#include "camera_records/requests.h"

namespace kestrom::test {

Frame Frame::make(std::int16_t pixel, std::uint32_t statusFlags, std::int32_t efficiency) {
    Frame frame;
    for (std::size_t i = 0; i < frame_block::kPixelCount; ++i)
        std::memcpy(&frame.bytes[2 * i], &pixel, sizeof pixel);
    ConsoleBlock block;
    block.setWord(ConsoleBlock::kStatusFlags, static_cast<std::int32_t>(statusFlags));
    block.setWord(ConsoleBlock::kTransferEfficiency, efficiency);
    std::memcpy(&frame.bytes[frame_block::kConsoleBlockOffset], block.bytes.data(), ConsoleBlock::kSize);
    // What the driver leaves where the console writes its FactoryInfo.
    std::memset(&frame.bytes[frame_block::kFactoryInfoOffset], 0xEE, 256);
    return frame;
}

ConsoleBlock Frame::consoleBlock() const {
    ConsoleBlock block;
    std::memcpy(block.bytes.data(), &bytes[frame_block::kConsoleBlockOffset], ConsoleBlock::kSize);
    return block;
}

DeviceHandle FakeDevice::open(const std::string&, DeviceAccess, int&) { return openCamera(); }

DeviceHandle FakeDevice::openCamera() {
    std::lock_guard lock(mutex_);
    DeviceHandle handle = next_++;
    cameras_[handle] = Camera{};
    return handle;
}

bool FakeDevice::control(DeviceHandle device, std::uint32_t code, void* buffer, std::uint32_t length,
                         std::uint32_t& bytesReturned, int& error) {
    std::lock_guard lock(mutex_);
    requests_.push_back(code);
    auto it = cameras_.find(device);
    if (it == cameras_.end() || !it->second.open) {
        error = EBADF;
        return false;
    }
    if (auto f = failRequests_.find(code); f != failRequests_.end()) {
        error = f->second;
        failRequests_.erase(f);
        return false;
    }
    if (length != 4) {
        error = EINVAL;
        return false;
    }
    std::int32_t value;
    std::memcpy(&value, buffer, 4);
    if (code == req::SetAcquire.code) it->second.acquire = value;
    if (code == req::GetAcquire.code) value = answerAcquire_ ? acquireAnswer_ : it->second.acquire;
    std::memcpy(buffer, &value, 4);
    bytesReturned = 4;
    return true;
}

bool FakeDevice::read(DeviceHandle device, void* buffer, std::uint32_t length, std::uint32_t& bytesRead,
                      int& error) {
    std::unique_lock lock(mutex_);
    auto it = cameras_.find(device);
    if (it == cameras_.end()) {
        error = EBADF;
        return false;
    }
    // The driver takes whole frame blocks only, as the real one does.
    if (length != frame_block::kSize) {
        error = EINVAL;
        bytesRead = 0;
        return false;
    }
    Camera& camera = it->second;
    ++camera.readCalls;
    if (!camera.open) ++camera.readsOfClosed;
    changed_.notify_all();
    auto fail = [&](int code) {
        ++camera.failedReads;
        changed_.notify_all();
        error = code;
        bytesRead = 0;
        return false;
    };
    if (camera.failReads > 0) {
        --camera.failReads;
        return fail(camera.failError);
    }
    ++camera.waiting;
    changed_.notify_all();
    bool ready = changed_.wait_for(lock, kReadTimeout,
                                   [&] { return !camera.open || camera.detached || !camera.frames.empty(); });
    --camera.waiting;
    if (!camera.open) return fail(EBADF);
    if (camera.detached) return fail(ENODEV);
    if (!ready) return fail(ETIMEDOUT);
    Frame frame = std::move(camera.frames.front());
    camera.frames.pop_front();
    std::uint32_t n = std::min<std::uint32_t>(length, static_cast<std::uint32_t>(frame.bytes.size()));
    std::memcpy(buffer, frame.bytes.data(), n);
    bytesRead = n;
    return true;
}

void FakeDevice::close(DeviceHandle device) {
    std::lock_guard lock(mutex_);
    if (auto it = cameras_.find(device); it != cameras_.end()) {
        it->second.open = false;
        ++it->second.closeCalls;
    }
    changed_.notify_all();
}

void FakeDevice::closeAll() {
    std::lock_guard lock(mutex_);
    for (auto& [handle, camera] : cameras_) camera.open = false;
    changed_.notify_all();
}

void FakeDevice::pushFrame(DeviceHandle device, const Frame& frame) {
    std::lock_guard lock(mutex_);
    cameras_[device].frames.push_back(frame);
    changed_.notify_all();
}

void FakeDevice::detach(DeviceHandle device) {
    std::lock_guard lock(mutex_);
    cameras_[device].detached = true;
    changed_.notify_all();
}

void FakeDevice::failReads(DeviceHandle device, int count, int error) {
    std::lock_guard lock(mutex_);
    cameras_[device].failReads = count;
    cameras_[device].failError = error;
}

void FakeDevice::failNextRequest(std::uint32_t code, int error) {
    std::lock_guard lock(mutex_);
    failRequests_[code] = error;
}

void FakeDevice::answerAcquire(std::int32_t value) {
    std::lock_guard lock(mutex_);
    answerAcquire_ = true;
    acquireAnswer_ = value;
}

int FakeDevice::count(DeviceHandle device, int Camera::*counter) const {
    std::lock_guard lock(mutex_);
    auto it = cameras_.find(device);
    return it == cameras_.end() ? 0 : it->second.*counter;
}

int FakeDevice::readCalls(DeviceHandle device) const { return count(device, &Camera::readCalls); }

bool FakeDevice::isOpen(DeviceHandle device) const {
    std::lock_guard lock(mutex_);
    auto it = cameras_.find(device);
    return it != cameras_.end() && it->second.open;
}

int FakeDevice::closeCalls(DeviceHandle device) const { return count(device, &Camera::closeCalls); }

int FakeDevice::readsOfClosed(DeviceHandle device) const { return count(device, &Camera::readsOfClosed); }

int FakeDevice::failedReads(DeviceHandle device) const { return count(device, &Camera::failedReads); }

std::int32_t FakeDevice::acquire(DeviceHandle device) const {
    std::lock_guard lock(mutex_);
    auto it = cameras_.find(device);
    return it == cameras_.end() ? 0 : it->second.acquire;
}

std::vector<std::uint32_t> FakeDevice::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

bool FakeDevice::waitForReader(DeviceHandle device, int minCalls, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
        const Camera& camera = cameras_[device];
        return camera.waiting > 0 && camera.readCalls >= minCalls;
    });
}

}  // namespace kestrom::test
