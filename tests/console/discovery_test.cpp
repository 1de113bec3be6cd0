// Start-up discovery, opening cameras, closing them and finding them again.
#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QScrollBar>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <cerrno>

#include "console/camera_tab.h"
#include "console_fixture.h"

namespace kestrom::testing {
namespace {

using ::testing::ElementsAre;

class Discovery : public ConsoleFixture {};

TEST_F(Discovery, NoCameraAtStartWritesOneLineAndShowsHistory) {
    start({});
    EXPECT_THAT(form->state().history.lines(), ElementsAre("No cameras found"));
    for (int slot = 1; slot <= 4; ++slot) EXPECT_FALSE(form->isTabShown(slot)) << slot;
    EXPECT_EQ(form->pageControl()->currentIndex(), 0);
    EXPECT_EQ(form->state().currentSlot, 0);
    EXPECT_FALSE(form->action("Closecamera1")->isEnabled());
}

TEST_F(Discovery, CamerasAtDeviceNumbersZeroAndTwoOpenInSlotsOneAndTwo) {
    start({camera(0, 1234), camera(2, 4660, "v1.03")});
    EXPECT_THAT(form->state().history.lines(),
                ElementsAre("0 Camera opened.", "0 Switch to \\\\.\\Kestrom0", "1 Camera opened.",
                            "1 Switch to \\\\.\\Kestrom2"));
    EXPECT_EQ(form->tabCaption(1), "1234");
    EXPECT_EQ(form->tabCaption(2), "4660");
    EXPECT_TRUE(form->isTabShown(1));
    EXPECT_TRUE(form->isTabShown(2));
    EXPECT_FALSE(form->isTabShown(3));
    EXPECT_EQ(form->state().slots[1].DevicePath, "\\\\.\\Kestrom0");
    EXPECT_EQ(form->state().slots[2].DevicePath, "\\\\.\\Kestrom2");
    EXPECT_EQ(form->state().slots[2].Serial, 4660u);
    EXPECT_EQ(form->state().currentSlot, 2);
    EXPECT_EQ(form->cameraTab(2)->SerialDisplay->text(), "4660");
    EXPECT_EQ(form->cameraTab(2)->FirmwareRev->text(), "v1.03");
}

TEST_F(Discovery, StatusRequestIsReadTwiceOnlyForFirmwareV105) {
    struct Case {
        const char* firmware;
        std::vector<std::uint32_t> lengths;
    };
    for (const Case& c : {Case{"v1.05", {96, 256}}, Case{"v1.03", {96}}, Case{"Xv1.05b", {96, 256}}}) {
        start({camera(0, 1234, c.firmware)});
        std::vector<std::uint32_t> lengths;
        for (const auto& r : driver->requestLog())
            if (r.code == req::GetConsoleAsBlock.code) lengths.push_back(r.length);
        EXPECT_EQ(lengths, c.lengths) << c.firmware;
        // The factory record comes first, then the status.
        ASSERT_FALSE(driver->requestLog().empty());
        EXPECT_EQ(driver->requestLog().front().code, req::GetFactoryInformation.code);
        TearDown();
    }
}

TEST_F(Discovery, FiveCamerasOpenFourTabsAndTheFifthSilently) {
    start({camera(0, 1), camera(1, 2), camera(2, 3), camera(3, 4), camera(4, 5)});
    for (int slot = 1; slot <= 4; ++slot) EXPECT_TRUE(form->state().slots[slot].hasDevice()) << slot;
    std::size_t before = mark();
    form->Timer1Timer();
    EXPECT_TRUE(linesSince(before).empty());
    EXPECT_EQ(form->state().slots[5].Serial, 0u);
}

TEST_F(Discovery, ClosedCameraStaysClosedUntilOpenCameras) {
    start({camera(0, 1234)});
    form->CloseCameraExecute();
    EXPECT_TRUE(historyHas("1 Camera closed: 1234"));
    EXPECT_FALSE(form->isTabShown(1));
    EXPECT_EQ(form->pageControl()->currentIndex(), 0);
    EXPECT_FALSE(form->state().slots[1].hasDevice());

    form->Timer1Timer();
    EXPECT_FALSE(form->state().slots[1].hasDevice());

    form->OpenCameraExecute();
    form->Timer1Timer();
    EXPECT_TRUE(form->state().slots[1].hasDevice());
    EXPECT_TRUE(form->isTabShown(1));
    EXPECT_EQ(form->tabCaption(1), "1234");
}

TEST_F(Discovery, CameraThatCannotBeOpenedIsReportedAtEachTickUntilItOpens) {
    start({camera(3, 77)});
    form->CloseCameraExecute();
    form->OpenCameraExecute();
    driver->failNextOpen(3, EACCES);
    std::size_t before = mark();
    form->Timer1Timer();
    EXPECT_THAT(linesSince(before),
                ElementsAre("0 Error opening camera: \\\\.\\Kestrom3 - " + systemErrorText(EACCES)));
    form->Timer1Timer();
    EXPECT_TRUE(form->state().slots[1].hasDevice());
}

TEST_F(Discovery, SerialBytes0x12And0x34NameTheTab4660) {
    start({camera(0, 0x1234)});
    EXPECT_EQ(form->tabCaption(1), "4660");
    EXPECT_EQ(form->state().slots[1].Serial, 4660u);
}

TEST_F(Discovery, TabSwitchWritesItsLineAndMovesTheControlReferences) {
    start({camera(0, 11), camera(1, 22)});
    std::size_t before = mark();
    showTab(1);
    showTab(0);
    EXPECT_THAT(linesSince(before), ElementsAre("2 Switch to 11", "1 Switch to history tab."));
    EXPECT_EQ(form->currentTab(), form->cameraTab(1));
    EXPECT_FALSE(form->action("Closecamera1")->isEnabled());
    EXPECT_TRUE(form->action("Refresh5")->isEnabled());
    for (int noTab : {0, 5, -1, 1 << 30, -(1 << 30)}) EXPECT_EQ(form->cameraTab(noTab), nullptr) << noTab;
}

// The list grows at its end: read there, it keeps the newest line in view; scrolled back to
// read older lines, it stays on them.
TEST_F(Discovery, TheHistoryFollowsItsNewestLineUnlessScrolledBack) {
    start({});
    form->show();
    QScrollBar* bar = form->errLog()->verticalScrollBar();
    auto write = [&](int lines) {
        for (int i = 0; i < lines; ++i) form->state().history.appendRaw("line " + std::to_string(i));
        QApplication::processEvents();
    };
    write(200);
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());

    bar->setValue(0);
    write(50);
    EXPECT_EQ(bar->value(), 0);
    bar->setValue(bar->maximum());
    write(50);
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(Discovery, StatusBarDoubleClickTogglesDebugLogging) {
    start({});
    form->StatusBarDblClick();
    form->StatusBarDblClick();
    EXPECT_THAT(linesSince(1), ElementsAre("0 Debug started.", "0 Debug ended."));
    EXPECT_FALSE(form->state().debugLogging);
}

TEST_F(Discovery, ExitClosesEveryCameraSoItCanBeProbedAgain) {
    start({camera(0, 1), camera(1, 2)});
    form->FileExit1Execute();
    EXPECT_TRUE(form->state().closing);
    for (int slot = 1; slot <= 2; ++slot) EXPECT_FALSE(form->state().slots[slot].hasDevice());
    int error = 0;
    DeviceHandle probe = driver->open(deviceName(1), DeviceAccess::Probe, error);
    EXPECT_NE(probe, kNoDevice);
    driver->close(probe);
    std::size_t before = mark();
    form->Timer1Timer();  // discovery has stopped
    EXPECT_TRUE(linesSince(before).empty());
}

}  // namespace
}  // namespace kestrom::testing
