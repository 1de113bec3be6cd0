// TKesTrom3Subscriber: attaches to the console, takes over a camera's frames and turns the console's notices into events.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "camera_records/console_block.h"
#include "subscriber/console_link.h"
#include "subscriber/frame_block_view.h"
#include "subscriber/subscriber_arrays.h"
#include "subscriber/subscriber_error.h"
#include "subscriber/window_timer.h"

namespace kestrom {

struct SubscriberOptions {
    // Shared memory is "/<prefix>KIIICommand" and "/<prefix>Kest3_<slot>"; empty: the console's names
    // ("/$KESTROM_SHM_NAMESPACE..." when that is set, as the console does).
    std::string sharedMemoryPrefix;
    std::chrono::milliseconds attachRetryInterval{10000};
    std::chrono::milliseconds deferredEventDelay{1};
    // The clock of the three timers; empty: the steady clock.
    std::function<std::chrono::steady_clock::time_point()> clock;
};

// Everything runs on the thread that drives the component (pump()) and owns its window, except
// GetData, GetConsole, GetFactory, ConsoleCopy, FactoryCopy and NewFrame/SetNewFrame, which any
// thread may call: the arrays and copies are guarded by the component's lock. The lock is recursive, as a
// window's mutex is, so an OnNewFrame handler may call GetData while the frame handler holds it.
// The component owns no thread: events are raised from the calls the host makes, and the timers
// run from pump().
class TKesTrom3Subscriber {
public:
    using Event = std::function<void(TKesTrom3Subscriber& sender)>;
    using Clock = std::chrono::steady_clock;

    explicit TKesTrom3Subscriber(ConsoleLink& link, SubscriberOptions options = {});
    ~TKesTrom3Subscriber();
    TKesTrom3Subscriber(const TKesTrom3Subscriber&) = delete;
    TKesTrom3Subscriber& operator=(const TKesTrom3Subscriber&) = delete;

    // Events.
    Event OnNewFrame;        // a new frame has been taken over
    Event OnKestClose;       // the console has closed the camera (or has gone)
    Event OnKestOpen;        // attached to the console and a camera
    Event OnCalibrateDone;   // a calibration that this component asked for has ended

    // Properties.
    bool isLabVIEW() const { return isLabVIEW_.load(); }
    void SetIsLabVIEW(bool value) { isLabVIEW_.store(value); }
    bool NewFrame() const { return newFrame_.load(); }
    void SetNewFrame(bool value) { newFrame_.store(value); }
    bool HoldNewFrame() const { return holdNewFrame_.load(); }
    void SetHoldNewFrame(bool value) { holdNewFrame_.store(value); }
    bool MenuLockout() const { return menuLockout_; }
    void SetMenuLockout(bool value);
    bool PixelCorrection() const { return pixelCorrection_; }
    void SetPixelCorrection(bool value);
    bool GainCorrectionOn() const { return gainCorrectionOn_; }
    void SetGainCorrectionOnOff(bool value);
    const std::string& SetupFilename() const { return setupFilename_; }
    void SetSetupFilename(const std::string& name);
    int Serial() const { return serial_; }
    bool IBP() const { return ibp_; }
    int Tab() const { return tab_; }
    void SetTab(int tab) { tab_ = tab; }
    float HScale() const { return hScale_; }
    float VScale() const { return vScale_; }
    // Write only: the console is asked to set this gain factor.
    void SetGainFactor(int factor);
    std::string SerialNumberList() { return GetSerialList(); }

    // Operations.
    // Attaches to the camera of the tab that the console shows; the console's window, or 0 when no
    // console was found (the attach-retry timer then looks again).
    WindowHandle Open();
    void FindControl();
    // The slot of the camera with this serial number, 0 when no open camera has it. This and
    // GetSerialList look for the console themselves when no FindControl has found it. Once a
    // camera has been found, FindControl attaches only to it: when the tab shown holds another
    // camera by then (another program asked for its own in between), the component leaves that
    // camera at once, says so in AttachError(), keeps Serial at 0 and searches again from its
    // attach-retry timer.
    int FindSerial(int serial);
    // Why the last attach failed although the console answered; empty after a good one.
    const std::string& AttachError() const { return attachError_; }
    std::string GetSerialList();
    // The raw 1024 bytes of the list, copied under the lock; false, and array left as it was, when
    // they cannot be read.
    bool GetSerialList(ByteArray& array);
    void Start();
    void Stop();
    void Close();
    void Calibrate();
    DataArray GetData() const;
    ByteArray GetConsole() const;
    ByteArray GetFactory() const;

