// The subscriber component, its watch program, its C library and its Qt widget against a real console in a second process.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <regex>
#include <sstream>
#include <thread>

#include "camera_records/byte_order.h"
#include "console_process.h"
#include "subscriber/kestrom3_subscriber.h"
#include "subscriber/qt/kestrom3_subscriber_widget.h"
#include "subscriber/transport_link.h"

namespace kestrom::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Two chopped cameras; the console shows the last one it opened, serial 4321, a fixed-configuration one.
constexpr const char* kCameras =
    "[camera]\ndevice = 0\nserial = 1234\n"
    "[camera]\ndevice = 1\nserial = 4321\nibp = yes\n";

TransportClientOptions at(const ConsoleProcess& console) {
    TransportClientOptions options;
    options.socketPath = console.socketPath();
    return options;
}

// A component of this process on the console's socket, counting its events.
struct Subscriber {
    explicit Subscriber(const ConsoleProcess& console, std::chrono::milliseconds retry = 10s)
        : link(at(console)), component(link, options(retry)) {
        component.OnKestOpen = [this](TKesTrom3Subscriber&) { ++opened; };
        component.OnKestClose = [this](TKesTrom3Subscriber&) { ++closed; };
        component.OnNewFrame = [this](TKesTrom3Subscriber& s) {
            ++frames;
            if (onFrame) onFrame(s);
        };
    }
    static SubscriberOptions options(std::chrono::milliseconds retry) {
        SubscriberOptions o;
        o.attachRetryInterval = retry;
        return o;
    }
    bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
        const auto until = Clock::now() + limit;
        while (!done() && Clock::now() < until) component.pump(10ms);
        return done();
    }

    TransportLink link;
    TKesTrom3Subscriber component;
    int opened = 0, closed = 0, frames = 0;
    std::function<void(TKesTrom3Subscriber&)> onFrame;
};

// One console serves every test of this suite.
class AgainstAConsole : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        console = new ConsoleProcess(kCameras);
        started = console->start();
    }
    static void TearDownTestSuite() {
        delete console;
        console = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(started) << "the console did not start:\n" << console->historyLog(); }

    static ConsoleProcess* console;
    static bool started;
};

ConsoleProcess* AgainstAConsole::console = nullptr;
bool AgainstAConsole::started = false;

TEST_F(AgainstAConsole, OpenAttachesToTheShownCameraAndItsFramesComeThroughTheSocket) {
    Subscriber s(*console);
    EXPECT_NE(s.component.Open(), 0u);
    EXPECT_EQ(s.opened, 1);
    EXPECT_EQ(s.component.Tab(), 2);
    EXPECT_EQ(s.component.Serial(), 4321);
    EXPECT_TRUE(s.component.IBP());
    EXPECT_EQ(s.component.SerialNumberList(), "0,1234,4321,0,0,0,0,0,0,0,0");

    // Every frame: the pixels as the data array, the counts and sequence numbers moving on.
    int mismatched = 0;
    std::vector<std::intptr_t> counts;
    std::vector<std::int32_t> sequence;
    s.onFrame = [&](TKesTrom3Subscriber& c) {
        const std::int16_t* pixels = c.FrameData();
        DataArray data = c.GetData();
        if (!pixels || data.values.size() != 124u * 124u) {
            ++mismatched;
            return;
        }
        for (std::size_t r = 0; r < 124; ++r)
            for (std::size_t col = 0; col < 124; ++col)
                mismatched += data.at(r, col) != pixels[r * 124 + col] / 2.0;
        counts.push_back(c.FrameCount());
        sequence.push_back(c.ConsoleCopy().word(0));
    };
    ASSERT_TRUE(s.pumpUntil([&] { return s.frames >= 5; })) << console->historyLog();
    EXPECT_EQ(mismatched, 0);
    EXPECT_TRUE(std::is_sorted(counts.begin(), counts.end()) && counts.front() < counts.back());
    EXPECT_TRUE(std::is_sorted(sequence.begin(), sequence.end()) && sequence.front() < sequence.back());
    EXPECT_EQ(readBE16(s.component.GetFactory().data()), 4321);
    s.component.Close();
}

TEST_F(AgainstAConsole, FindSerialShowsTheCamerasTabWhileAnUnknownSerialFindsNothing) {
    Subscriber s(*console);
    EXPECT_EQ(s.component.FindSerial(1234), 1);
    EXPECT_EQ(s.component.Serial(), 1234);
    EXPECT_EQ(s.component.FindSerial(999), 0);
    EXPECT_EQ(s.component.Tab(), 0);
    EXPECT_EQ(s.component.Serial(), 1234);
    EXPECT_EQ(s.opened, 2);
    // The camera of the tab now shown is the one a connect attaches to.
    EXPECT_EQ(s.component.FindSerial(4321), 2);
    s.component.Open();
    EXPECT_EQ(s.component.Tab(), 2);
}

