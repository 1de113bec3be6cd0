// The acquisition thread: frame reads, delivery on the main thread, subscriber requests, ending.
#include "camera_link/camera_driver.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "camera_records/byte_order.h"
#include "camera_records/console_block.h"

namespace kestrom {

namespace {

// How long the loop rests when it has nothing to read; wake() and terminate() cut it short.
constexpr auto kIdleWait = std::chrono::milliseconds(5);

std::string windowLine(WindowHandle window, const char* text) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(window));
    return std::string(hex) + ": " + text;
}

}  // namespace

std::unique_ptr<CameraDriver> CameraDriver::create(int slot, AcquisitionContext& context,
                                                   std::shared_ptr<DeviceLease> lease, std::string& error) {
    if (slot < kFirstCameraSlot || slot > kLastCameraSlot) {
        error = "No camera slot " + std::to_string(slot);
        return nullptr;
    }
    CameraSlot& cameraSlot = context.state.slots[static_cast<std::size_t>(slot)];
    if (cameraSlot.Thread.load() != nullptr) {
        error = "Slot " + std::to_string(slot) + " already has a thread";
        return nullptr;
    }
    auto block = SharedMemory::createOrOpen(context.frameBlockPrefix + std::to_string(slot), frame_block::kSize, error);
    if (!block) return nullptr;
    std::memset(block->data(), 0, frame_block::kSize);

    std::unique_ptr<CameraDriver> driver(new CameraDriver(slot, context, std::move(lease), std::move(block)));
    // The slot holds the thread before it runs, so a thread that ends at once still clears its own entry.
    cameraSlot.Thread.store(driver.get());
    try {
        driver->thread_ = std::thread([d = driver.get()] { d->run(); });
    } catch (const std::system_error& e) {
        CameraDriver* self = driver.get();
        cameraSlot.Thread.compare_exchange_strong(self, nullptr);
        error = std::string("Cannot start the acquisition thread: ") + e.what();
        return nullptr;
    }
    return driver;
}

CameraDriver::CameraDriver(int slot, AcquisitionContext& context, std::shared_ptr<DeviceLease> lease,
                           std::unique_ptr<SharedMemory> block)
    : context_(context),
      slot_(slot),
      lease_(std::move(lease)),
      block_(std::move(block)),
      mappingHandle_(block_->handle()),
      frameBlockName_(block_->name()) {}

CameraDriver::~CameraDriver() {
    terminate();
    join();
}

void CameraDriver::terminate() {
    terminate_.store(true);
    wake();
    context_.mainThread.cancelWaits();
    // A frame notice that waits for its subscribers' answers ends now; they stay subscribed.
    context_.port.wakeRemoteWaits();
}

void CameraDriver::wake() {
    {
        std::lock_guard lock(idleMutex_);
        woken_ = true;
    }
    idleCv_.notify_all();
}

void CameraDriver::join() {
    if (thread_.joinable()) thread_.join();
}

void CameraDriver::idleWait() {
    std::unique_lock lock(idleMutex_);
    idleCv_.wait_for(lock, kIdleWait, [&] { return woken_ || terminate_.load(); });
    woken_ = false;
}

void CameraDriver::run() {
    // Lowest priority: frames wait in the driver, the window's own work does not. Best effort.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);

    while (!terminate_.load()) {
        passes_.fetch_add(1, std::memory_order_relaxed);
        CameraSlot& s = cameraSlot();
        if (!s.hasDevice() || s.Paused.load()) {
            idleWait();
            continue;
        }
        bool attempted = readFrame();
        if (readStatus_ != 0 && readStatus_ != kSkippedStatus) {
            failedReads_ = 0;
            if (context_.mainThread.callAndWait([this] { deliverFrame(); }, terminate_)) {
                notifyOtherProcesses();
                carryOutRequests();
            }
        } else if (readStatus_ == kSkippedStatus) {
            failedReads_ = 0;
        } else if (!attempted || ++failedReads_ > 1) {
            // A failed read is retried at once; one that keeps failing (a camera pulled out while
            // it was read) is retried at the idle pace until the console closes the camera.
            idleWait();
        }
        readStatus_ = 0;
    }
    end();
}

bool CameraDriver::readFrame() {
    CameraSlot& s = cameraSlot();
    // Only the device this thread was started with, and only while its slot still holds it.
    if (s.AcquireState.load() != 1 || !lease_ || s.Device.load() != lease_->device()) return false;
    if (!lease_->beginUse()) return false;
    std::uint32_t bytes = 0;
    int error = 0;
    // Straight into the shared block: subscribers read the very bytes the driver wrote.
    bool ok = context_.io.read(lease_->device(), block_->data(), frame_block::kSize, bytes, error);
    lease_->endUse();
    readStatus_ = ok ? 1u : 0u;
    bytesRead_ = bytes;
    if (ok) {
        std::uint32_t flags =
            readBE32(block_->bytes() + frame_block::kConsoleBlockOffset + ConsoleBlock::kStatusFlags);
        if (flags & ConsoleBlock::kDoNotDeliver) readStatus_ = kSkippedStatus;
    }
    return true;
}

