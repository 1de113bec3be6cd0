// kestrom3-watch: attaches to the console's camera and prints one line per frame; the quickest check that frames flow.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "subscriber/kestrom3_subscriber.h"
#include "subscriber/transport_link.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kUsage =
    "Usage: kestrom3-watch [OPTION]...\n"
    "Attaches to the Kestrom III console's camera and prints one line per frame:\n"
    "  frame <count> slot <slot> peak <value> at row <r> column <c>\n"
    "\n"
    "  --tab N           the camera of console tab N (the console shows that tab)\n"
    "  --serial N        the camera with serial number N (the console shows its tab)\n"
    "                    default: the camera of the tab the console shows\n"
    "  --frames N        end after N frames (0: only the requests below); default: until interrupted\n"
    "  --timeout SEC     end with status 1 when no frame has come for SEC seconds\n"
    "  --start           ask the console to send frames to this program\n"
    "  --stop            ask the console to stop sending frames to this program\n"
    "  --calibrate       calibrate the camera; waits for the end (\"calibration done\")\n"
    "  --gain-factor N   ask the console to set gain factor N\n"
    "  --labview         take each frame from the component's timer, as LabVIEW hosts do\n"
    "  --retry MS        look for a console or camera every MS milliseconds (default 10000)\n"
    "  --socket PATH     the console's socket (default: the user's console)\n"
    "  --shm-prefix P    shared memory \"/<P>KIIICommand\", \"/<P>Kest3_<slot>\" (a console under test)\n"
    "  --help\n"
    "Started by the console as its beam analysis program (\"Launch ORU\" or \"Launch M²\"), it is\n"
    "given the console's command line instead: /KesTrom /<serial>; it then watches that camera and\n"
    "ends when the console closes it.\n"
    "Without a console it waits for one. Exit status: 0 done, 1 timed out, 2 bad usage.\n";

struct Options {
    int tab = 0;
    int serial = 0;
    std::optional<long> frames;
    std::optional<double> timeout;
    bool start = false;
    bool stop = false;
    bool calibrate = false;
    std::optional<int> gainFactor;
    bool labview = false;
    int retryMs = 10000;
    std::string socket;
    std::string shmPrefix;
    bool launched = false;  // by the console: its close ends the program
};

std::atomic<bool> interrupted{false};

bool number(const char* text, long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0';
}

// Nothing when the arguments are bad (the reason has been printed).
std::optional<Options> parse(int argc, char** argv, bool& help) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](long& v, long low, long high) {
            if (i + 1 >= argc || !number(argv[i + 1], v) || v < low || v > high) {
                std::fprintf(stderr, "kestrom3-watch: %s needs a number from %ld to %ld\n", arg.c_str(), low, high);
                return false;
            }
            ++i;
            return true;
        };
        long v = 0;
        // The console's own command line for the programs it launches: "/KesTrom /<serial>".
        if (arg == "/KesTrom" && i + 1 < argc && argv[i + 1][0] == '/' && number(argv[i + 1] + 1, v) && v >= 1 &&
            v <= 65535) {
            o.launched = true;
            o.serial = static_cast<int>(v);
            ++i;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            help = true;
            return o;
        } else if (arg == "--tab") {
            if (!value(v, 1, 4)) return std::nullopt;
            o.tab = static_cast<int>(v);
        } else if (arg == "--serial") {
            if (!value(v, 1, 65535)) return std::nullopt;
            o.serial = static_cast<int>(v);
        } else if (arg == "--frames") {
            if (!value(v, 0, 1L << 40)) return std::nullopt;
            o.frames = v;
        } else if (arg == "--timeout") {
            if (!value(v, 1, 86400)) return std::nullopt;
            o.timeout = static_cast<double>(v);
        } else if (arg == "--gain-factor") {
            if (!value(v, 1, 10)) return std::nullopt;
            o.gainFactor = static_cast<int>(v);
        } else if (arg == "--retry") {
            if (!value(v, 10, 3600000)) return std::nullopt;
            o.retryMs = static_cast<int>(v);
        } else if (arg == "--start") {
            o.start = true;
        } else if (arg == "--stop") {
            o.stop = true;
        } else if (arg == "--calibrate") {
            o.calibrate = true;
        } else if (arg == "--labview") {
            o.labview = true;
        } else if ((arg == "--socket" || arg == "--shm-prefix") && i + 1 < argc) {
            (arg == "--socket" ? o.socket : o.shmPrefix) = argv[++i];
        } else {
            std::fprintf(stderr, "kestrom3-watch: unknown or incomplete option '%s'\n%s", arg.c_str(), kUsage);
            return std::nullopt;
        }
    }
    if (o.tab && o.serial) {
        std::fprintf(stderr, "kestrom3-watch: give --tab or --serial, not both\n");
        return std::nullopt;
    }
    return o;
}

