// The utilities dialog in a console on deterministic simulated cameras: the Utilities button, the
// live image, marking with the mouse, the maps' exchange with the camera and with files, typed
// gains, the gain calculation, failures and closing.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "camera_records/requests.h"
#include "console/camera_tab.h"
#include "console/console_utilities.h"
#include "console/settings_panel.h"
#include "console_fixture.h"
#include "maintenance/ok_help_right_dlg.h"
#include "platform/device_io.h"
#include "simulator/sim_corrections.h"
#include "simulator/sim_detector.h"

namespace kestrom::testing {
namespace {

namespace fs = std::filesystem;

std::vector<std::int16_t> uniform(int value) { return std::vector<std::int16_t>(kMapPixels, static_cast<std::int16_t>(value)); }

// Camera pixel (row, column) holds 10 x row + column % 10: orientation and position can be read off.
std::vector<std::int16_t> rowNumbers() {
    std::vector<std::int16_t> pixels(kMapPixels);
    for (int i = 0; i < kMapPixels; ++i) pixels[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(10 * (i / 124) + i % 124 % 10);
    return pixels;
}

class UtilitiesTest : public ConsoleFixture {
  protected:
    void open(std::vector<sim::CameraConfig> cameras = {camera(0, 11)}) {
        start(std::move(cameras));
        showTab(1);
        pressUtilities();
    }
    void pressUtilities() {
        form->cameraTab(form->state().currentSlot)->UtilitiesButton->click();
        dlg = form->utilities().dialog(form->state().currentSlot);
    }
    bool dialogGone(int slot = 1) {
        return pumpUntil([&] { return form->utilities().dialog(slot) == nullptr; });
    }

    // The surface's cursor dragged to a display pixel, as the engineer does before a right click.
    void placeCursor(int x, int y) {
        TSurface* s = dlg->Surface1;
        auto send = [s](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
            QMouseEvent e(type, QPointF(at), s->mapToGlobal(QPointF(at)), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          buttons, Qt::NoModifier);
            QApplication::sendEvent(s, &e);
        };
        const BeamPoint cursor = s->GetFrameCursor();
        const BeamPoint from = s->beamView().toClient(cursor.x + 0.5, cursor.y + 0.5);
        const BeamPoint to = s->beamView().toClient(x + 0.5, y + 0.5);
        send(QEvent::MouseMove, {from.x, from.y}, Qt::NoButton);
        send(QEvent::MouseButtonPress, {from.x, from.y}, Qt::LeftButton);
        send(QEvent::MouseMove, {to.x, to.y}, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, {to.x, to.y}, Qt::NoButton);
        settle();
        ASSERT_EQ(s->GetFrameCursor(), (BeamPoint{x, y}));
    }
    void rightClick(Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::mouseClick(dlg->Surface1, Qt::RightButton, modifiers, QPoint(5, 5));
        settle();
    }
    void markAt(int x, int y, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        placeCursor(x, y);
        rightClick(modifiers);
    }
    void typeEnter(QLineEdit* edit, const QString& text) {
        edit->setFocus();
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    std::vector<PixPoint> listed() const { return dlg->badPixels().toVector(); }
    std::size_t requestsOf(std::uint32_t code, int device = 0) const {
        std::size_t n = 0;
        for (const auto& r : driver->requestLog()) n += r.code == code && r.deviceIndex == device;
        return n;
    }

    TOKHelpRightDlg* dlg = nullptr;
};

TEST_F(UtilitiesTest, TheButtonSwitchesTheCamerasCorrectionsOffAndTheDialogShowsItsMapsAndImageUpsideDown) {
    start({camera(0, 11)});
    showTab(1);
    // Both corrections on in the camera, whatever the switches' captions last said.
    driver->editStatus(0, [](ConsoleBlock& b) {
        b.setWord(ConsoleBlock::kGainCorrection, 1);
        b.setWord(ConsoleBlock::kPixelCorrection, 1);
    });
    pressUtilities();
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->windowTitle(), "Kestrom III Utilities - 11 - 11");
    EXPECT_EQ(driver->status(0).gainCorrection(), 0);
    EXPECT_EQ(driver->status(0).pixelCorrection(), 0);
    EXPECT_EQ(form->cameraTab(1)->GainOnOff->text(), "Turn on");
    // With the camera's gain correction off the gain map may be made and sent.
    EXPECT_TRUE(dlg->CalculateGainButton->isEnabled());
    EXPECT_EQ(dlg->CalculateGainButton->statusTip(), "Calculate gain map");

    // The camera's own stuck pixels, at display positions, and its factory gain map turned upright.
    const sim::DetectorPattern detector = sim::DetectorPattern::forSerial(11);
    ASSERT_EQ(dlg->badPixels().size(), static_cast<int>(detector.badPixels.size()));
    for (const auto& b : detector.badPixels) EXPECT_TRUE(dlg->badPixels().contains(b.column, 123 - b.row));
    EXPECT_EQ(dlg->BadPixelCountEdit->text(), QString::number(detector.badPixels.size()));
    const sim::Bytes factory = sim::factoryGainMap(detector);
    for (int row : {0, 50, 123})
        EXPECT_EQ(dlg->gainMap().entry(7, 123 - row), static_cast<std::int16_t>(factory[row * 248 + 14] << 8 | factory[row * 248 + 15]));
    EXPECT_EQ(dlg->suspensions(), 0);

    feed(rowNumbers());
    settle();
    // Display row r is camera row 123 - r; the cursor starts at (62, 62).
    EXPECT_EQ(dlg->workingImage()[pixelIndex(3, 0)], 10 * 123 + 3);
    EXPECT_EQ(dlg->workingImage()[pixelIndex(3, 123)], 3);
    EXPECT_EQ(dlg->displayFrame().Pixel(0, 3), 10 * 123 + 3);
    EXPECT_EQ(dlg->RawDataVaueEdit->text(), QString("%1").arg((10 * 61 + 2) * 0.5, 0, 'f', 1));
    EXPECT_EQ(dlg->Horizontal->text(), "62");
    EXPECT_EQ(dlg->Vertical->text(), "62");

    // A second click shows the same dialog.
    pressUtilities();
    EXPECT_EQ(form->utilities().dialog(1), dlg);
}

TEST_F(UtilitiesTest, GainButtonsAreRefusedWhileTheCameraCorrectsGain) {
    open();
    // The console's switch says the camera corrects gain again (the engineer turned it on).
    form->panel().SetGainCorrection(1);
    dlg->CalculateGainButton->setEnabled(true);
    dialogs.boxes.clear();
    dlg->CalculateGainButtonClick();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].caption, "User error.");
    EXPECT_EQ(dialogs.boxes[0].text, "Gain can not be calculated while being corrected.");
    EXPECT_FALSE(dlg->gainCalculation().running());