void CameraDriver::deliverFrame() {
    ConsoleState& state = context_.state;
    CameraSlot& s = cameraSlot();
    debugAtDelivery_ = state.debugLogging;
    remoteReceivers_.clear();
    // Acquisition may have been switched off or the camera closed since the read.
    if (s.AcquireState.load() != 1 || !s.hasDevice() || bytesRead_ == 0) return;
    std::int32_t frameCount = s.FrameCount.fetch_add(1) + 1;
    frameCount_ = frameCount;

    if (state.currentSlot == slot_) {
        std::memcpy(state.console.bytes.data(), block_->bytes() + frame_block::kConsoleBlockOffset,
                    ConsoleBlock::kSize);
        context_.host.showFrameCounters(frameCount, state.console.transferEfficiency());
        context_.host.showConsoleBlock();
    }
    std::memcpy(s.Console.bytes.data(), block_->bytes() + frame_block::kConsoleBlockOffset, ConsoleBlock::kSize);
    // The slot's own camera's record, never that of the camera read last.
    std::memcpy(block_->bytes() + frame_block::kFactoryInfoOffset, s.Factory.bytes.data(), FactoryInfo::kSize);

    // Walk a copy: a subscriber may add windows or queue requests while it handles the frame.
    decltype(subscribers_) table;
    {
        std::lock_guard lock(lock_);
        table = subscribers_;
    }
    for (const auto& entry : table) {
        if (!entry) continue;
        if (entry->receiving) {
            // Windows of other processes are told together from the thread, below; ours at once.
            if (context_.port.isRemote(entry->window))
                remoteReceivers_.push_back(entry->window);
            else
                context_.port.send(entry->window, kNewFrameMessage, frameCount, slot_);
            if (state.debugLogging) state.history.appendRaw(windowLine(entry->window, "Frame sent."));
        } else if (state.debugLogging) {
            state.history.appendRaw(windowLine(entry->window, "Frame NOT sent. Window not receiving."));
        }
    }
}

// On the thread: the frame notice goes to every receiving window of other processes at once and the
// thread waits for all their answers within one bound, so the main thread, the other cameras and
// the requests of every subscriber go on meanwhile. A window that does not answer in time is gone.
void CameraDriver::notifyOtherProcesses() {
    if (remoteReceivers_.empty()) return;
    context_.port.sendToAll(remoteReceivers_, kNewFrameMessage, frameCount_, slot_, &terminate_);
}

void CameraDriver::carryOutRequests() {
    std::vector<std::string> lines;
    const bool debug = debugAtDelivery_;
    {
        std::lock_guard lock(lock_);
        auto apply = [&](std::vector<WindowHandle>& stack, auto&& action) {
            // Last in, first out.
            for (auto it = stack.rbegin(); it != stack.rend(); ++it)
                for (auto& entry : subscribers_)
                    if (entry && entry->window == *it) action(entry);
            stack.clear();
        };
        apply(closeRequests_, [&](std::optional<Subscriber>& entry) {
            if (debug) lines.push_back(windowLine(entry->window, "Window removed as subscriber."));
            entry.reset();
        });
        apply(stopRequests_, [&](std::optional<Subscriber>& entry) {
            entry->receiving = false;
            if (debug) lines.push_back(windowLine(entry->window, "Window issued stop."));
        });
        apply(startRequests_, [&](std::optional<Subscriber>& entry) {
            entry->receiving = true;
            if (debug) lines.push_back(windowLine(entry->window, "Window issued start."));
        });
    }
    for (const auto& line : lines) context_.state.history.appendRaw(line);
}

void CameraDriver::end() {
    auto debug = [&](const char* text) {
        if (context_.debugOutput) context_.debugOutput(text);
    };
    debug("Closing open windows");
    std::vector<WindowHandle> windows;
    {
        std::lock_guard lock(lock_);
        for (const auto& entry : subscribers_)
            if (entry) windows.push_back(entry->window);
    }
    for (WindowHandle window : windows) context_.port.post(window, kClosingMessage, window, slot_);
    debug("Terminating thread");
    block_.reset();
    // A newer thread of this slot may already be in the field; leave it there.
    CameraDriver* self = this;
    cameraSlot().Thread.compare_exchange_strong(self, nullptr);
    finished_.store(true);
}

bool CameraDriver::addSubscriber(WindowHandle window) {
    bool added = false;
    {
        std::lock_guard lock(lock_);
        for (const auto& entry : subscribers_)
            if (entry && entry->window == window) return true;
        for (auto& entry : subscribers_) {
            if (!entry) {
                entry = Subscriber{window, true};
                added = true;
                break;
            }
        }
    }
    if (added && context_.state.debugLogging)
        context_.state.history.appendRaw(windowLine(window, "Window added as subscriber."));
    return added;
}

void CameraDriver::queueClose(WindowHandle window) {
    std::lock_guard lock(lock_);
    closeRequests_.push_back(window);
}

bool CameraDriver::dropSubscriber(WindowHandle window) {
    std::lock_guard lock(lock_);
    bool found = false;
    for (auto& entry : subscribers_) {
        if (entry && entry->window == window) {
            entry.reset();
            found = true;
        }
    }
    for (auto* requests : {&closeRequests_, &stopRequests_, &startRequests_})
        std::erase(*requests, window);
    return found;
}

void CameraDriver::queueStop(WindowHandle window) {
    std::lock_guard lock(lock_);
    stopRequests_.push_back(window);
}

void CameraDriver::queueStart(WindowHandle window) {
    std::lock_guard lock(lock_);
    startRequests_.push_back(window);
}

std::vector<Subscriber> CameraDriver::subscribers() const {
    std::vector<Subscriber> result;
    std::lock_guard lock(lock_);
    for (const auto& entry : subscribers_)
        if (entry) result.push_back(*entry);
    return result;
}

}  // namespace kestrom
