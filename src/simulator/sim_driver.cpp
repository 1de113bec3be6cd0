// The driver: device names, handles, probe and open rules, frame reads, attach and detach, faults.
#include "simulator/sim_driver.h"

#include <cerrno>
#include <condition_variable>
#include <map>
#include <stdexcept>

#include "camera_records/requests.h"
#include "simulator/sim_camera.h"
#include "simulator/sim_clock.h"

namespace kestrom::sim {

namespace {

using SteadyClock = std::chrono::steady_clock;

// A read with nothing to deliver gives up after this long, so the reader can look at its stop flag.
constexpr auto kReadTimeout = std::chrono::milliseconds(100);

int deviceIndexOf(const std::string& path) {
    for (int i = 0; i < kDeviceNameCount; ++i)
        if (path == deviceName(i)) return i;
    return -1;
}

}  // namespace

struct Driver::Impl {
    struct Slot {
        std::unique_ptr<Camera> camera;     // none: no camera configured at this name
        bool attached = false;
        DeviceHandle workingHandle = kNoDevice;
        std::optional<int> openFault;
        std::map<std::uint32_t, int> requestFaults;
        int readFaults = 0;
        int readFaultError = 0;
    };
    struct Handle {
        int deviceIndex;
        bool working;       // a probe handle has no access rights
        bool dead = false;  // its camera was detached
    };

    explicit Impl(const Config& config) : clock(config.deterministic) {}

    Slot* slotOf(int deviceIndex) {
        if (deviceIndex < 0 || deviceIndex >= kDeviceNameCount || !slots[deviceIndex].camera) return nullptr;
        return &slots[deviceIndex];
    }

    // Checks a handle for a request or read; the slot on success.
    Slot* usable(DeviceHandle device, int& error) {
        auto it = handles.find(device);
        if (it == handles.end()) {
            error = EBADF;
            return nullptr;
        }
        if (!it->second.working) {
            error = EACCES;
            return nullptr;
        }
        if (it->second.dead) {
            error = ENODEV;
            return nullptr;
        }
        return &slots[it->second.deviceIndex];
    }

    void tickAll() {
        std::int64_t now = clock.nowMicros();
        for (Slot& s : slots)
            if (s.camera) s.camera->tick(now);
    }