    // The current frame's 124 x 124 pixels, row after row, inside the frame block; valid only
    // during an OnNewFrame that the frame handler raises itself (never from the deferred timer).
    const std::int16_t* FrameData() const { return frameData_; }
    // The copies taken with the last frame or attach. In the factory copy DetectorWidth and
    // DetectorHeight are in host order; every other field keeps the camera's byte order.
    ConsoleBlock ConsoleCopy() const;
    std::array<std::uint8_t, 256> FactoryCopy() const;
    // The console's frame count that came with the last frame taken over.
    std::intptr_t FrameCount() const { return frameCount_; }
    // This component's window, which every request carries; 0 while there is no console.
    WindowHandle Handle() const { return window_; }
    WindowHandle ConsoleWindow() const { return consoleWindow_; }

    // The console's notifications (1326 frame, 1330 closed, 1334 serial found, 1341 calibrated).
    std::intptr_t WndProc(std::uint32_t msg, std::intptr_t wParam, std::intptr_t lParam);

    static std::uint16_t bswap(std::uint16_t value);
    static std::uint32_t bswap(std::uint32_t value);

    // Driving the component. pump() handles the console's messages and runs the due timers,
    // waiting up to timeout for something to do; pump(0ms) never waits. A host with an event loop
    // calls pump(0ms) when descriptor() is readable and when nextTimerIn() has passed, and looks at
    // both again whenever the schedule-changed callback runs.
    void pump(std::chrono::milliseconds timeout);
    int descriptor() const { return link_.descriptor(); }
    std::optional<std::chrono::milliseconds> nextTimerIn() const;
    void setOnScheduleChanged(std::function<void()> callback) { onScheduleChanged_ = std::move(callback); }

private:
    Clock::time_point now() const { return options_.clock ? options_.clock() : Clock::now(); }
    std::string namePrefix() const;
    std::string commandBlockName() const;
    std::string frameBlockName(int slot) const;
    void locateConsole();
    std::intptr_t request(std::uint32_t msg, std::intptr_t lParam);
    bool readCommandRecords(bool takeSerial);
    int commandSerial() const;
    bool connectedToSought(int slot);
    void takeFactory(const std::uint8_t* record);
    void frameArrived(std::intptr_t frameCount, std::intptr_t slot);
    void consoleClosed();
    void consoleGone();
    void runDueTimers();
    void startTimer(WindowTimer& timer);
    void stopTimer(WindowTimer& timer);
    void raise(const Event& event);
    void scheduleChanged();

    ConsoleLink& link_;
    SubscriberOptions options_;
    int goneToken_ = 0;
    WindowHandle consoleWindow_ = 0;
    WindowHandle window_ = 0;
    // Attached on the present connection and not yet told that the camera closed.
    bool attached_ = false;

    std::atomic<bool> isLabVIEW_{false};
    std::atomic<bool> newFrame_{false};
    std::atomic<bool> holdNewFrame_{false};
    bool menuLockout_ = false;
    bool pixelCorrection_ = false;
    bool gainCorrectionOn_ = false;
    std::string setupFilename_;
    int serial_ = 0;
    bool ibp_ = false;
    int tab_ = 0;
    float hScale_ = 0.0f;
    float vScale_ = 0.0f;
    bool calibratePending_ = false;
    // The camera the last successful FindSerial found; FindControl attaches to no other.
    int soughtSerial_ = 0;
    int soughtTab_ = 0;
    std::string attachError_;
    std::intptr_t frameCount_ = 0;

    WindowTimer attachRetryTimer_;
    WindowTimer deferredFrameTimer_;
    WindowTimer deferredCloseTimer_;
    std::function<void()> onScheduleChanged_;

    // Guards everything below.
    mutable std::recursive_mutex lock_;
    FrameBlockView frameBlock_;
    const std::int16_t* frameData_ = nullptr;
    ConsoleBlock consoleCopy_;
    std::array<std::uint8_t, 256> factoryCopy_{};
    // The last frame's pixels as they came; GetData turns them into its array only when asked,
    // so that a frame notice costs one copy of the pixels and no conversion.
    std::vector<std::int16_t> lastPixels_;
    ByteArray consoleArray_{0};
    ByteArray factoryArray_{0};
    ByteArray serialListArray_{0};
};

}  // namespace kestrom
