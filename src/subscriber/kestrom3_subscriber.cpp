// The subscriber component's requests, notifications, shared memory reads and timers.
#include "subscriber/kestrom3_subscriber.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "camera_records/byte_order.h"
#include "camera_records/factory_info.h"
#include "platform/shared_memory.h"
#include "camera_records/subscriber_protocol.h"

namespace kestrom {

namespace proto = subscriber_protocol;

TKesTrom3Subscriber::TKesTrom3Subscriber(ConsoleLink& link, SubscriberOptions options)
    : link_(link),
      options_(std::move(options)),
      attachRetryTimer_(options_.attachRetryInterval),
      deferredFrameTimer_(options_.deferredEventDelay),
      deferredCloseTimer_(options_.deferredEventDelay) {
    goneToken_ = link_.addGoneListener([this] { consoleGone(); });
}

TKesTrom3Subscriber::~TKesTrom3Subscriber() {
    attachRetryTimer_.stop();
    deferredFrameTimer_.stop();
    deferredCloseTimer_.stop();
    link_.removeGoneListener(goneToken_);
    if (window_) link_.destroyWindow(window_);
}

// The console puts its names after KESTROM_SHM_NAMESPACE when that is set; so does every
// subscriber that is not given a prefix of its own.
std::string TKesTrom3Subscriber::namePrefix() const {
    if (!options_.sharedMemoryPrefix.empty()) return options_.sharedMemoryPrefix;
    const char* space = std::getenv("KESTROM_SHM_NAMESPACE");
    return space ? space : "";
}

std::string TKesTrom3Subscriber::commandBlockName() const {
    return "/" + namePrefix() + proto::kCommandBlockName;
}

std::string TKesTrom3Subscriber::frameBlockName(int slot) const {
    return "/" + namePrefix() + proto::kFrameBlockName + std::to_string(slot);
}

// FindWindow, and a window of its own that the console can address.
void TKesTrom3Subscriber::locateConsole() {
    consoleWindow_ = link_.findConsole();
    if (consoleWindow_ && !window_)
        window_ = link_.createWindow(
            [this](std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam) { return WndProc(msg, wParam, lParam); });
    // Without a window the console could not answer or notify: as good as not found.
    if (!window_) consoleWindow_ = 0;
    scheduleChanged();   // looking may have connected: a new descriptor to watch
}

std::intptr_t TKesTrom3Subscriber::request(std::uint32_t msg, std::intptr_t lParam) {
    if (!consoleWindow_) return 0;
    return link_.send(consoleWindow_, msg, static_cast<std::intptr_t>(window_), lParam);
}

void TKesTrom3Subscriber::takeFactory(const std::uint8_t* record) {
    std::memcpy(factoryCopy_.data(), record, factoryCopy_.size());
    for (std::size_t offset : {std::size_t{FactoryInfo::kDetectorWidth}, std::size_t{FactoryInfo::kDetectorHeight}}) {
        std::uint16_t value = readBE16(record + offset);
        std::memcpy(factoryCopy_.data() + offset, &value, sizeof value);
    }
    ibp_ = record[FactoryInfo::kIBP] == 1;
    FactoryInfo info;
    std::memcpy(info.bytes.data(), record, FactoryInfo::kSize);
    hScale_ = info.hScale();
    vScale_ = info.vScale();
}

bool TKesTrom3Subscriber::readCommandRecords(bool takeSerial) {
    std::lock_guard lock(lock_);
    std::string error;
    auto command = SharedMemory::openExisting(commandBlockName(), proto::kCommandRecordsSize,
                                              SharedMemory::Access::ReadOnly, error);
    if (!command) return false;
    const std::uint8_t* bytes = command->bytes();
    factoryArray_.assign(bytes, bytes + FactoryInfo::kSize);
    takeFactory(bytes);
    if (takeSerial) serial_ = readBE16(bytes + FactoryInfo::kSerialNumber);
    const std::uint8_t* console = bytes + proto::kCommandConsoleOffset;
    consoleArray_.assign(console, console + ConsoleBlock::kSize);
    std::memcpy(consoleCopy_.bytes.data(), console, ConsoleBlock::kSize);
    return true;
}

// The serial number in the factory record at offset 0 of "KIIICommand"; 0 when it cannot be read.
int TKesTrom3Subscriber::commandSerial() const {
    std::string error;
    auto command = SharedMemory::openExisting(commandBlockName(), proto::kCommandRecordsSize,
                                              SharedMemory::Access::ReadOnly, error);
    return command ? readBE16(command->bytes() + FactoryInfo::kSerialNumber) : 0;
}

// A connect attaches to the tab shown at that moment; after a serial search that must still be
// the camera found. Another camera is left at once, before any of its frames is taken.
bool TKesTrom3Subscriber::connectedToSought(int slot) {
    if (soughtSerial_ == 0) return true;
    const int serial = commandSerial();
    if (slot == soughtTab_ && serial == soughtSerial_) return true;
    request(proto::kClose, slot);
    attachError_ = "Connected to tab " + std::to_string(slot) + " with camera " + std::to_string(serial) +
                   ", not to camera " + std::to_string(soughtSerial_) + " found in tab " + std::to_string(soughtTab_) +
                   "; left it";
    tab_ = soughtTab_;
    serial_ = 0;
    return false;
}

void TKesTrom3Subscriber::FindControl() {
    locateConsole();
    if (!consoleWindow_) return;
    tab_ = static_cast<int>(request(proto::kConnect, 0));
    if (tab_ == 0) return;
    if (!connectedToSought(tab_)) return;
    attachError_.clear();
    attached_ = true;
    readCommandRecords(true);
}

WindowHandle TKesTrom3Subscriber::Open() {
    FindControl();
    if (!consoleWindow_ || serial_ == 0) {
        startTimer(attachRetryTimer_);
    } else {
        // A retry still pending from an earlier Open would announce this attach a second time.
        stopTimer(attachRetryTimer_);
        raise(OnKestOpen);
    }
    return consoleWindow_;
}

int TKesTrom3Subscriber::FindSerial(int serial) {
    // Finding the console has no side effect on the console (FindControl's connect has), so a
    // host may look for a serial number before it has attached anywhere.
    if (!consoleWindow_) locateConsole();
    tab_ = static_cast<int>(request(proto::kFindSerial, serial));
    soughtSerial_ = tab_ != 0 ? serial : 0;
    soughtTab_ = tab_;
    if (tab_ != 0) {
        attached_ = true;
        readCommandRecords(false);
    }
    raise(OnKestOpen);
    return tab_;
}

std::string TKesTrom3Subscriber::GetSerialList() {
    if (!consoleWindow_) locateConsole();
    request(proto::kSerialList, 0);
    std::string error;
    auto command =
        SharedMemory::openExisting(commandBlockName(), proto::kCommandTextSize, SharedMemory::Access::ReadOnly, error);
    if (!command) return {};
    const char* text = reinterpret_cast<const char*>(command->bytes());
    return std::string(text, strnlen(text, proto::kCommandTextSize - 1));
}

bool TKesTrom3Subscriber::GetSerialList(ByteArray& array) {
    if (!consoleWindow_) locateConsole();
    request(proto::kSerialList, 0);
    std::string error;
    auto command =
        SharedMemory::openExisting(commandBlockName(), proto::kCommandTextSize, SharedMemory::Access::ReadOnly, error);
    if (!command) return false;
    std::lock_guard lock(lock_);
    serialListArray_.assign(command->bytes(), command->bytes() + proto::kCommandTextSize);
    array = serialListArray_;
    return true;
}

void TKesTrom3Subscriber::Start() { request(proto::kStart, tab_); }
void TKesTrom3Subscriber::Stop() { request(proto::kStop, tab_); }
void TKesTrom3Subscriber::Close() { request(proto::kClose, tab_); }

void TKesTrom3Subscriber::Calibrate() {
    if (tab_ == 0) throw SubscriberException(SubscriberError::CalibrateTab0);
    calibratePending_ = true;
    request(proto::kCalibrate, tab_);
}

void TKesTrom3Subscriber::SetMenuLockout(bool value) {
    menuLockout_ = value;
    // The console's word says whether its menus are enabled.
    request(proto::kMenuLockout, value ? 0 : 1);
}

void TKesTrom3Subscriber::SetPixelCorrection(bool value) {
    if (tab_ == 0) throw SubscriberException(SubscriberError::PixelCorrectionTab0);
    pixelCorrection_ = value;
    request(proto::kPixelCorrection, value ? 1 : 0);
}

void TKesTrom3Subscriber::SetGainCorrectionOnOff(bool value) {
    if (tab_ == 0) throw SubscriberException(SubscriberError::GainCorrectionTab0);
    gainCorrectionOn_ = value;
    request(proto::kGainCorrection, value ? 1 : 0);
}

void TKesTrom3Subscriber::SetGainFactor(int factor) {
    if (tab_ == 0) throw SubscriberException(SubscriberError::GainFactorTab0);
    request(proto::kGainFactor, factor);
}

void TKesTrom3Subscriber::SetSetupFilename(const std::string& name) {
    if (tab_ == 0) tab_ = 1;
    setupFilename_ = name;
    std::string error;
    auto command =
        SharedMemory::openExisting(commandBlockName(), proto::kCommandTextSize, SharedMemory::Access::ReadWrite, error);
    if (!command) {
        setupFilename_.clear();
        return;
    }
    std::size_t n = std::min(name.size(), proto::kCommandTextSize - 1);
    std::memcpy(command->bytes(), name.data(), n);
    command->bytes()[n] = 0;
    command.reset();
    request(proto::kLoadSetup, tab_);
}

DataArray TKesTrom3Subscriber::GetData() const {
    std::lock_guard lock(lock_);
    return lastPixels_.empty() ? DataArray{} : dataArrayFromPixels(lastPixels_.data());
}

ByteArray TKesTrom3Subscriber::GetConsole() const {
    std::lock_guard lock(lock_);
    return consoleArray_;
}

ByteArray TKesTrom3Subscriber::GetFactory() const {
    std::lock_guard lock(lock_);
    return factoryArray_;
}

ConsoleBlock TKesTrom3Subscriber::ConsoleCopy() const {
    std::lock_guard lock(lock_);
    return consoleCopy_;
}

std::array<std::uint8_t, 256> TKesTrom3Subscriber::FactoryCopy() const {
    std::lock_guard lock(lock_);
    return factoryCopy_;
}

std::intptr_t TKesTrom3Subscriber::WndProc(std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam) {
    switch (msg) {
        case proto::kConnect:
            frameArrived(wParam, lParam);
            return 0;
        case proto::kClose:
            consoleClosed();
            return 0;
        case proto::kFindSerial:
            serial_ = static_cast<int>(wParam);
            tab_ = static_cast<int>(lParam);
            return 0;
        case proto::kCalibrationDone:
            if (calibratePending_) {
                calibratePending_ = false;
                raise(OnCalibrateDone);
            }
            return 0;
        default:
            return 0;
    }
}

void TKesTrom3Subscriber::frameArrived(std::intptr_t frameCount, std::intptr_t slot) {
    // A host that reads frames from the timer takes one at a time.
    if (deferredFrameTimer_.running()) return;
    if (holdNewFrame_.load() && newFrame_.load()) return;
    // A notice of another slot than the one this component talks about is another camera's frame.
    if (tab_ != 0 && slot != tab_) return;

    std::lock_guard lock(lock_);
    newFrame_.store(true);
    if (tab_ == 0) tab_ = static_cast<int>(slot);
    std::string error;
    const std::uint8_t* block = frameBlock_.acquire(frameBlockName(tab_), error);
    // The copies of the last frame that could be read stay.
    if (!block) return;

    frameData_ = reinterpret_cast<const std::int16_t*>(block);
    std::memcpy(consoleCopy_.bytes.data(), block + frame_block::kConsoleBlockOffset, ConsoleBlock::kSize);
    const std::uint8_t* factory = block + frame_block::kFactoryInfoOffset;
    takeFactory(factory);
    lastPixels_.assign(frameData_, frameData_ + frame_block::kPixelCount);
    consoleArray_.assign(consoleCopy_.bytes.begin(), consoleCopy_.bytes.end());
    factoryArray_.assign(factory, factory + FactoryInfo::kSize);
    frameCount_ = frameCount;

    if (calibratePending_) {
        calibratePending_ = false;
        raise(OnCalibrateDone);
    }
    if (isLabVIEW_.load())
        startTimer(deferredFrameTimer_);
    else
        raise(OnNewFrame);
    frameData_ = nullptr;
}

void TKesTrom3Subscriber::consoleClosed() {
    attached_ = false;
    if (isLabVIEW_.load())
        startTimer(deferredCloseTimer_);
    else
        raise(OnKestClose);
}

// A console that ends while a camera is attached may not have posted its closing notice (it was
// killed); the host hears of it as a close all the same. Tab and Serial stay, as they do then.
void TKesTrom3Subscriber::consoleGone() {
    consoleWindow_ = 0;
    window_ = 0;
    scheduleChanged();
    if (attached_) consoleClosed();
}

void TKesTrom3Subscriber::startTimer(WindowTimer& timer) {
    timer.start(now());
    scheduleChanged();
}

void TKesTrom3Subscriber::stopTimer(WindowTimer& timer) {
    if (!timer.running()) return;
    timer.stop();
    scheduleChanged();
}

void TKesTrom3Subscriber::runDueTimers() {
    const auto time = now();
    std::vector<WindowTimer*> due;
    for (WindowTimer* timer : {&attachRetryTimer_, &deferredFrameTimer_, &deferredCloseTimer_})
        if (timer->isDue(time)) due.push_back(timer);
    std::sort(due.begin(), due.end(), [](WindowTimer* a, WindowTimer* b) { return a->dueAt() < b->dueAt(); });
    for (WindowTimer* timer : due) {
        // An earlier timer's event may have stopped this one.
        if (!timer->isDue(time)) continue;
        if (timer == &attachRetryTimer_) {
            // The camera a serial search found may have moved on: it is looked for again first.
            if (soughtSerial_ != 0 && consoleWindow_) {
                const int serial = soughtSerial_;
                tab_ = static_cast<int>(request(proto::kFindSerial, serial));
                soughtTab_ = tab_;
                if (tab_ != 0) readCommandRecords(false);
            }
            FindControl();
            if (consoleWindow_ && serial_ != 0) {
                stopTimer(attachRetryTimer_);
                raise(OnKestOpen);
            } else {
                startTimer(attachRetryTimer_);
            }
        } else if (timer == &deferredFrameTimer_) {
            stopTimer(deferredFrameTimer_);
            raise(OnNewFrame);
        } else {
            stopTimer(deferredCloseTimer_);
            raise(OnKestClose);
        }
    }
}

void TKesTrom3Subscriber::pump(std::chrono::milliseconds timeout) {
    const auto deadline = now() + timeout;
    for (;;) {
        runDueTimers();
        auto wait = deadline - now();
        if (auto timer = nextTimerIn()) wait = std::min<Clock::duration>(wait, *timer);
        link_.pump(std::max(std::chrono::milliseconds{0}, std::chrono::ceil<std::chrono::milliseconds>(wait)));
        runDueTimers();
        if (now() >= deadline) return;
    }
}

std::optional<std::chrono::milliseconds> TKesTrom3Subscriber::nextTimerIn() const {
    std::optional<Clock::time_point> first;
    for (const WindowTimer* timer : {&attachRetryTimer_, &deferredFrameTimer_, &deferredCloseTimer_})
        if (timer->running() && (!first || timer->dueAt() < *first)) first = timer->dueAt();
    if (!first) return std::nullopt;
    return std::max(std::chrono::milliseconds{0}, std::chrono::ceil<std::chrono::milliseconds>(*first - now()));
}

void TKesTrom3Subscriber::raise(const Event& event) {
    if (event) event(*this);
}

void TKesTrom3Subscriber::scheduleChanged() {
    if (onScheduleChanged_) onScheduleChanged_();
}

std::uint16_t TKesTrom3Subscriber::bswap(std::uint16_t value) { return swap16(value); }
std::uint32_t TKesTrom3Subscriber::bswap(std::uint32_t value) { return swap32(value); }

}  // namespace kestrom
