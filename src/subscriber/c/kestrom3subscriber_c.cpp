// The C library over the subscriber component: each handle owns a component and its own connection.
#include "subscriber/c/kestrom3subscriber.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <new>

#include "subscriber/c/subscriber_handle.h"

namespace {

using kestrom::SubscriberError;
using kestrom::SubscriberException;
using kestrom::c_api::copyText;
using kestrom::c_api::HandleLock;

void raise(k3s_subscriber* s, k3s_event event) {
    const auto& callback = s->callbacks[static_cast<std::size_t>(event)];
    if (callback.function) callback.function(s, event, callback.user);
}

// A property read under the handle's lock.
template <typename T, typename Fn>
T readHandle(const k3s_subscriber* s, T fallback, Fn&& fn) {
    if (!s) return fallback;
    HandleLock lock(s);
    return fn(s->component);
}

// Exceptions never cross into C: a misuse error becomes its code, anything else K3S_ERR_INTERNAL.
template <typename Fn>
int guarded(k3s_subscriber* s, Fn&& fn) {
    if (!s) return K3S_ERR_ARGUMENT;
    HandleLock lock(s);
    try {
        fn(s->component);
        return K3S_OK;
    } catch (const SubscriberException& e) {
        return static_cast<int>(e.error());
    } catch (...) {
        return K3S_ERR_INTERNAL;
    }
}

int copyBytes(const kestrom::ByteArray& bytes, std::uint8_t* buffer, std::size_t capacity, std::size_t* count) {
    if (count) *count = bytes.size();
    if (!buffer || capacity < bytes.size()) return K3S_ERR_BUFFER_TOO_SMALL;
    std::memcpy(buffer, bytes.data(), bytes.size());
    return K3S_OK;
}


}  // namespace