    // A dialog opened now starts with both gain buttons disabled.
    dlg->close();
    ASSERT_TRUE(dialogGone());
    form->panel().SetGainCorrection(1);
    form->cameraTab(1)->UtilitiesButton->click();
    dlg = form->utilities().dialog(1);
    // The button switched the correction off first, so they are enabled after all.
    EXPECT_TRUE(dlg->SendGainToCameraButton->isEnabled());
}

TEST_F(UtilitiesTest, TheRightButtonMarksAtTheCursorShiftUnmarksAndTheReadoutsTurnRed) {
    open();
    dlg->BitBtn1Click();
    markAt(10, 20);
    EXPECT_EQ(listed(), (std::vector<PixPoint>{{10, 20}}));
    EXPECT_EQ(dlg->BadPixelCountEdit->text(), "1");
    EXPECT_EQ(dlg->Horizontal->palette().color(QPalette::Base), QColor(255, 0, 0));
    rightClick(Qt::ShiftModifier);
    EXPECT_TRUE(listed().empty());
    EXPECT_EQ(dlg->Horizontal->palette().color(QPalette::Base), QColor(0, 255, 0));

    dlg->RowsOfPixels->setChecked(true);
    rightClick();
    EXPECT_EQ(dlg->badPixels().size(), 124);
    dlg->ColsOfPixels->setChecked(true);
    markAt(30, 40, Qt::ShiftModifier);
    EXPECT_EQ(dlg->badPixels().size(), 123);
    EXPECT_FALSE(dlg->badPixels().contains(30, 20));

    // Other buttons do nothing.
    QTest::mouseClick(dlg->Surface1, Qt::MiddleButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(dlg->badPixels().size(), 123);

    dlg->BitBtn6Click();
    EXPECT_EQ(dlg->BitBtn6->text(), "Hide Map");
    EXPECT_TRUE(dlg->Surface1->beamView().state().showPixPoints);
    EXPECT_EQ(dlg->Surface1->beamView().state().pixPoints.size(), 123u);
    dlg->BitBtn6Click();
    EXPECT_EQ(dlg->BitBtn6->text(), "Show Map");
}

TEST_F(UtilitiesTest, SendMapAsksFirstWritesTheSortedListAndGetMapReadsItBack) {
    open();
    dlg->BitBtn1Click();
    for (auto [x, y] : {std::pair{5, 9}, {1, 2}, {7, 2}}) markAt(x, y);

    dialogs.answers = {BoxAnswer::Cancel};
    dlg->BitBtn3Click();
    EXPECT_EQ(requestsOf(req::SetChopBadPixelMap.code), 0u);

    dialogs.boxes.clear();
    dlg->BitBtn3Click();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].caption, "WAIT!");
    EXPECT_EQ(dialogs.boxes[0].text,
              "This operation will destroy the current contents of the camera. \n Press cancel to exit now.");
    EXPECT_EQ(dialogs.boxes[0].buttons, BoxButtons::OkCancel);
    ASSERT_EQ(requestsOf(req::SetChopBadPixelMap.code), 1u);
    // Three entries and the zero one.
    for (const auto& r : driver->requestLog())
        if (r.code == req::SetChopBadPixelMap.code) {
            EXPECT_EQ(r.length, 16u);
        }
    EXPECT_EQ(dlg->suspensions(), 0);
    EXPECT_TRUE(form->state().slots[1].SavedAcquireStates.empty());