TEST_F(AgainstAConsole, TheWatchProgramPrintsOneLinePerFrameOfTheChosenCamera) {
    struct Case {
        std::vector<std::string> args;
        std::string attached;
        int slot;
        int frames;
    };
    const Case cases[] = {
        {{"--frames", "3"}, "attached slot 2 serial 4321", 2, 3},
        {{"--serial", "1234", "--frames", "2"}, "attached slot 1 serial 1234", 1, 2},
        {{"--tab", "2", "--frames", "2", "--labview"}, "attached slot 2 serial 4321", 2, 2},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{KESTROM_WATCH_BINARY, "--socket", console->socketPath()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(args.back());
        auto result = console->run(args, 10s);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        std::istringstream lines(result.out);
        std::string line;
        std::getline(lines, line);
        EXPECT_EQ(line, c.attached);
        const std::regex frame("frame [0-9]+ slot " + std::to_string(c.slot) +
                               " peak -?[0-9]+ at row [0-9]+ column [0-9]+");
        int frames = 0;
        while (std::getline(lines, line)) {
            EXPECT_TRUE(std::regex_match(line, frame)) << line;
            ++frames;
        }
        EXPECT_EQ(frames, c.frames);
    }
}

int linesHolding(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST_F(AgainstAConsole, TheWatchProgramSaysGoodbyeWhenInterrupted) {
    for (const char* signal : {"INT", "TERM"}) {
        SCOPED_TRACE(signal);
        const int goneBefore = linesHolding(console->historyLog(), " is gone; removed.");
        auto result = console->run({"/usr/bin/timeout", "-s", signal, "2", KESTROM_WATCH_BINARY, "--socket", console->socketPath()}, 10s);
        EXPECT_EQ(result.exitCode, 124) << "ended by the signal, not before: " << result.err;
        EXPECT_NE(result.out.find("frame "), std::string::npos) << result.out;
        EXPECT_EQ(result.out.find("camera closed"), std::string::npos) << result.out;
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(linesHolding(console->historyLog(), " is gone; removed."), goneBefore)
            << "the console was not told:\n" << console->historyLog();
    }
}

TEST_F(AgainstAConsole, ACProgramUsesTheSharedLibrary) {
    auto result = console->run({KESTROM_C_TEST_BINARY, console->socketPath()}, 10s);
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
}

TEST_F(AgainstAConsole, TheQtWidgetTakesFramesFromTheEventLoop) {
    TransportLink link(at(*console));
    TKesTrom3SubscriberWidget widget(link);
    int frames = 0;
    bool frameDataInSignal = true;
    QObject::connect(&widget, &TKesTrom3SubscriberWidget::newFrame, [&] {
        ++frames;
        frameDataInSignal = frameDataInSignal && widget.subscriber().FrameData() != nullptr;
    });
    ASSERT_NE(widget.subscriber().Open(), 0u);
    const auto until = Clock::now() + 5s;
    while (frames < 3 && Clock::now() < until) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_GE(frames, 3);
    EXPECT_TRUE(frameDataInSignal);
    widget.subscriber().Close();
}

// Consoles that start late and end while a component is attached; one camera starts quickest.
TEST(ConsoleComingAndGoing, OpenWaitsForALateConsoleAndEachEndOfTheConsoleIsOneClose) {
    ConsoleProcess console("[camera]\ndevice = 0\nserial = 1234\n");

    // Nobody there: the watch program waits without an error and gives up when told to.
    auto waited = console.run({KESTROM_WATCH_BINARY, "--socket", console.socketPath(), "--timeout", "1"}, 5s);
    EXPECT_EQ(waited.exitCode, 1);
    EXPECT_EQ(waited.err, "kestrom3-watch: waiting for the console\nkestrom3-watch: no frame for 1 s\n");

    Subscriber s(console, 200ms);
    EXPECT_EQ(s.component.Open(), 0u);
    s.component.pump(300ms);
    EXPECT_EQ(s.opened, 0);

    for (int signal : {SIGKILL, SIGTERM}) {
        SCOPED_TRACE(signal);
        const int opened = s.opened;
        const int closed = s.closed;
        ASSERT_TRUE(console.start());
        ASSERT_TRUE(s.pumpUntil([&] { return s.opened == opened + 1; }));
        ASSERT_TRUE(s.pumpUntil([&] { return s.frames > 0; })) << console.historyLog();
        ASSERT_TRUE(console.stop(signal));
        ASSERT_TRUE(s.pumpUntil([&] { return s.closed == closed + 1; }));
        s.component.pump(200ms);
        EXPECT_EQ(s.closed, closed + 1);
        EXPECT_EQ(s.component.Tab(), 1);
        EXPECT_EQ(s.component.Serial(), 1234);
        // Open again: no console now, so the retry timer looks for the next one.
        EXPECT_EQ(s.component.Open(), 0u);
        s.frames = 0;
    }
}

}  // namespace
}  // namespace kestrom::test
