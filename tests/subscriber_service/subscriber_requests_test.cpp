// A subscriber program's requests to the real console over its socket: connect, stop and start, serial search and list, gain factor.
#include <cstring>
#include <string>

#include "running_console.h"

namespace kestrom::test {
namespace {

using SubscriberRequests = RunningConsole;

TEST_F(SubscriberRequests, ConnectOnTabTwoPublishesTheRecordsAndDeliversFramesWithSlotTwo) {
    startConsole({{0, 1111}, {1, 2222}});
    RecordingWindow window(*client);
    std::memset(command(), 0xEE, 2048);
    ASSERT_EQ(request(kConnect, window.handle, 0), 2);

    // The held records of the camera read last, the one on tab 2.
    EXPECT_EQ(command()[0] << 8 | command()[1], 2222);
    EXPECT_NE(bigEndianWord(command() + 1024 + 36), 0xEEEEEEEEu) << "exposure time of the status block";
    ASSERT_TRUE(pumpUntil([&] { return window.frames().size() >= 3; }));
    std::vector<std::intptr_t> frames = window.frames();
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(window.received[i].l, 2) << "frame " << i;
        if (i > 0) {
            EXPECT_EQ(frames[i], frames[i - 1] + 1) << "frame counts follow one another";
        }
    }
    EXPECT_GE(request(1325, 1, 0), frames.back());
    EXPECT_NE(request(1324, 1, 0), 0);
    EXPECT_EQ(request(1324, 0, 0), 0) << "tab 1 has no thread";
    auto block = frameBlock(2);
    ASSERT_TRUE(block);
    EXPECT_EQ(std::memcmp(block->bytes() + kFrameFactoryOffset, command(), 256), 0)
        << "each frame carries the factory record the console holds";
}

TEST_F(SubscriberRequests, ConnectWithoutACameraTabShownIsRefused) {
    startConsole({});
    RecordingWindow window(*client);
    EXPECT_EQ(request(kConnect, window.handle, 0), 0);
    EXPECT_TRUE(waitForHistory("0 External connection rejected from tab 0"));
    pumpFor(300ms);
    EXPECT_TRUE(window.received.empty());
}

// Stop and start from inside the frame notice reach the console before the next frame; the
// window that only stops is the proof that a stop does take effect.
TEST_F(SubscriberRequests, StopThenStartBeforeTheNextFrameKeepsTheWindowReceiving) {
    startConsole({{0, 1111}});
    bool bothSent = false, stopSent = false;
    RecordingWindow restarting(*client, [&](const Message& m) -> std::intptr_t {
        if (m.msg == kConnect && !bothSent) {
            bothSent = true;
            request(kStop, restarting.handle, m.l);
            request(kStart, restarting.handle, m.l);
        }
        return 0;
    });
    RecordingWindow stopping(*client, [&](const Message& m) -> std::intptr_t {
        if (m.msg == kConnect && !stopSent) {
            stopSent = true;
            request(kStop, stopping.handle, m.l);
        }
        return 0;
    });
    ASSERT_EQ(request(kConnect, restarting.handle, 0), 1);
    ASSERT_EQ(request(kConnect, stopping.handle, 0), 1);
    ASSERT_TRUE(pumpUntil([&] { return restarting.frames().size() >= 5; }));
    EXPECT_TRUE(bothSent);
    EXPECT_EQ(stopping.frames().size(), 1u) << "stopped after its first frame";
}

TEST_F(SubscriberRequests, SerialSearchShowsTheFoundTabAndRepliesBeforeItReturns) {
    startConsole({{0, 1111}, {1, 2222}, {2, 3333}});
    RecordingWindow replies(*client);
    ASSERT_EQ(request(kFindSerial, replies.handle, 1111), 1);   // tab 1 shown

    struct Case {
        int serial;
        std::intptr_t result;
        bool replied;
        std::intptr_t connectsTo;   // the tab then shown, as a connect answers it
    };
    const Case cases[] = {
        {3333, 3, true, 3},
        {9999, 0, false, 3},   // no slot holds it: nothing changes
        {0, 0, true, 0},       // slot 0 matches: the History tab
    };
    for (const Case& c : cases) {
        replies.received.clear();
        EXPECT_EQ(request(kFindSerial, replies.handle, c.serial), c.result) << c.serial;
        // Already there when the request returned: it was sent inside it.
        if (c.replied) {
            ASSERT_EQ(replies.received.size(), 1u) << c.serial;
            EXPECT_EQ(replies.received[0].msg, kFindSerial);
            EXPECT_EQ(replies.received[0].w, c.serial);
            EXPECT_EQ(replies.received[0].l, c.connectsTo) << "the slot found";
        } else {
            EXPECT_TRUE(replies.received.empty()) << c.serial;
        }
        RecordingWindow probe(*client);
        EXPECT_EQ(request(kConnect, probe.handle, 0), c.connectsTo) << c.serial;
        request(kClose, probe.handle, c.connectsTo);
    }
    EXPECT_EQ(historyCount("3 Serial found tab:3"), 1) << history();
}

TEST_F(SubscriberRequests, SerialListNamesAllElevenSlotsWithCamerasInOneAndTwo) {
    startConsole({{0, 1111}, {1, 2222}});
    std::memset(command(), 'x', 1024);
    RecordingWindow window(*client);
    EXPECT_EQ(request(kSerialList, window.handle, 0), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(command()), strnlen(reinterpret_cast<const char*>(command()), 1024)),
              "0,1111,2222,0,0,0,0,0,0,0,0");
}