    dlg->BitBtn1Click();
    dlg->BitBtn2Click();
    // Sorted by camera row when sent; read back newest first.
    EXPECT_EQ(listed(), (std::vector<PixPoint>{{7, 2}, {1, 2}, {5, 9}}));
    EXPECT_EQ(dlg->BadPixelCountEdit->text(), "3");
}

TEST_F(UtilitiesTest, BadPixelFilesSaveInListOrderLoadWithTheirRulesAndCancelLeavesAnEmptyList) {
    open();
    const std::string folder = configFolder + "/maps/";
    fs::create_directories(folder);
    dlg->BitBtn1Click();
    markAt(3, 4);
    markAt(100, 120);

    dialogs.files = {folder + "camera.bpc"};
    dlg->BitBtn5Click();
    const FileDialogRequest& save = dialogs.fileDialogs.back();
    EXPECT_EQ(save.title, "Save chopped bad pixel file.");
    EXPECT_EQ(save.filterIndex, 2);
    EXPECT_EQ(save.defaultExtension, "bpc");
    std::ifstream in(folder + "camera.bpc", std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), "100, 120\r\n3, 4\r\n");
    EXPECT_EQ(dlg->dataDirectory(), folder);

    // Cancelled: the list was cleared all the same.
    dialogs.files = {std::nullopt};
    dlg->BitBtn4Click();
    EXPECT_TRUE(listed().empty());
    EXPECT_EQ(dialogs.fileDialogs.back().title, "Open chopped bad pixel file.");
    EXPECT_EQ(dialogs.fileDialogs.back().fileName, folder + "*.bpc");

    std::ofstream(folder + "junk.bpc") << "5, 6\r\nno comma\r\n200, 1\r\n7, seven\r\n8, 9\r\n";
    dialogs.boxes.clear();
    dialogs.files = {folder + "junk.bpc"};
    dlg->BitBtn4Click();
    EXPECT_EQ(listed(), (std::vector<PixPoint>{{5, 6}}));
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, "'seven' is not a valid integer value");

    // The factory names the file after the camera.
    form->state().privilegedMode = true;
    dialogs.files = {std::nullopt};
    dlg->BitBtn5Click();
    EXPECT_EQ(dialogs.fileDialogs.back().fileName, "11.bpc");

    // The folder is remembered for the camera when the dialog closes.
    dlg->close();
    ASSERT_TRUE(dialogGone());
    EXPECT_EQ(form->registry().value(RegistryHive::CurrentUser, std::string(kUtilityKeyBase) + "11", "DataPath"),
              RegistryValue::string(folder));
}

