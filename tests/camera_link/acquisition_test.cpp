// The acquire switch and the nested pause of acquisition around writes to the camera.
#include "camera_link/acquisition.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <ostream>

#include "fake_device.h"
#include "recording_host.h"

namespace kestrom::test {
namespace {

struct AcquisitionTest : ::testing::Test {
    ConsoleState state;
    FakeDevice device;
    RecordingHost host{state, device};
    DriverCalls calls{state, device, host};
    InstantDelay delay;
    Acquisition acquisition{state, calls, delay, host};
    DeviceHandle camera = kNoDevice;

    void openOnTab(int slot, std::int32_t acquire) {
        camera = device.openCamera();
        state.slots[slot].Device.store(camera);
        state.currentSlot = slot;
        std::int32_t value = acquire;
        std::uint32_t returned = 0;
        int error = 0;
        device.control(camera, req::SetAcquire.code, &value, 4, returned, error);
        state.slots[slot].AcquireState.store(acquire);
    }
    CameraSlot& slot1() { return state.slots[1]; }
};

TEST_F(AcquisitionTest, SetAcquireSendsTheValueReadsItBackUnderTheHourglass) {
    openOnTab(1, 0);
    acquisition.SetAcquire(1);
    EXPECT_EQ(device.acquire(camera), 1);
    EXPECT_EQ(slot1().AcquireState.load(), 1);
    auto requests = device.requests();
    EXPECT_EQ(std::vector<std::uint32_t>(requests.end() - 2, requests.end()),
              (std::vector<std::uint32_t>{req::SetAcquire.code, req::GetAcquire.code}));
    EXPECT_EQ(host.hourglass, (std::vector<bool>{true, false}));
    EXPECT_EQ(host.calibrateColourRefreshed, 1);
}

class InvalidAcquire : public AcquisitionTest, public ::testing::WithParamInterface<std::int32_t> {};

TEST_P(InvalidAcquire, IsReportedAndReadAsZero) {
    openOnTab(2, 1);
    device.answerAcquire(GetParam());
    EXPECT_EQ(acquisition.GetAcquire(), 0);
    EXPECT_EQ(state.slots[2].AcquireState.load(), GetParam()) << "the value read is what the slot holds";
    EXPECT_EQ(state.history.lines(),
              (std::vector<std::string>{"2 Read of invalid acquire on/off value: " + std::to_string(GetParam())}));
    EXPECT_EQ(host.calibrateColourRefreshed, 0);
}

INSTANTIATE_TEST_SUITE_P(Values, InvalidAcquire, ::testing::Values(2, -5, 0x10000));

// A run of suspends ('S') and resumes ('R') from a starting acquire state, checked after each step.
struct Step {
    char op;
    std::int32_t acquire;
    bool paused;
    std::vector<std::int32_t> saved;
};
struct SuspendCase {
    const char* name;
    std::int32_t start;
    std::vector<Step> steps;
};
void PrintTo(const SuspendCase& c, std::ostream* os) { *os << c.name; }

class SuspendResume : public AcquisitionTest, public ::testing::WithParamInterface<SuspendCase> {};

TEST_P(SuspendResume, NestsAndRestores) {
    const SuspendCase& c = GetParam();
    openOnTab(1, c.start);
    int suspends = 0;
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
        const Step& step = c.steps[i];
        if (step.op == 'S') {
            acquisition.SuspendAcquisition();
            ++suspends;
        } else {
            acquisition.ResumeAcquisition();
        }
        SCOPED_TRACE("step " + std::to_string(i + 1));
        EXPECT_EQ(device.acquire(camera), step.acquire);
        EXPECT_EQ(slot1().AcquireState.load(), step.acquire);
        EXPECT_EQ(slot1().Paused.load(), step.paused);
        EXPECT_EQ(slot1().SavedAcquireStates, step.saved);
    }
    EXPECT_EQ(delay.waited, 500LL * suspends);
    EXPECT_TRUE(state.history.lines().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Runs, SuspendResume,
    ::testing::Values(
        SuspendCase{"FromOn", 1, {{'S', 0, true, {1}}, {'S', 0, true, {1, 0}}, {'R', 0, true, {1}}, {'R', 1, false, {}}}},
        SuspendCase{"FromOff", 0, {{'S', 0, true, {0}}, {'S', 0, true, {0, 0}}, {'R', 0, true, {0}}, {'R', 0, true, {}}}},
        SuspendCase{"ResumeWithNothingSavedDoesNothing", 1, {{'R', 1, false, {}}, {'S', 0, true, {1}}, {'R', 1, false, {}}, {'R', 1, false, {}}}}),
    [](const auto& run) { return std::string(run.param.name); });

TEST_F(AcquisitionTest, OnTheHistoryTabNothingHappens) {
    openOnTab(1, 1);
    state.currentSlot = 0;
    std::size_t before = device.requests().size();
    acquisition.SuspendAcquisition();
    acquisition.ResumeAcquisition();
    EXPECT_EQ(device.requests().size(), before);
    EXPECT_EQ(delay.calls, 0);
    EXPECT_FALSE(slot1().Paused.load());
    EXPECT_TRUE(state.slots[0].SavedAcquireStates.empty());
}

TEST_F(AcquisitionTest, AFailingAcquireRequestClosesTheCameraAndLeavesItPaused) {
    openOnTab(1, 1);
    acquisition.SuspendAcquisition();
    device.failNextRequest(req::SetAcquire.code, EIO);
    acquisition.ResumeAcquisition();
    EXPECT_EQ(host.closes, 1);
    EXPECT_EQ(state.currentSlot, 0);
    EXPECT_TRUE(slot1().Paused.load());
    auto lines = state.history.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "1  ShortIO: IOCTL_SPC_SET_ACQUIRE. " + systemErrorText(EIO));
}

}  // namespace
}  // namespace kestrom::test