// The camera's frame sequence starts again at each acquire-on, so the frames show that the request
// switched acquisition off and that it is on afterwards.
TEST_F(SubscriberRequests, GainFactorLeavesAcquisitionOnAndTheNewGainInTheFrames) {
    startConsole({{0, 1111}});
    std::unique_ptr<ConsoleMapping> block;
    std::vector<std::uint32_t> sequence, gain;
    RecordingWindow window(*client, [&](const Message& m) -> std::intptr_t {
        if (m.msg != kConnect) return 0;
        if (!block) block = frameBlock(static_cast<int>(m.l));
        if (block) {
            sequence.push_back(bigEndianWord(block->bytes() + kFrameStatusOffset));
            gain.push_back(bigEndianWord(block->bytes() + kFrameStatusOffset + 64));
        }
        return 0;
    });
    ASSERT_EQ(request(kConnect, window.handle, 0), 1);
    ASSERT_TRUE(pumpUntil([&] { return sequence.size() >= 3; }));
    ASSERT_TRUE(block);
    const std::size_t before = sequence.size();
    const std::uint32_t lastBefore = sequence.back(), gainBefore = gain.back();

    EXPECT_EQ(request(kGainFactor, window.handle, 4), 0);
    ASSERT_TRUE(pumpUntil([&] { return sequence.size() >= before + 3; }));
    EXPECT_LT(sequence[before], lastBefore) << "acquisition went off and on again";
    EXPECT_NE(gain.back(), gainBefore);
    EXPECT_EQ(historyCount("Remote gain factor:4"), 1);
}

// The box that a bad value shows must not hold the answer: nobody can click it under a service
// manager, and every subscriber's frames would wait meanwhile.
TEST_F(SubscriberRequests, BadGainFactorsAreAnsweredAtOnceWithTheirLineAndFramesGoOn) {
    startConsole({{0, 1111}});
    std::size_t frames = 0;
    RecordingWindow window(*client, [&](const Message& m) -> std::intptr_t {
        frames += m.msg == kConnect;
        return 0;
    });
    ASSERT_EQ(request(kConnect, window.handle, 0), 1);
    ASSERT_TRUE(pumpUntil([&] { return frames >= 2; }));
    for (std::intptr_t factor : {0, -1, 11, 100}) {
        SCOPED_TRACE(factor);
        const auto sent = std::chrono::steady_clock::now();
        EXPECT_EQ(request(kGainFactor, window.handle, factor), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - sent, 100ms);
        EXPECT_TRUE(waitForHistory("Remote gain factor:" + std::to_string(factor) + "\n"));
        const std::size_t before = frames;
        EXPECT_TRUE(pumpUntil([&] { return frames >= before + 3; }, 3000ms)) << "frames stopped";
    }
}

}  // namespace
}  // namespace kestrom::test