TEST_F(UtilitiesTest, TypedGainsGoIntoTheMapAndSetDefaultThenSaveWritesOneZeroEverywhere) {
    open();
    feed(uniform(1000));
    placeCursor(20, 30);
    typeEnter(dlg->RowGain, "1.5");
    for (int x : {0, 20, 123}) EXPECT_EQ(dlg->gainMap().entry(x, 30), 384);
    EXPECT_EQ(dlg->RowGain->palette().color(QPalette::Text), QColor(Qt::black));
    typeEnter(dlg->ColGain, "0.5");
    EXPECT_EQ(dlg->gainMap().entry(20, 0), 128);
    typeEnter(dlg->PixelGain, "200");
    EXPECT_EQ(dlg->gainMap().entry(20, 30), static_cast<std::int16_t>(51200));
    EXPECT_FALSE(dlg->PixelGain->hasFocus());

    dialogs.boxes.clear();
    const GainMap before = dlg->gainMap();
    typeEnter(dlg->RowGain, "1,5x");
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, "'1,5x' is not a valid floating point value");
    EXPECT_EQ(dlg->gainMap().bytes(), before.bytes());

    // The row read-out is red while the row is not uniform.
    dlg->RowGain->clearFocus();
    dlg->updateReadouts();
    EXPECT_EQ(dlg->RowGain->palette().color(QPalette::Text), QColor(Qt::red));

    dlg->BitBtn7Click();
    const std::string path = configFolder + "/unity.gcc";
    dialogs.files = {path};
    dlg->SaveGainMapButtonClick();
    EXPECT_EQ(dialogs.fileDialogs.back().title, "Save chopped gain map file.");
    EXPECT_EQ(dialogs.fileDialogs.back().fileName, "*.gcc");
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(bytes.size(), kGainMapBytes);
    EXPECT_EQ(bytes.find_first_not_of(std::string("\x01\x00", 2)), std::string::npos);
    for (std::size_t i = 0; i < bytes.size(); i += 2) ASSERT_EQ(bytes.substr(i, 2), std::string("\x01\x00", 2)) << i;
}

TEST_F(UtilitiesTest, AShortGainFileLoadsWithTheLengthMessageAndAnUnreadableOneLeavesTheMap) {
    open();
    const std::string short_ = configFolder + "/short.gcc";
    std::ofstream(short_, std::ios::binary) << std::string(30000, '\x01');
    dialogs.boxes.clear();
    dialogs.files = {short_};
    dlg->LoadGainMapButtonClick();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].caption, "Unreliable Data");
    EXPECT_EQ(dialogs.boxes[0].text, "The file length read is not correct for a gain map.");
    EXPECT_EQ(dlg->gainMap().bytes()[29999], 0x01);
    EXPECT_EQ(dlg->gainMap().bytes()[30000], 0x00);

    const GainMap before = dlg->gainMap();
    dialogs.boxes.clear();
    dialogs.files = {configFolder};  // a folder
    dlg->LoadGainMapButtonClick();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].caption, "File Error");
    EXPECT_EQ(dialogs.boxes[0].text, "Can't perform one of the following file operations: Open, Seek, Read, Close.");
    EXPECT_EQ(dlg->gainMap().bytes(), before.bytes());
}

TEST_F(UtilitiesTest, MakeGainTableCountsSixtyFourProcessedFramesAndSaysWhenTheMapIsComplete) {
    open();
    std::vector<std::int16_t> frame = uniform(2000);
    frame[static_cast<std::size_t>(123 * 124 + 5)] = 1000;  // camera row 123 is display row 0
    dlg->CalculateGainButtonClick();
    EXPECT_TRUE(dlg->gainCalculation().running());
    for (int i = 0; i < 63; ++i) feed(frame);
    settle();
    EXPECT_EQ(dlg->gainCalculation().framesRemaining(), 1);
    feed(frame);
    settle();
    EXPECT_FALSE(dlg->gainCalculation().running());
    EXPECT_EQ(dlg->gainMap().entry(5, 0), 509);
    EXPECT_EQ(dlg->gainMap().entry(6, 0), 255);
    EXPECT_EQ(dlg->StatusBar1->currentMessage(), "Thank you. Gain map complete.");

    // The map corrects the live image in software when asked: the dark pixel comes up to 1000 x 509 / 256.
    dlg->SoftwareGain->click();
    feed(frame);
    settle();
    EXPECT_EQ(dlg->workingImage()[pixelIndex(5, 0)], 1988);
    EXPECT_EQ(dlg->rawImage()[pixelIndex(5, 0)], 1000);

    // Paused, the image stays; Repaint corrects the raw copy again.
    dlg->PauseButtonClick();
    EXPECT_EQ(dlg->PauseButton->text(), "Resume");
    EXPECT_FALSE(dlg->RepaintButton->isHidden());
    dlg->SoftwareGain->click();
    EXPECT_EQ(dlg->workingImage()[pixelIndex(5, 0)], 1000);
    dlg->PauseButtonClick();
    EXPECT_TRUE(dlg->RepaintButton->isHidden());
}