// The serial number in the console's list at a slot, 0 when there is none.
int serialAt(const std::string& list, int slot) {
    std::stringstream entries(list);
    std::string entry;
    for (int i = 0; std::getline(entries, entry, ','); ++i)
        if (i == slot) return std::atoi(entry.c_str());
    return 0;
}

struct Peak {
    int value = 0;
    int row = 0;
    int column = 0;
};

Peak peakOf(const kestrom::TKesTrom3Subscriber& s) {
    Peak peak;
    if (const std::int16_t* pixels = s.FrameData()) {
        const std::int16_t* top = std::max_element(pixels, pixels + 124 * 124);
        auto index = static_cast<int>(top - pixels);
        return {*top, index / 124, index % 124};
    }
    // From the timer the frame block is gone; the data array holds pixel / 2 down each column.
    kestrom::DataArray data = s.GetData();
    auto top = std::max_element(data.values.begin(), data.values.end());
    auto index = static_cast<std::size_t>(top - data.values.begin());
    peak.value = static_cast<int>(*top * 2.0);
    peak.row = static_cast<int>(index % data.dim0);
    peak.column = static_cast<int>(index / data.dim0);
    return peak;
}

class Watch {
public:
    explicit Watch(const Options& options)
        : options_(options), link_(transportOptions(options)), component_(link_, componentOptions(options)) {
        component_.SetIsLabVIEW(options.labview);
        component_.OnNewFrame = [this](kestrom::TKesTrom3Subscriber& s) { frame(s); };
        component_.OnKestClose = [this](kestrom::TKesTrom3Subscriber&) {
            // The console's answer to our own close on the way out is no news.
            if (!leaving_) {
                std::printf("camera closed\n");
                std::fflush(stdout);
            }
            attached_ = false;
            nextAttempt_ = Clock::now();
            // Launched by the console, the program goes when the console says so.
            if (options_.launched && !leaving_) closedByConsole_ = true;
        };
        component_.OnKestOpen = [this](kestrom::TKesTrom3Subscriber& s) { announceAttached(s); };
        component_.OnCalibrateDone = [this](kestrom::TKesTrom3Subscriber&) {
            calibrating_ = false;
            std::printf("calibration done\n");
            std::fflush(stdout);
        };
    }

    int run() {
        lastProgress_ = Clock::now();
        while (!interrupted.load()) {
            if (!attached_ && !waitingForRetry() && Clock::now() >= nextAttempt_) attach();
            if (attached_ && !requested_) request();
            if (finished()) break;
            if (options_.timeout && Clock::now() - lastProgress_ > std::chrono::duration<double>(*options_.timeout)) {
                std::fprintf(stderr, "kestrom3-watch: no frame for %g s\n", *options_.timeout);
                leave();
                return 1;
            }
            component_.pump(50ms);
        }
        leave();
        return 0;
    }

private:
    static kestrom::TransportClientOptions transportOptions(const Options& o) {
        kestrom::TransportClientOptions t;
        t.socketPath = o.socket;
        return t;
    }
    static kestrom::SubscriberOptions componentOptions(const Options& o) {
        kestrom::SubscriberOptions s;
        s.sharedMemoryPrefix = o.shmPrefix;
        s.attachRetryInterval = std::chrono::milliseconds{o.retryMs};
        return s;
    }

    // Open's own retry timer is looking for the console.
    bool waitingForRetry() const { return openRetrying_ && component_.nextTimerIn().has_value(); }

