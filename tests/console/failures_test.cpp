// Failed requests, vanished cameras and bad status words: one line each, the camera closed or kept.
#include <QLineEdit>
#include <QTabWidget>
#include <cerrno>

#include "console/camera_tab.h"
#include "console_fixture.h"

namespace kestrom::testing {
namespace {

using ::testing::ElementsAre;

class Failures : public ConsoleFixture {};

TEST_F(Failures, FailingGainRequestOnTabTwoClosesItAndDiscoveryReopensIt) {
    start({camera(0, 11), camera(1, 22)});
    showTab(2);
    driver->failNextRequest(1, req::SetGain.code, EIO);
    std::size_t before = mark();
    EXPECT_EQ(form->calls().ShortIO(req::SetGain, 100), -1);
    auto lines = linesSince(before);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "2  ShortIO: IOCTL_SPC_SET_GAIN. " + systemErrorText(EIO));
    EXPECT_TRUE(historyHas("2 Camera closed: 22"));
    EXPECT_FALSE(form->isTabShown(2));
    EXPECT_EQ(form->pageControl()->currentIndex(), 0);
    EXPECT_EQ(form->state().slots[2].DevicePath, "");

    form->Timer1Timer();
    EXPECT_TRUE(form->state().slots[2].hasDevice());
    EXPECT_EQ(form->tabCaption(2), "22");
}

TEST_F(Failures, WrapperLinesCarryTheirOwnPrefix) {
    struct Case {
        const char* what;
        std::uint32_t failingCode;
        std::function<void(TLogoAppForm&)> call;
        std::string line;
    };
    const std::string text = systemErrorText(EIO);
    std::vector<Case> cases = {
        {"ShortIO", req::SetExposureTime.code, [](TLogoAppForm& f) { f.calls().ShortIO(req::SetExposureTime, 100); },
         "1  ShortIO: IOCTL_SPC_SET_EXPOSURE_TIME. " + text},
        {"ShortRead", req::kItemCode, [](TLogoAppForm& f) { f.calls().ShortRead(req::GetVisibleWavelength, req::kVisibleWavelengthItem); },
         "1  ShortRead: IOCTL_SPC_GET_VISIBLE_WAVELENGTH. " + text},
        {"ShortWrite", req::kItemCode,
         [](TLogoAppForm& f) { f.calls().ShortWrite(req::SetVisibleWavelength, req::kVisibleWavelengthItem, 1); },
         "1  ShortWrite: IOCTL_SPC_SET_VISIBLE_WAVELENGTH. " + text},
        {"ReadCameraState", req::GetFactoryInformation.code, [](TLogoAppForm& f) { f.calls().ReadCameraState(); },
         "1 IOCTL_SPC_GET_FACTORY_INFORMATION. " + text},
    };
    for (const Case& c : cases) {
        start({camera(0, 11)});
        driver->failNextRequest(0, c.failingCode, EIO);
        std::size_t before = mark();
        c.call(*form);
        auto lines = linesSince(before);
        ASSERT_FALSE(lines.empty()) << c.what;
        EXPECT_EQ(lines.front(), c.line) << c.what;
        EXPECT_FALSE(form->state().slots[1].hasDevice()) << c.what;
        EXPECT_EQ(form->state().slots[1].DevicePath, "") << c.what;
        EXPECT_FALSE(form->state().refreshInProgress) << c.what;
        TearDown();
    }
}

TEST_F(Failures, NoCameraInTheSlotMeansMinusOneAndNoLine) {
    start({});
    std::size_t before = mark();
    EXPECT_EQ(form->calls().ShortIO(req::GetMode, 0), -1);
    EXPECT_EQ(form->calls().ShortRead(req::GetVisibleWavelength, req::kVisibleWavelengthItem), -1);
    form->calls().ShortWrite(req::SetVisibleWavelength, req::kVisibleWavelengthItem, 1);
    EXPECT_TRUE(linesSince(before).empty());
}

TEST_F(Failures, FailingRequestByTabLeavesTheCameraOpen) {
    start({camera(0, 11), camera(1, 22)});
    driver->failNextRequest(0, req::GetMode.code, EIO);
    std::size_t before = mark();
    EXPECT_EQ(form->calls().ShortIOByTab(req::GetMode, 1, 0), -1);
    EXPECT_THAT(linesSince(before), ElementsAre("1 ShortIO by tab, IOCTL_SPC_GET_MODE. " + systemErrorText(EIO)));
    EXPECT_TRUE(form->state().slots[1].hasDevice());
    EXPECT_EQ(form->calls().ShortIOByTab(req::GetMode, 42, 0), -1);  // outside the table: nothing
}

TEST_F(Failures, UnpluggedCameraOffTheCurrentTabClosesAndReturnsWhenPluggedIn) {
    start({camera(0, 11), camera(1, 22)});
    showTab(1);
    driver->detach(1);
    std::size_t before = mark();
    form->deviceChange(kDevNodesChanged);
    auto lines = linesSince(before);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "2 ShortIO by tab, IOCTL_SPC_GET_MODE. " + systemErrorText(ENODEV));
    EXPECT_TRUE(historyHas("2 Camera closed: 22"));
    EXPECT_FALSE(form->isTabShown(2));
    EXPECT_TRUE(form->state().slots[1].hasDevice());
    EXPECT_EQ(form->state().slots[2].DevicePath, "");

    form->Timer1Timer();
    EXPECT_FALSE(form->state().slots[2].hasDevice());  // still unplugged
    driver->attach(1);
    form->Timer1Timer();
    EXPECT_TRUE(form->state().slots[2].hasDevice());
    EXPECT_TRUE(form->isTabShown(2));
}

TEST_F(Failures, DeviceChangeOfAnotherKindOnlyShowsTheStatusText) {
    start({camera(0, 11), camera(1, 22)});
    driver->detach(1);
    std::size_t before = mark();
    form->dispatchMessage(kDeviceChangeMessage, 0x8000, 0);
    EXPECT_TRUE(linesSince(before).empty());
    EXPECT_TRUE(form->state().slots[2].hasDevice());
}

TEST_F(Failures, ModeWordOfNineIsReportedAndKeepsTheDigit) {
    start({camera(0, 11)});
    QString before = form->cameraTab(1)->Mode->text();
    ASSERT_FALSE(before.isEmpty());
    driver->editStatus(0, [](ConsoleBlock& b) { b.setWord(ConsoleBlock::kMode, 9); });
    std::size_t mark0 = mark();
    form->NoViewTimerTimer();
    EXPECT_THAT(linesSince(mark0), ElementsAre("1 Invalid Mode value"));
    EXPECT_EQ(form->cameraTab(1)->Mode->text(), before);
}

TEST_F(Failures, StatusReadFailingAtOpenClosesAndTheNextTickReopens) {
    sim::Config config;
    config.cameras = {camera(0, 11)};
    config.deterministic = true;
    driver = std::make_unique<sim::Driver>(config);
    driver->failNextRequest(0, req::GetConsoleAsBlock.code, EIO);
    startConsole();
    EXPECT_TRUE(historyHas("1 IOCTL_GET_CONSOLE_AS_BLOCK. " + systemErrorText(EIO)));
    EXPECT_FALSE(form->state().slots[1].hasDevice());
    form->Timer1Timer();
    EXPECT_TRUE(form->state().slots[1].hasDevice());
}

}  // namespace
}  // namespace kestrom::testing