TEST_F(UtilitiesTest, CorrectingPixelsRepairsTheListedPixelsOfTheLiveImage) {
    open();
    dlg->BitBtn1Click();
    std::vector<std::int16_t> frame = uniform(800);
    frame[static_cast<std::size_t>((123 - 40) * 124 + 30)] = 16000;  // display (30, 40)
    markAt(30, 40);
    dlg->CorrectingPixels->click();
    feed(frame);
    settle();
    EXPECT_EQ(dlg->workingImage()[pixelIndex(30, 40)], 800);
    EXPECT_EQ(dlg->rawImage()[pixelIndex(30, 40)], 16000);
}

TEST_F(UtilitiesTest, AFailedMapRequestWritesItsLineWithoutSlotClosesTheCameraAndTheDialogAndGivesTheSuspensionBack) {
    open();
    driver->failNextRequest(0, req::SetChopGainMap.code, EIO);
    const std::size_t before = mark();
    dlg->SendGainToCameraButtonClick();
    const auto lines = linesSince(before);
    EXPECT_THAT(lines, ::testing::Contains(::testing::StartsWith("IOCTL_SPC_SET_CHOP_GAIN_MAP. ")));
    EXPECT_FALSE(form->state().slots[1].hasDevice());
    EXPECT_FALSE(form->state().slots[1].DevicePath.empty());
    ASSERT_TRUE(dialogGone());
    EXPECT_TRUE(form->state().slots[1].SavedAcquireStates.empty());
}

TEST_F(UtilitiesTest, AFailingFirstMapReadClosesTheCameraAndOpensNoDialog) {
    start({camera(0, 11)});
    showTab(1);
    driver->failNextRequest(0, req::GetChopBadPixelMap.code, EIO);
    pressUtilities();
    EXPECT_TRUE(historyHas("IOCTL_SPC_GET_CHOP_BAD_PIXEL_MAP. " + systemErrorText(EIO)));
    EXPECT_FALSE(form->state().slots[1].hasDevice());
    EXPECT_TRUE(dialogGone());
}

TEST_F(UtilitiesTest, RequestsGoToTheDialogsOwnCameraWhateverTabIsShown) {
    open({camera(0, 11), camera(1, 22, "v1.03")});
    showTab(2);
    ASSERT_EQ(form->state().currentSlot, 2);
    const std::size_t own = requestsOf(req::GetChopBadPixelMap.code, 0);
    dlg->BitBtn2Click();
    dlg->SendGainToCameraButtonClick();
    EXPECT_EQ(requestsOf(req::GetChopBadPixelMap.code, 0), own + 1);
    EXPECT_EQ(requestsOf(req::SetChopGainMap.code, 0), 1u);
    EXPECT_EQ(requestsOf(req::GetChopBadPixelMap.code, 1) + requestsOf(req::SetChopGainMap.code, 1), 0u);
    EXPECT_TRUE(form->state().slots[1].SavedAcquireStates.empty());
    EXPECT_EQ(form->state().currentSlot, 2);
}

TEST_F(UtilitiesTest, AnUnpluggedCameraClosesTheDialogAndAConsoleClosingWithItOpenEndsCleanly) {
    open({camera(0, 11), camera(1, 22)});
    driver->detach(0);
    form->deviceChange(kDevNodesChanged);
    EXPECT_TRUE(dialogGone());

    showTab(2);
    pressUtilities();
    ASSERT_NE(dlg, nullptr);
    form.reset();  // no crash, no hang; the dialog goes with the console
}

}  // namespace
}  // namespace kestrom::testing
