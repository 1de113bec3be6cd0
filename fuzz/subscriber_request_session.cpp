// A console on two simulated cameras, driven by decoded steps; see the header.
#include "fuzz/subscriber_request_session.h"

#include <QApplication>
#include <QCoreApplication>
#include <ctime>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <unistd.h>

#include "camera_records/subscriber_protocol.h"
#include "console/logo_app_form.h"
#include "platform/delay_service.h"
#include "platform/dialog_service.h"
#include "simulator/sim_driver.h"

namespace kestrom::fuzz {
namespace {

namespace sp = subscriber_protocol;

constexpr std::uint16_t kSerials[] = {1234, 7001};

struct RequestConsole {
    RequestConsole() {
        if (!QCoreApplication::instance()) {
            if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
            static int argc = 1;
            static char name[] = "subscriber_request_fuzz";
            static char* argv[] = {name, nullptr};
            app = std::make_unique<QApplication>(argc, argv);
        }
        sim::Config config;
        for (int i = 0; i < 2; ++i) {
            sim::CameraConfig c;
            c.deviceIndex = i;
            c.serial = kSerials[i];
            config.cameras.push_back(c);
        }
        config.deterministic = true;
        driver = std::make_unique<sim::Driver>(config);
        folder = (std::filesystem::temp_directory_path() / ("kestrom-request-fuzz-" + std::to_string(getpid()))).string();
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        form = std::make_unique<TLogoAppForm>(
            ConsoleServices{*driver, delay, dialogs, {}, false, folder, "kf" + std::to_string(getpid()) + "_"});
    }
    ~RequestConsole() {
        form.reset();
        driver.reset();
        std::filesystem::remove_all(folder);
    }

    std::unique_ptr<QApplication> app;
    InstantDelay delay;
    ScriptedDialogs dialogs;
    std::unique_ptr<sim::Driver> driver;
    std::string folder;
    std::unique_ptr<TLogoAppForm> form;
};

// Not destroyed at exit: by then Qt's own statics are gone. Tests end it while Qt still stands.
RequestConsole* instance = nullptr;

RequestConsole* console() {
    if (!instance) instance = new RequestConsole;
    return instance;
}

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::int64_t word(const std::uint8_t* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
    return static_cast<std::int64_t>(v);
}

// What each answer may be, whatever the numbers were.
std::string answerFault(std::uint32_t message, std::int64_t wParam, std::intptr_t answer) {
    const bool slotInTable = wParam >= -1 && wParam < kSlotCount - 1;
    if ((message == sp::kFrameBlockHandle || message == sp::kFrameCount) && !slotInTable && answer != 0)
        return "a frame block request for slot " + std::to_string(wParam) + " answered " + std::to_string(answer);
    if (message == sp::kConnect && (answer < 0 || answer > kLastCameraSlot))
        return "a connect answered slot " + std::to_string(answer);
    if (message == sp::kFindSerial && (answer < 0 || answer >= kSlotCount))
        return "a serial search answered slot " + std::to_string(answer);
    return {};
}

}  // namespace

std::string subscriberRequestFault(const std::uint8_t* data, std::size_t size) {
    RequestConsole& c = *console();
    constexpr std::size_t kStep = 17;
    static_assert(kRequestOperations == sp::kGainFactor - sp::kFrameBlockHandle + 1);
    for (std::size_t at = 0; at + kStep <= size; at += kStep) {
        const int op = data[at] % kStepOperations;
        const std::int64_t wParam = word(data + at + 1);
        const std::int64_t lParam = word(data + at + 9);
        if (op < kRequestOperations) {
            const auto message = sp::kFrameBlockHandle + static_cast<std::uint32_t>(op);
            // Work, not waiting on a loaded machine: a request that blocks is the fuzzer's timeout.
            const double started = threadSeconds();
            const std::intptr_t answer = c.form->dispatchMessage(message, wParam, lParam);
            if (std::string fault = answerFault(message, wParam, answer); !fault.empty()) return fault;
            if (threadSeconds() - started > 1.0)
                return "request " + std::to_string(message) + " worked for more than 1 s";
        } else if (op == kCommandText) {
            // Sixteen bytes of text where a setup path is read, with or without its terminator.
            if (SharedMemory* command = c.form->commandMemory())
                std::memcpy(command->bytes(), data + at + 1, 16);
        } else if (op == kDetach || op == kAttach) {
            const int device = static_cast<int>(static_cast<std::uint64_t>(wParam) % 2);
            op == kDetach ? c.driver->detach(device) : c.driver->attach(device);
        } else if (op == kFrame) {
            c.driver->produceFrame(static_cast<int>(static_cast<std::uint64_t>(wParam) % 2));
        } else if (op == kEvents) {
            QCoreApplication::processEvents();
        } else {
            c.form->dispatchMessage(kDeviceChangeMessage, wParam, lParam);
        }
        const int current = c.form->state().currentSlot;
        if (current < 0 || current >= kSlotCount) return "the current slot became " + std::to_string(current);
    }
    // Boxes the requests showed are not kept from one input to the next.
    c.dialogs.boxes.clear();
    c.dialogs.fileDialogs.clear();
    return {};
}

void endRequestConsole() {
    delete instance;
    instance = nullptr;
}

}  // namespace kestrom::fuzz
