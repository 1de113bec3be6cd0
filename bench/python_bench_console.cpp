// The Python bench's console: one simulated camera served over the message socket, each frame
// notice's send time written where the bench can read it. Serves until its standard input ends.
//
//   python_bench_console --folder DIR --namespace NS --pace flat|48hz [--serial N]
//
// The socket is DIR/console.sock, the send times DIR/notice-times (see notice_times.h), the shared
// blocks "/<NS>KIIICommand" and "/<NS>Kest3_1". Prints "serving" once subscribers can connect.
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>
#include <thread>

#include "camera_records/subscriber_protocol.h"
#include "delivery_console.h"
#include "notice_times.h"
#include "platform/shared_memory.h"

namespace {

using namespace kestrom;
using namespace kestrom::bench;
namespace proto = kestrom::subscriber_protocol;

struct Options {
    std::string folder, nameSpace, pace = "48hz";
    int serial = 4242;
};

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i], value = argv[i + 1];
        if (key == "--folder") o.folder = value;
        else if (key == "--namespace") o.nameSpace = value;
        else if (key == "--pace") o.pace = value;
        else if (key == "--serial") o.serial = std::atoi(value.c_str());
        else throw std::runtime_error("unknown option " + key);
    }
    if (o.folder.empty()) throw std::runtime_error("--folder is needed");
    if (o.pace != "flat" && o.pace != "48hz") throw std::runtime_error("--pace is flat or 48hz, not " + o.pace);
    if (o.serial <= 0 || o.serial > 65535) throw std::runtime_error("--serial is 1..65535");
    return o;
}

// The camera's record as the console keeps it: a serial number (a subscriber counts as attached
// only then) and the pixel pitch that live frames' results take.
FactoryInfo benchFactory(int serial) {
    FactoryInfo f;
    f.setWord(FactoryInfo::kSerialNumber, static_cast<std::uint16_t>(serial));
    f.setWord(FactoryInfo::kPixelXScale, 85);
    f.setWord(FactoryInfo::kPixelYScale, 85);
    return f;
}

std::atomic<bool> inputEnded{false};

void serve(const Options& o) {
    std::string error;
    auto command = SharedMemory::createOrOpen("/" + o.nameSpace + proto::kCommandBlockName,
                                              proto::kCommandBlockSize, error);
    if (!command) throw std::runtime_error("the command block cannot be had: " + error);
    const FactoryInfo factory = benchFactory(o.serial);
    std::memcpy(command->bytes() + proto::kCommandFactoryOffset, factory.bytes.data(), FactoryInfo::kSize);

    NoticeTimes times(o.folder + "/notice-times");
    const bool flat = o.pace == "flat";
    DeliveryConsole dc(flat, o.folder + "/console.sock", "/" + o.nameSpace + proto::kFrameBlockName);
    BenchConsole& c = dc.console;
    c.state.slots[1].Factory = factory;
    if (!flat) {
        c.request(req::SetTriggerMethod, 1);
        c.request(req::SetChopRate, 1);
        c.driver.advanceTime(5000);   // past the camera's settling after the changes
    }
    c.driver.setReplayFrame(0, preparedFrame());
    c.acquire();
    // On the main thread inside the delivery, just before the camera's thread writes the notice.
    c.host.onFrame = [&] {
        if (flat) c.driver.produceFrame(0);
        times.stamp(c.state.slots[1].FrameCount.load());
    };
    dc.serve();
    if (flat) c.driver.produceFrame(0);
    std::printf("serving\n");
    std::fflush(stdout);
    c.runUntil([] { return inputEnded.load(); });
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const Options options = parse(argc, argv);
        std::thread([] {
            char byte;
            while (::read(0, &byte, 1) > 0) {
            }
            inputEnded.store(true);
        }).detach();
        serve(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "python_bench_console: %s\n", e.what());
        return 1;
    }
    return 0;
}