extern "C" {

const char* k3s_error_text(int code) {
    switch (code) {
        case K3S_OK: return "No error";
        case K3S_ERR_CALIBRATE_TAB0:
        case K3S_ERR_PIXEL_CORRECTION_TAB0:
        case K3S_ERR_GAIN_CORRECTION_TAB0:
        case K3S_ERR_GAIN_FACTOR_TAB0: return kestrom::subscriberErrorText(static_cast<SubscriberError>(code));
        case K3S_ERR_ARGUMENT: return "Invalid argument";
        case K3S_ERR_BUFFER_TOO_SMALL: return "Buffer too small";
        case K3S_ERR_UNAVAILABLE: return "The console's shared memory cannot be read";
        case K3S_ERR_INTERNAL: return "Internal error";
        case K3S_ERR_FILE: return "The file is no frame record";
        case K3S_ERR_MEMORY: return "Insufficient Memory";
        default: return "Unknown error";
    }
}

k3s_subscriber* k3s_create(void) { return k3s_create_with(nullptr, nullptr, 0); }

k3s_subscriber* k3s_create_with(const char* socket_path, const char* shm_prefix, int attach_retry_ms) {
    kestrom::TransportClientOptions transport;
    if (socket_path) transport.socketPath = socket_path;
    kestrom::SubscriberOptions options;
    if (shm_prefix) options.sharedMemoryPrefix = shm_prefix;
    if (attach_retry_ms > 0) options.attachRetryInterval = std::chrono::milliseconds{attach_retry_ms};
    k3s_subscriber* s = nullptr;
    try {
        s = new k3s_subscriber(std::move(transport), std::move(options));
    } catch (...) {
        return nullptr;
    }
    s->component.OnNewFrame = [s](kestrom::TKesTrom3Subscriber&) { raise(s, K3S_EVENT_NEW_FRAME); };
    s->component.OnKestClose = [s](kestrom::TKesTrom3Subscriber&) { raise(s, K3S_EVENT_KEST_CLOSE); };
    s->component.OnKestOpen = [s](kestrom::TKesTrom3Subscriber&) { raise(s, K3S_EVENT_KEST_OPEN); };
    s->component.OnCalibrateDone = [s](kestrom::TKesTrom3Subscriber&) { raise(s, K3S_EVENT_CALIBRATE_DONE); };
    return s;
}

void k3s_destroy(k3s_subscriber* subscriber) { delete subscriber; }

int k3s_set_callback(k3s_subscriber* subscriber, k3s_event event, k3s_callback callback, void* user) {
    if (!subscriber || event < K3S_EVENT_NEW_FRAME || event > K3S_EVENT_CALIBRATE_DONE) return K3S_ERR_ARGUMENT;
    subscriber->callbacks[static_cast<std::size_t>(event)] = {callback, user};
    return K3S_OK;
}

int k3s_pump(k3s_subscriber* subscriber, int timeout_ms) {
    return guarded(subscriber, [&](auto& c) { c.pump(std::chrono::milliseconds{std::max(0, timeout_ms)}); });
}

int k3s_descriptor(const k3s_subscriber* subscriber) { return readHandle(subscriber, -1, [](const auto& c) { return c.descriptor(); }); }

int k3s_next_timer_ms(const k3s_subscriber* subscriber) {
    if (!subscriber) return -1;
    HandleLock lock(subscriber);
    auto next = subscriber->component.nextTimerIn();
    return next ? static_cast<int>(std::min<long long>(next->count(), 1 << 30)) : -1;
}

uint32_t k3s_open(k3s_subscriber* subscriber) {
    uint32_t window = 0;
    guarded(subscriber, [&](auto& c) { window = c.Open(); });
    return window;
}

int k3s_find_control(k3s_subscriber* subscriber) {
    return guarded(subscriber, [](auto& c) { c.FindControl(); });
}

int k3s_find_serial(k3s_subscriber* subscriber, int serial) {
    int slot = 0;
    guarded(subscriber, [&](auto& c) { slot = c.FindSerial(serial); });
    return slot;
}

int k3s_start(k3s_subscriber* subscriber) { return guarded(subscriber, [](auto& c) { c.Start(); }); }
int k3s_stop(k3s_subscriber* subscriber) { return guarded(subscriber, [](auto& c) { c.Stop(); }); }
int k3s_close(k3s_subscriber* subscriber) { return guarded(subscriber, [](auto& c) { c.Close(); }); }
int k3s_calibrate(k3s_subscriber* subscriber) { return guarded(subscriber, [](auto& c) { c.Calibrate(); }); }

int k3s_serial(const k3s_subscriber* subscriber) { return readHandle(subscriber, 0, [](const auto& c) { return c.Serial(); }); }
int k3s_ibp(const k3s_subscriber* subscriber) { return readHandle(subscriber, 0, [](const auto& c) { return c.IBP() ? 1 : 0; }); }
int k3s_tab(const k3s_subscriber* subscriber) { return readHandle(subscriber, 0, [](const auto& c) { return c.Tab(); }); }
int k3s_set_tab(k3s_subscriber* subscriber, int tab) {
    return guarded(subscriber, [&](auto& c) { c.SetTab(tab); });
}
float k3s_hscale(const k3s_subscriber* subscriber) { return readHandle(subscriber, 0.0f, [](const auto& c) { return c.HScale(); }); }
float k3s_vscale(const k3s_subscriber* subscriber) { return readHandle(subscriber, 0.0f, [](const auto& c) { return c.VScale(); }); }

int k3s_is_labview(const k3s_subscriber* subscriber) { return readHandle(subscriber, 0, [](const auto& c) { return c.isLabVIEW() ? 1 : 0; }); }
int k3s_set_is_labview(k3s_subscriber* subscriber, int value) {
    return guarded(subscriber, [&](auto& c) { c.SetIsLabVIEW(value != 0); });
}
int k3s_new_frame(const k3s_subscriber* subscriber) { return readHandle(subscriber, 0, [](const auto& c) { return c.NewFrame() ? 1 : 0; }); }
int k3s_set_new_frame(k3s_subscriber* subscriber, int value) {
    return guarded(subscriber, [&](auto& c) { c.SetNewFrame(value != 0); });
}
int k3s_hold_new_frame(const k3s_subscriber* subscriber) {
    return readHandle(subscriber, 0, [](const auto& c) { return c.HoldNewFrame() ? 1 : 0; });
}
int k3s_set_hold_new_frame(k3s_subscriber* subscriber, int value) {
    return guarded(subscriber, [&](auto& c) { c.SetHoldNewFrame(value != 0); });
}
int k3s_menu_lockout(const k3s_subscriber* subscriber) {
    return readHandle(subscriber, 0, [](const auto& c) { return c.MenuLockout() ? 1 : 0; });
}
int k3s_set_menu_lockout(k3s_subscriber* subscriber, int value) {
    return guarded(subscriber, [&](auto& c) { c.SetMenuLockout(value != 0); });
}
int k3s_pixel_correction(const k3s_subscriber* subscriber) {
    return readHandle(subscriber, 0, [](const auto& c) { return c.PixelCorrection() ? 1 : 0; });
}
int k3s_set_pixel_correction(k3s_subscriber* subscriber, int value) {
    return guarded(subscriber, [&](auto& c) { c.SetPixelCorrection(value != 0); });
}
int k3s_gain_correction_on(const k3s_subscriber* subscriber) {
    return readHandle(subscriber, 0, [](const auto& c) { return c.GainCorrectionOn() ? 1 : 0; });
}
int k3s_set_gain_correction(k3s_subscriber* subscriber, int value) {
    return guarded(subscriber, [&](auto& c) { c.SetGainCorrectionOnOff(value != 0); });
}
int k3s_set_gain_factor(k3s_subscriber* subscriber, int factor) {
    return guarded(subscriber, [&](auto& c) { c.SetGainFactor(factor); });
}
int k3s_set_setup_filename(k3s_subscriber* subscriber, const char* path) {
    if (!path) return K3S_ERR_ARGUMENT;
    return guarded(subscriber, [&](auto& c) { c.SetSetupFilename(path); });
}
int k3s_setup_filename(const k3s_subscriber* subscriber, char* text, size_t capacity, size_t* length) {
    if (!subscriber) return K3S_ERR_ARGUMENT;
    HandleLock lock(subscriber);
    return copyText(subscriber->component.SetupFilename(), text, capacity, length);
}
int k3s_attach_error(const k3s_subscriber* subscriber, char* text, size_t capacity, size_t* length) {
    if (!subscriber) return K3S_ERR_ARGUMENT;
    HandleLock lock(subscriber);
    return copyText(subscriber->component.AttachError(), text, capacity, length);
}
long long k3s_frame_count(const k3s_subscriber* subscriber) {
    return readHandle(subscriber, 0LL, [](const auto& c) { return static_cast<long long>(c.FrameCount()); });
}

int k3s_get_serial_list(k3s_subscriber* subscriber, char* text, size_t capacity, size_t* length) {
    std::string list;
    int result = guarded(subscriber, [&](auto& c) { list = c.GetSerialList(); });
    return result == K3S_OK ? copyText(list, text, capacity, length) : result;
}

int k3s_get_serial_list_bytes(k3s_subscriber* subscriber, uint8_t* buffer, size_t capacity) {
    if (!buffer) return K3S_ERR_ARGUMENT;
    if (capacity < 1024) return K3S_ERR_BUFFER_TOO_SMALL;
    bool read = false;
    kestrom::ByteArray bytes;
    int result = guarded(subscriber, [&](auto& c) { read = c.GetSerialList(bytes); });
    if (result != K3S_OK) return result;
    if (!read) return K3S_ERR_UNAVAILABLE;
    return copyBytes(bytes, buffer, capacity, nullptr);
}

int k3s_get_data(const k3s_subscriber* subscriber, double* buffer, size_t capacity, size_t* dim0, size_t* dim1) {
    if (!subscriber) return K3S_ERR_ARGUMENT;
    try {
        kestrom::DataArray data = subscriber->component.GetData();
        if (dim0) *dim0 = data.dim0;
        if (dim1) *dim1 = data.dim1;
        if (!buffer || capacity < data.values.size()) return K3S_ERR_BUFFER_TOO_SMALL;
        std::memcpy(buffer, data.values.data(), data.values.size() * sizeof(double));
        return K3S_OK;
    } catch (...) {
        return K3S_ERR_INTERNAL;
    }
}

int k3s_get_console(const k3s_subscriber* subscriber, uint8_t* buffer, size_t capacity, size_t* count) {
    if (!subscriber) return K3S_ERR_ARGUMENT;
    try {
        return copyBytes(subscriber->component.GetConsole(), buffer, capacity, count);
    } catch (...) {
        return K3S_ERR_INTERNAL;
    }
}

int k3s_get_factory(const k3s_subscriber* subscriber, uint8_t* buffer, size_t capacity, size_t* count) {
    if (!subscriber) return K3S_ERR_ARGUMENT;
    try {
        return copyBytes(subscriber->component.GetFactory(), buffer, capacity, count);
    } catch (...) {
        return K3S_ERR_INTERNAL;
    }
}

const int16_t* k3s_frame_data(const k3s_subscriber* subscriber) {
    return readHandle(subscriber, static_cast<const int16_t*>(nullptr), [](const auto& c) { return c.FrameData(); });
}

}  // extern "C"