    void attach() {
        nextAttempt_ = Clock::now() + std::chrono::milliseconds{options_.retryMs};
        int serial = options_.serial;
        if (options_.tab) {
            serial = serialAt(component_.GetSerialList(), options_.tab);
            if (serial == 0) {
                notice("no camera in tab " + std::to_string(options_.tab) + " yet");
                return;
            }
        }
        if (serial) {
            // The console shows the found camera's tab; connecting then attaches to it.
            if (component_.FindSerial(serial) == 0) {
                notice(component_.ConsoleWindow() ? "no camera with serial " + std::to_string(serial) + " yet"
                                                  : "waiting for the console");
                return;
            }
        }
        openRetrying_ = component_.Open() == 0 || component_.Serial() == 0;
        if (openRetrying_)
            notice(!component_.AttachError().empty() ? component_.AttachError()
                   : component_.ConsoleWindow()      ? "waiting for a camera"
                                                     : "waiting for the console");
    }

    void request() {
        requested_ = true;
        if (options_.gainFactor) component_.SetGainFactor(*options_.gainFactor);
        if (options_.calibrate) {
            calibrating_ = true;
            component_.Calibrate();
        }
        if (options_.start) component_.Start();
        if (options_.stop) component_.Stop();
    }

    bool finished() const {
        if (closedByConsole_) return true;
        if (!requested_ || calibrating_) return false;
        return options_.frames && frames_ >= *options_.frames;
    }

    // The "attached" line comes before any frame line, also when a frame's event (from the event
    // loop in LabVIEW mode) is handled before the open's.
    void announceAttached(kestrom::TKesTrom3Subscriber& s) {
        // Also raised by a serial search that found nothing.
        if (s.Tab() == 0 || s.Serial() == 0 || attached_) return;
        attached_ = true;
        std::printf("attached slot %d serial %d\n", s.Tab(), s.Serial());
        std::fflush(stdout);
    }

    void frame(kestrom::TKesTrom3Subscriber& s) {
        if (!attached_) announceAttached(s);
        if (!attached_) {
            s.SetNewFrame(false);
            return;
        }
        lastProgress_ = Clock::now();
        if (options_.frames && frames_ >= *options_.frames) return;
        ++frames_;
        Peak peak = peakOf(s);
        std::printf("frame %lld slot %d peak %d at row %d column %d\n", static_cast<long long>(s.FrameCount()), s.Tab(),
                    peak.value, peak.row, peak.column);
        std::fflush(stdout);
        // A host that holds frames takes the next one once it has used this one.
        s.SetNewFrame(false);
    }

    void notice(const std::string& text) {
        if (text == lastNotice_) return;
        lastNotice_ = text;
        std::fprintf(stderr, "kestrom3-watch: %s\n", text.c_str());
    }

    // Off the camera's subscriber list, so the console stops sending at once. The close is carried
    // out after the camera's next frame; leaving before the console's answer would look to it like
    // a program that died, so the answer is awaited, briefly.
    void leave() {
        if (!attached_) return;
        leaving_ = true;
        component_.Close();
        const auto until = Clock::now() + 1s;
        while (attached_ && Clock::now() < until) component_.pump(20ms);
    }

    Options options_;
    kestrom::TransportLink link_;
    kestrom::TKesTrom3Subscriber component_;
    bool attached_ = false;
    bool leaving_ = false;
    bool openRetrying_ = false;
    bool requested_ = false;
    bool calibrating_ = false;
    bool closedByConsole_ = false;
    long frames_ = 0;
    Clock::time_point nextAttempt_{};
    Clock::time_point lastProgress_{};
    std::string lastNotice_;
};

}  // namespace

int main(int argc, char** argv) {
    bool help = false;
    auto options = parse(argc, argv, help);
    if (help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!options) return 2;
    std::signal(SIGINT, [](int) { interrupted.store(true); });
    std::signal(SIGTERM, [](int) { interrupted.store(true); });
    try {
        return Watch(*options).run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kestrom3-watch: %s\n", e.what());
        return 1;
    }
}