    mutable std::mutex mutex;
    std::condition_variable changed;
    SimClock clock;
    std::array<Slot, kDeviceNameCount> slots;
    std::map<DeviceHandle, Handle> handles;
    DeviceHandle nextHandle = 1;
    std::function<void()> onDeviceChange;
    std::vector<RequestRecord> log;
    double lastSynthesisMicros = 0.0;
};

Driver::Driver(Config config) : impl_(std::make_unique<Impl>(config)) {
    for (const CameraConfig& c : config.cameras) {
        if (c.deviceIndex < 0 || c.deviceIndex >= kDeviceNameCount)
            throw std::invalid_argument("camera device index outside 0..10");
        Impl::Slot& slot = impl_->slots[c.deviceIndex];
        if (slot.camera) throw std::invalid_argument("two cameras at one device index");
        slot.camera = std::make_unique<Camera>(c, config.stateDirectory, config.seed);
        slot.camera->powerOn();
        slot.attached = c.attached;
    }
}

Driver::~Driver() = default;

DeviceHandle Driver::open(const std::string& path, DeviceAccess access, int& error) {
    int index = deviceIndexOf(path);
    std::lock_guard lock(impl_->mutex);
    Impl::Slot* slot = impl_->slotOf(index);
    if (slot == nullptr) {
        error = ENOENT;
        return kNoDevice;
    }
    if (!slot->attached) {
        error = ENODEV;
        return kNoDevice;
    }
    if (slot->workingHandle != kNoDevice) {
        error = EBUSY;
        return kNoDevice;
    }
    bool working = access == DeviceAccess::ReadWrite;
    if (working && slot->openFault) {
        error = *slot->openFault;
        slot->openFault.reset();
        return kNoDevice;
    }
    DeviceHandle handle = impl_->nextHandle++;
    impl_->handles.emplace(handle, Impl::Handle{index, working});
    if (working) slot->workingHandle = handle;
    return handle;
}

bool Driver::control(DeviceHandle device, std::uint32_t code, void* buffer, std::uint32_t length,
                     std::uint32_t& bytesReturned, int& error) {
    bytesReturned = 0;
    std::lock_guard lock(impl_->mutex);
    auto it = impl_->handles.find(device);
    impl_->log.push_back({it == impl_->handles.end() ? -1 : it->second.deviceIndex, code, length});
    // Tests look at the latest requests; a console that runs for days must not grow with them.
    if (impl_->log.size() > kKeptRequests) impl_->log.erase(impl_->log.begin(), impl_->log.begin() + kKeptRequests / 2);
    Impl::Slot* slot = impl_->usable(device, error);
    if (slot == nullptr) return false;
    if (auto fault = slot->requestFaults.find(code); fault != slot->requestFaults.end()) {
        error = fault->second;
        slot->requestFaults.erase(fault);
        return false;
    }
    bool ok = slot->camera->handle(code, static_cast<std::uint8_t*>(buffer), length, impl_->clock.nowMicros(), error);
    if (ok) bytesReturned = length;
    impl_->changed.notify_all();
    return ok;
}

bool Driver::read(DeviceHandle device, void* buffer, std::uint32_t length, std::uint32_t& bytesRead, int& error) {
    bytesRead = 0;
    std::unique_lock lock(impl_->mutex);
    Impl::Slot* slot = impl_->usable(device, error);
    if (slot == nullptr) return false;
    if (length != kFrameReadSize) {
        error = EINVAL;
        return false;
    }
    if (buffer == nullptr) {
        error = EFAULT;
        return false;
    }
    if (slot->readFaults > 0) {
        --slot->readFaults;
        error = slot->readFaultError;
        return false;
    }

    const auto deadline = SteadyClock::now() + kReadTimeout;
    int missed = 0;
    for (;;) {
        // The handle may have been closed or its camera detached while this read waited.
        slot = impl_->usable(device, error);
        if (slot == nullptr) return false;
        Camera& camera = *slot->camera;
        camera.tick(impl_->clock.nowMicros());
        auto wakeAt = deadline;
        if (camera.acquiring()) {
            if (impl_->clock.manual()) {
                if (camera.frameReady) {
                    camera.frameReady = false;
                    missed = camera.pendingMissed;
                    camera.pendingMissed = 0;
                    break;
                }
            } else if (std::int64_t period = camera.framePeriodMicros(); period > 0) {
                auto now = SteadyClock::now();
                auto step = std::chrono::microseconds(period);
                if (!camera.nextFrameDue) camera.nextFrameDue = now + step;
                if (now >= *camera.nextFrameDue) {
                    missed = static_cast<int>((now - *camera.nextFrameDue) / step);
                    *camera.nextFrameDue += step * (missed + 1);
                    break;
                }
                wakeAt = std::min(wakeAt, *camera.nextFrameDue);
            }
        }
        if (SteadyClock::now() >= deadline) {
            error = EAGAIN;
            return false;
        }
        impl_->changed.wait_until(lock, wakeAt);
    }

    slot->camera->fillFrame(static_cast<std::uint8_t*>(buffer), impl_->clock.nowMicros(), missed,
                            impl_->lastSynthesisMicros);
    bytesRead = length;
    return true;
}

void Driver::close(DeviceHandle device) {
    std::lock_guard lock(impl_->mutex);
    auto it = impl_->handles.find(device);
    if (it == impl_->handles.end()) return;
    Impl::Slot& slot = impl_->slots[it->second.deviceIndex];
    if (it->second.working && !it->second.dead && slot.workingHandle == device) {
        slot.workingHandle = kNoDevice;
        slot.camera->stopAcquisition();
    }
    impl_->handles.erase(it);
    impl_->changed.notify_all();
}

void Driver::attach(int deviceIndex) {
    std::function<void()> notify;
    {
        std::lock_guard lock(impl_->mutex);
        Impl::Slot* slot = impl_->slotOf(deviceIndex);
        if (slot == nullptr || slot->attached) return;
        slot->attached = true;
        slot->camera->powerOn();
        notify = impl_->onDeviceChange;
    }
    if (notify) notify();
}

void Driver::detach(int deviceIndex) {
    std::function<void()> notify;
    {
        std::lock_guard lock(impl_->mutex);
        Impl::Slot* slot = impl_->slotOf(deviceIndex);
        if (slot == nullptr || !slot->attached) return;
        slot->attached = false;
        slot->workingHandle = kNoDevice;
        for (auto& [handle, h] : impl_->handles)
            if (h.deviceIndex == deviceIndex) h.dead = true;
        impl_->changed.notify_all();
        notify = impl_->onDeviceChange;
    }
    if (notify) notify();
}

void Driver::setDeviceChangeCallback(std::function<void()> callback) {
    std::lock_guard lock(impl_->mutex);
    impl_->onDeviceChange = std::move(callback);
}

bool Driver::isAttached(int deviceIndex) const {
    std::lock_guard lock(impl_->mutex);
    const Impl::Slot* slot = impl_->slotOf(deviceIndex);
    return slot != nullptr && slot->attached;
}

void Driver::failNextRequest(int deviceIndex, std::uint32_t code, int error) {
    std::lock_guard lock(impl_->mutex);
    if (Impl::Slot* slot = impl_->slotOf(deviceIndex)) slot->requestFaults[code] = error;
}

void Driver::failNextOpen(int deviceIndex, int error) {
    std::lock_guard lock(impl_->mutex);
    if (Impl::Slot* slot = impl_->slotOf(deviceIndex)) slot->openFault = error;
}

void Driver::failReads(int deviceIndex, int count, int error) {
    std::lock_guard lock(impl_->mutex);
    if (Impl::Slot* slot = impl_->slotOf(deviceIndex)) {
        slot->readFaults = count;
        slot->readFaultError = error;
    }
}

void Driver::editStatus(int deviceIndex, const std::function<void(ConsoleBlock&)>& edit) {
    std::lock_guard lock(impl_->mutex);
    if (Impl::Slot* slot = impl_->slotOf(deviceIndex)) {
        slot->camera->tick(impl_->clock.nowMicros());
        edit(slot->camera->status());
    }
}

void Driver::editFactory(int deviceIndex, const std::function<void(FactoryInfo&)>& edit) {
    std::lock_guard lock(impl_->mutex);
    if (Impl::Slot* slot = impl_->slotOf(deviceIndex)) edit(slot->camera->factory());
}

void Driver::setBeam(int deviceIndex, const BeamConfig& beam) {
    std::lock_guard lock(impl_->mutex);
    if (Impl::Slot* slot = impl_->slotOf(deviceIndex)) slot->camera->setBeam(beam);
}

BeamConfig Driver::beam(int deviceIndex) const {
    std::lock_guard lock(impl_->mutex);
    Impl::Slot* slot = impl_->slotOf(deviceIndex);
    return slot == nullptr ? BeamConfig{} : slot->camera->config().beam;
}

ConsoleBlock Driver::status(int deviceIndex) const {
    std::lock_guard lock(impl_->mutex);
    Impl::Slot* slot = impl_->slotOf(deviceIndex);
    if (slot == nullptr) return {};
    slot->camera->tick(impl_->clock.nowMicros());
    return slot->camera->status();
}

FactoryInfo Driver::factory(int deviceIndex) const {
    std::lock_guard lock(impl_->mutex);
    Impl::Slot* slot = impl_->slotOf(deviceIndex);
    return slot == nullptr ? FactoryInfo{} : slot->camera->factory();
}

std::vector<std::string> Driver::damagedState() const {
    std::lock_guard lock(impl_->mutex);
    std::vector<std::string> lines;
    for (const auto& slot : impl_->slots)
        if (slot.camera) lines.insert(lines.end(), slot.camera->damagedState().begin(), slot.camera->damagedState().end());
    return lines;
}

std::vector<Driver::RequestRecord> Driver::requestLog() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->log;
}

void Driver::produceFrame(int deviceIndex) {
    std::lock_guard lock(impl_->mutex);
    Impl::Slot* slot = impl_->slotOf(deviceIndex);
    if (slot == nullptr || !slot->attached || !slot->camera->acquiring()) return;
    Camera& camera = *slot->camera;
    if (camera.frameReady) ++camera.pendingMissed;
    camera.frameReady = true;
    impl_->clock.advance(camera.framePeriodMicros());
    impl_->tickAll();
    impl_->changed.notify_all();
}

void Driver::advanceTime(int milliseconds) {
    std::lock_guard lock(impl_->mutex);
    impl_->clock.advance(std::int64_t{milliseconds} * 1000);
    impl_->tickAll();
    impl_->changed.notify_all();
}

std::int64_t Driver::simulatedMilliseconds() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->clock.nowMicros() / 1000;
}

void Driver::setReplayFrame(int deviceIndex, const std::vector<std::int16_t>& pixels) {
    std::lock_guard lock(impl_->mutex);
    if (Impl::Slot* slot = impl_->slotOf(deviceIndex)) slot->camera->setReplay(pixels);
}

double Driver::lastSynthesisMicroseconds() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->lastSynthesisMicros;
}

}  // namespace kestrom::sim
