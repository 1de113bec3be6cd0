// The view window on a console with deterministic simulated cameras: frames replayed by hand,
// answers to its dialogs scripted.
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPrinter>
#include <QPrintDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTableWidget>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>

#include "console/camera_tab.h"
#include "console/console_viewers.h"
#include "console/qt_dialogs.h"
#include "console_fixture.h"
#include "nested_dialogs.h"
#include "subscriber/qt/kestrom3_subscriber_widget.h"
#include "viewer/core/frame_record.h"
#include "viewer/core/beam_results_text.h"
#include "viewer/core/picture_format.h"
#include "viewer/core/second_moment_record.h"
#include "viewer/statistics_window.h"
#include "viewer/view_window.h"

namespace kestrom::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::vector<std::int16_t> uniform(int value) {
    return std::vector<std::int16_t>(124 * 124, static_cast<std::int16_t>(value));
}

// Pixel (row, column) holds its row: the orientation can be read off any column.
std::vector<std::int16_t> rowNumbers() {
    std::vector<std::int16_t> pixels(124 * 124);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::int16_t>(i / 124);
    return pixels;
}

// A Gaussian spot, so that the results and the printout have something to show.
std::vector<std::int16_t> beam() {
    std::vector<std::int16_t> pixels(124 * 124);
    for (int r = 0; r < 124; ++r)
        for (int c = 0; c < 124; ++c)
            pixels[static_cast<std::size_t>(r * 124 + c)] = static_cast<std::int16_t>(
                12000 * std::exp(-((r - 50) * (r - 50) + (c - 70) * (c - 70)) / 200.0));
    return pixels;
}

std::string run(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
        pclose(p);
    }
    return out;
}

class ViewWindowTest : public ConsoleFixture {
  protected:
    // A console on the cameras, the first one's tab shown, and its viewer opened by "View".
    void openViewer(std::vector<sim::CameraConfig> cameras = {camera(0, 11)}) {
        start(std::move(cameras));
        dataFolder = configFolder + "/data/";
        fs::create_directories(dataFolder);
        ViewerSettings settings;
        settings.dataPath = dataFolder;
        writeViewerSettings(form->registry(), "11", settings);
        showTab(1);
        pressView();
    }
    void pressView() {
        form->cameraTab(1)->ViewButton->click();
        viewer = form->viewers().viewer(1);
        ASSERT_NE(viewer, nullptr);
        viewer->setOnFrameShown([this](auto, auto) {
            ++shown;
            shownValues.push_back(viewer->frame().Pixel(0, 0));
        });
        viewer->setModalRunner([this](QDialog& dialog) { return answer ? answer(dialog) : int(QDialog::Rejected); });
    }

    // A frame record of uniform pixels at path.
    void writeRecord(const std::string& path, int value, std::int32_t ac = 0) {
        FrameBlockBytes block{};
        const auto pixels = uniform(value);
        std::memcpy(block.data(), pixels.data(), pixels.size() * 2);
        VasprelHeader header = *viewer->frame().GetHeader();
        header.AC = ac;
        ASSERT_FALSE(writeFrameRecord(path, header, block.data()));
    }

    // "Lo&g data to disk" into the data folder, for a number of frames.
    void startLog(const std::string& name, int frames) {
        answer = [this, name, frames](QDialog& dialog) {
            dialog.findChild<QLineEdit*>("LoggingFileName")->setText(QString::fromStdString(dataFolder + name));
            dialog.findChild<QLineEdit*>("FramesToLog")->setText(QString::number(frames));
            dialog.findChild<QPushButton*>("BitBtn2")->click();
            return int(QDialog::Accepted);
        };
        viewer->Logdatatodisk1Click();
        answer = nullptr;
    }

    void typeInto(QWidget* widget, int key, const QString& text) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(widget, &press);
    }

    std::string dataFolder;
    QPointer<TViewWindow> viewer;
    int shown = 0;
    std::vector<std::int16_t> shownValues;
    std::function<int(QDialog&)> answer;
    QtDialogs qtDialogs;  // the console's own dialogs, for tests that run them for real
};

TEST_F(ViewWindowTest, ViewOpensOneWindowPerSlotTitledWithTheTabAndSerialThatAttachesToItsCamera) {
    openViewer();
    EXPECT_EQ(viewer->windowTitle().toStdString(),
              "Kestrom III Viewer, " + form->tabCaption(1).toStdString() + " - 11");
    EXPECT_TRUE(viewer->isVisible());
    // A title bar without buttons: the window closes through its own Exit and Close.
    EXPECT_TRUE(viewer->windowFlags().testFlag(Qt::CustomizeWindowHint));
    for (Qt::WindowType button : {Qt::WindowMinimizeButtonHint, Qt::WindowMaximizeButtonHint,
                                  Qt::WindowCloseButtonHint, Qt::WindowSystemMenuHint})
        EXPECT_FALSE(viewer->windowFlags().testFlag(button)) << button;
    const VasprelHeader& h = *viewer->frame().GetHeader();
    EXPECT_EQ(h.Flags & vasprel::kValidData, vasprel::kValidData);
    EXPECT_EQ(h.PixelBits, 14);
    EXPECT_EQ(h.PixelHScale, static_cast<std::int16_t>(driver->factory(0).word(FactoryInfo::kPixelXScale)));
    EXPECT_EQ(viewer->subscriberWidget().subscriber().Tab(), 1);
    EXPECT_EQ(viewer->subscriberWidget().subscriber().Serial(), 11);

    TViewWindow* first = viewer;
    pressView();
    EXPECT_EQ(viewer.data(), first);

    feed(beam());
    EXPECT_EQ(shown, 1);
    EXPECT_GT(viewer->frame().GetHeader()->FrameTotal, 0);
}

TEST_F(ViewWindowTest, WithoutALensTheFirstRowReceivedIsShownAtTheBottom) {
    openViewer();
    for (bool lens : {false, true}) {
        viewer->HasLens->setChecked(lens);
        feed(rowNumbers());
        EXPECT_EQ(viewer->frame().Pixel(0, 9), lens ? 0 : 123) << lens;
        EXPECT_EQ(viewer->frame().Pixel(123, 9), lens ? 123 : 0) << lens;
    }
}

TEST_F(ViewWindowTest, StartAvgAndSumShowEveryFrameOrTheAverageOrSumOfTheNBeforeTheNextOne) {
    struct Case {
        const char* mode;
        const char* n;
        std::vector<int> frames;
        std::vector<std::int16_t> shown;
    } cases[] = {
        {"Start", "2", {100, 200, 300}, {100, 200, 300}},
        {"Avg", "1", {100, 200, 300}, {100, 200, 300}},
        {"Sum", "2", {20000, 20000, 7}, {32767}},  // saturated, not wrapped
        {"Avg", "3", {3, 6, 9, 1000, 30, 60, 90, 2000}, {6, 60}},
        {"Avg", "3", {-1, -1, 0, 5}, {0}},  // -2 / 3 truncates toward zero
    };
    openViewer();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + " " + c.n);
        viewer->AvgEdit->setText(c.n);
        viewer->RadioButton4->setChecked(true);
        QRadioButton* mode = std::string(c.mode) == "Start" ? viewer->RadioButton1
                             : std::string(c.mode) == "Avg" ? viewer->RadioButton2
                                                            : viewer->RadioButton3;
        mode->setChecked(true);
        shownValues.clear();
        for (int v : c.frames) feed(uniform(v));
        EXPECT_EQ(shownValues, c.shown);
    }
}

TEST_F(ViewWindowTest, StopKeepsTheLastFrameAndLoadingWhileStoppedShowsTheLoadedOneWithItsOwnHeader) {
    openViewer();
    feed(beam());
    const std::int16_t peak = viewer->frame().Pixel(73, 70);
    viewer->RadioButton4->setChecked(true);
    const int shownBefore = shown;
    feed(uniform(500));
    EXPECT_EQ(shown, shownBefore);
    EXPECT_EQ(viewer->frame().Pixel(73, 70), peak);

    // Saved as shown, then another frame loaded, then the saved one again.
    const std::string saved = dataFolder + "beam.RAW";
    dialogs.files.push_back(saved);
    viewer->Savedata1Click();
    ASSERT_EQ(fs::file_size(saved), frame_record::kSize);
    const VasprelHeader savedHeader = *viewer->frame().GetHeader();

    const std::string other = dataFolder + "other.RAW";
    writeRecord(other, 700, 99);
    dialogs.files.push_back(other);
    viewer->Loaddata1Click();
    settle();
    EXPECT_EQ(viewer->frame().Pixel(5, 5), 700);
    EXPECT_EQ(viewer->frame().GetHeader()->AC, savedHeader.AC);  // the AC from before the load

    dialogs.files.push_back(saved);
    viewer->Loaddata1Click();
    settle();
    EXPECT_EQ(viewer->frame().Pixel(73, 70), peak);
    VasprelHeader loaded = *viewer->frame().GetHeader();
    EXPECT_EQ(std::memcmp(&loaded, &savedHeader, sizeof loaded), 0);
    EXPECT_EQ(viewer->dataDirectory(), dataFolder);
}

// A loaded frame stops the live display, so that it stays in sight, and is shown with the
// description its file gives (pitch, bits, flags); the live frames after it have their camera's
// own again, even when the file said its data was not to be shown.
TEST_F(ViewWindowTest, LoadingStopsTheLiveFramesAndTheirCameraDescriptionIsNotTheFiles) {
    openViewer();
    feed(beam());
    const VasprelHeader live = *viewer->frame().GetHeader();
    const std::string path = dataFolder + "other.RAW";
    {
        FrameBlockBytes block{};
        const auto pixels = uniform(700);
        std::memcpy(block.data(), pixels.data(), pixels.size() * 2);
        VasprelHeader header = live;
        header.PixelHScale = 999.5;
        header.PixelVScale = 333.25;
        header.PixelBits = 12;
        header.CaptureResolution = 1;
        header.Flags = 0;
        ASSERT_FALSE(writeFrameRecord(path, header, block.data()));
    }
    dialogs.files.push_back(path);
    viewer->Loaddata1Click();
    EXPECT_TRUE(viewer->RadioButton4->isChecked());
    EXPECT_EQ(viewer->frame().Pixel(5, 5), 700);
    feed(uniform(500));
    EXPECT_EQ(viewer->frame().Pixel(5, 5), 700);
    const VasprelHeader& loaded = *viewer->frame().GetHeader();
    EXPECT_EQ(loaded.PixelHScale, 999.5);
    EXPECT_EQ(loaded.PixelBits, 12);

    // (The console carries out the start after the frame it delivers next.)
    viewer->RadioButton1->setChecked(true);
    const int before = shown;
    for (int i = 0; i < 3 && shown == before; ++i) feed(beam());
    ASSERT_GT(shown, before);
    const VasprelHeader& after = *viewer->frame().GetHeader();
    const struct {
        const char* field;
        double now, camera;
    } fields[] = {
        {"PixelHScale", after.PixelHScale, live.PixelHScale},
        {"PixelVScale", after.PixelVScale, live.PixelVScale},
        {"PixelBits", double(after.PixelBits), double(live.PixelBits)},
        {"CaptureResolution", double(after.CaptureResolution), double(live.CaptureResolution)},
        {"Flags", double(after.Flags), double(live.Flags)},
        {"Width", double(after.Width), 124},
        {"Height", double(after.Height), 124},
    };
    for (const auto& f : fields) EXPECT_EQ(f.now, f.camera) << f.field;
    EXPECT_EQ(after.Peak, live.Peak);  // in the camera's counts again
}

TEST_F(ViewWindowTest, AFileThatIsNoFrameRecordIsReportedAndChangesNothing) {
    openViewer();
    feed(uniform(321));
    const std::string junk = dataFolder + "junk.RAW";
    std::ofstream(junk) << "not a frame";
    dialogs.files.push_back(junk);
    const std::size_t boxes = dialogs.boxes.size();
    viewer->Loaddata1Click();
    settle();
    ASSERT_EQ(dialogs.boxes.size(), boxes + 1);
    EXPECT_NE(dialogs.boxes.back().text.find("junk.RAW"), std::string::npos);
    EXPECT_EQ(viewer->frame().Pixel(5, 5), 321);

    // A data folder that has gone: the save says so and leaves nothing behind.
    dialogs.files.push_back(configFolder + "/gone/frame.RAW");
    viewer->Savedata1Click();
    EXPECT_EQ(dialogs.boxes.size(), boxes + 2);
    EXPECT_FALSE(fs::exists(configFolder + "/gone"));
}

TEST_F(ViewWindowTest, TheScaleSetsTheRangeMaximumAndKeysInTheScaleListAreDiscarded) {
    openViewer();
    const std::pair<int, int> cases[] = {{2, 12288}, {1, 8192}, {5, 15872}, {0, 0}};
    for (auto [item, maximum] : cases) {
        viewer->ComboBox1->setCurrentIndex(item);
        EXPECT_EQ(viewer->TrackBar1->maximum(), maximum) << item;
    }
    typeInto(viewer->ComboBox1, Qt::Key_Down, "");
    EXPECT_EQ(viewer->ComboBox1->currentIndex(), 0);
}

TEST_F(ViewWindowTest, TheAverageCountTakesDigitsOnlyAndEnterReappliesOrResetsIt) {
    openViewer();
    viewer->AvgEdit->setText("");
    for (auto [key, text] : std::initializer_list<std::pair<int, const char*>>{
             {Qt::Key_4, "4"}, {Qt::Key_A, "a"}, {Qt::Key_Minus, "-"}, {Qt::Key_Backspace, "\b"}, {Qt::Key_2, "2"}})
        typeInto(viewer->AvgEdit, key, text);
    EXPECT_EQ(viewer->AvgEdit->text(), "42");

    viewer->AvgEdit->setText("1");
    typeInto(viewer->AvgEdit, Qt::Key_Return, "\r");
    EXPECT_EQ(viewer->AvgEdit->text(), "2");

    // A count above 256, applied by Enter or by a mode, is taken as 256 and shown so.
    viewer->RadioButton2->setChecked(true);
    for (QRadioButton* mode : {viewer->RadioButton3, viewer->RadioButton2}) {
        viewer->AvgEdit->setText("999");
        typeInto(viewer->AvgEdit, Qt::Key_Return, "\r");
        EXPECT_EQ(viewer->AvgEdit->text(), "256");
        viewer->AvgEdit->setText("999");
        mode->setChecked(true);
        EXPECT_EQ(viewer->AvgEdit->text(), "256");
    }
    viewer->RadioButton4->setChecked(true);

    // Enter applies a new count to the selected mode.
    viewer->AvgEdit->setText("2");
    viewer->RadioButton3->setChecked(true);
    viewer->AvgEdit->setText("3");
    typeInto(viewer->AvgEdit, Qt::Key_Return, "\r");
    shownValues.clear();
    for (int v : {1, 2, 3, 4}) feed(uniform(v));
    EXPECT_EQ(shownValues, std::vector<std::int16_t>{6});
}

// Only typed characters are discarded: Tab still takes the focus on from the count and from the
// scale list, and Delete still edits the count.
TEST_F(ViewWindowTest, TabLeavesTheCountAndTheScaleListAndDeleteEditsTheCount) {
    openViewer();
    QApplication::setActiveWindow(viewer);
    for (QWidget* control : {static_cast<QWidget*>(viewer->AvgEdit), static_cast<QWidget*>(viewer->ComboBox1)}) {
        control->setFocus();
        ASSERT_TRUE(control->hasFocus()) << control->objectName().toStdString();
        typeInto(control, Qt::Key_Tab, "\t");
        EXPECT_FALSE(control->hasFocus()) << control->objectName().toStdString();
    }
    viewer->AvgEdit->setText("42");
    viewer->AvgEdit->setCursorPosition(0);
    typeInto(viewer->AvgEdit, Qt::Key_Delete, "\x7f");
    EXPECT_EQ(viewer->AvgEdit->text(), "2");
}

TEST_F(ViewWindowTest, ACloseRequestWaitingWhenAFrameArrivesClosesTheViewerBeforeTheFrameIsProcessed) {
    openViewer();
    startLog("late.RAW", 5);
    ASSERT_TRUE(fs::exists(dataFolder + "late000001.RAW"));
    driver->setReplayFrame(0, uniform(50));
    driver->produceFrame(0);
    // The delivery waits in the console's queue; the close request is queued behind it.
    ASSERT_TRUE(form->mainThread().waitForPending(2s));
    QCoreApplication::postEvent(viewer, new QCloseEvent);
    form->mainThread().runPending();
    ASSERT_TRUE(pumpUntil([&] { return viewer.isNull(); }));
    EXPECT_EQ(shown, 0);
    // Not logged either: the waiting empty file went with the log.
    EXPECT_FALSE(fs::exists(dataFolder + "late000001.RAW"));
    EXPECT_FALSE(fs::exists(dataFolder + "late000002.RAW"));
    EXPECT_EQ(form->viewers().viewer(1), nullptr);
}

TEST_F(ViewWindowTest, ClosingEndsTheLogWritesTheSettingsAndLeavesNoEmptyFileOrFrameHeader) {
    openViewer();
    startLog("run.RAW", 5);
    feed(uniform(10));
    feed(uniform(20));
    EXPECT_EQ(fs::file_size(dataFolder + "run000001.RAW"), frame_record::kSize);
    EXPECT_EQ(fs::file_size(dataFolder + "run000002.RAW"), frame_record::kSize);
    EXPECT_TRUE(fs::exists(dataFolder + "run000003.RAW"));
    EXPECT_TRUE(fs::exists(dataFolder + "FrameHeader"));

    viewer->CheckBox1->setChecked(true);
    viewer->HasLens->setChecked(true);
    viewer->GrayButton->setChecked(true);
    viewer->Button1->click();
    ASSERT_TRUE(pumpUntil([&] { return viewer.isNull(); }));
    EXPECT_EQ(form->viewers().viewer(1), nullptr);
    EXPECT_FALSE(fs::exists(dataFolder + "run000003.RAW"));
    EXPECT_FALSE(fs::exists(dataFolder + "FrameHeader"));
    EXPECT_TRUE(fs::exists(dataFolder + "run000002.RAW"));

    const ViewerSettings s = readViewerSettings(form->registry(), "11", {});
    EXPECT_EQ(s.dataPath, dataFolder);
    EXPECT_TRUE(s.crosshair);
    EXPECT_TRUE(s.hasLens);
    EXPECT_FALSE(s.showColor);
    EXPECT_FALSE(s.cursor);

    // The next viewer of the camera, in a console started again, shows what this one left.
    form.reset();
    startConsole();
    showTab(1);
    pressView();
    EXPECT_TRUE(viewer->CheckBox1->isChecked());
    EXPECT_TRUE(viewer->HasLens->isChecked());
    EXPECT_TRUE(viewer->GrayButton->isChecked());
    EXPECT_FALSE(viewer->Surface1->colourShown());
    EXPECT_TRUE(viewer->Surface1->GetShow(kShowCrosshair));
    EXPECT_EQ(viewer->dataDirectory(), dataFolder);
}

// "Left" and "Top" are where the window's frame stands; opened, closed and opened again, it stays
// where it was, frame and all.
TEST_F(ViewWindowTest, OpenedAgainTheWindowStandsWhereItWas) {
    start({camera(0, 11)});
    ViewerSettings settings;
    settings.left = 140;
    settings.top = 230;
    settings.width = 450;
    settings.height = 580;
    writeViewerSettings(form->registry(), "11", settings);
    showTab(1);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        pressView();
        settle();
        EXPECT_EQ(viewer->frameGeometry().topLeft(), QPoint(140, 230));
        EXPECT_EQ(viewer->size(), QSize(450, 580));
        viewer->Button1->click();
        ASSERT_TRUE(pumpUntil([&] { return viewer.isNull(); }));
        const ViewerSettings s = readViewerSettings(form->registry(), "11", {});
        EXPECT_EQ(QPoint(s.left, s.top), QPoint(140, 230));
    }
}

TEST_F(ViewWindowTest, AClosedCameraClosesItsViewerAndAConsoleEndingWithAViewerOpenClosesIt) {
    openViewer({camera(0, 11), camera(1, 22)});
    feed(beam());
    form->CloseCameraExecute();
    ASSERT_TRUE(pumpUntil([&] { return viewer.isNull(); }));
    EXPECT_EQ(form->viewers().viewer(1), nullptr);

    // Another camera's viewer is open when the console goes.
    showTab(2);
    form->cameraTab(2)->ViewButton->click();
    QPointer<TViewWindow> second = form->viewers().viewer(2);
    ASSERT_NE(second, nullptr);
    form->FileExit1Execute();
    EXPECT_TRUE(second.isNull());
    EXPECT_TRUE(readViewerSettings(form->registry(), "22", {}).showColor);
}

TEST_F(ViewWindowTest, MenuEntriesSwitchTheirCaptionsWithWhatTheySwitch) {
    openViewer();
    feed(beam());
    viewer->Showresult1->trigger();
    EXPECT_EQ(viewer->Showresult1->text(), "&Hide result");
    EXPECT_TRUE(viewer->Surface1->resultsShown());
    viewer->Showresult1->trigger();
    EXPECT_EQ(viewer->Showresult1->text(), "&Show result");

    EXPECT_EQ(viewer->Showcolor1->text(), "Show &Grayscale");
    viewer->Showcolor1->trigger();
    EXPECT_TRUE(viewer->GrayButton->isChecked());
    EXPECT_EQ(viewer->Showcolor1->text(), "Show &Color");
    EXPECT_FALSE(viewer->Surface1->colourShown());

    viewer->N2D3D1->trigger();
    EXPECT_EQ(viewer->N2D3D1->text(), "&2D");
    EXPECT_TRUE(viewer->RedButton->isEnabled());
    viewer->RedButton->setChecked(true);
    EXPECT_EQ(viewer->Surface1->showColor(), 2);
    viewer->N2D3D1->trigger();
    EXPECT_EQ(viewer->N2D3D1->text(), "&3D");
    EXPECT_FALSE(viewer->RedButton->isEnabled());
    EXPECT_TRUE(viewer->GrayButton->isChecked());

    // Zoomed in, the bars that pan the image show beside it, inside the window.
    viewer->Surface1->SetZoomToCursor(false);
    viewer->Scale1->trigger();
    QCoreApplication::processEvents();
    EXPECT_GT(viewer->Surface1->zoom(), 0);
    EXPECT_TRUE(viewer->RotateBar->isVisibleTo(viewer));
    EXPECT_TRUE(viewer->RotateBar->parentWidget()->rect().contains(viewer->RotateBar->geometry()))
        << viewer->RotateBar->geometry().y() << " in " << viewer->RotateBar->parentWidget()->height();

    answer = [](QDialog& dialog) {
        dialog.findChild<QLineEdit*>("AmountOfEnergy")->setText("2.5");
        dialog.findChild<QComboBox*>("ComboBox1")->setCurrentIndex(3);
        return int(QDialog::Accepted);
    };
    viewer->CalibratePower1->trigger();
    EXPECT_TRUE(viewer->Surface1->calibratedShown());
    EXPECT_DOUBLE_EQ(viewer->Surface1->calibratedEnergy(), 2.5);
    EXPECT_EQ(viewer->Surface1->calibratedEnergyUnits(), TEnergyUnits::Millijoules);
}

// A printout says what it shows (the camera, when, how it was set, how the widths were taken),
// then the image and the results as the screen writes them, in millimetres.
TEST_F(ViewWindowTest, APrintoutHoldsItsHeaderTheImageAndTheScreensResultsAndFramesFlowAgainAfterIt) {
    openViewer();
    feed(beam());
    const std::string pdf = dataFolder + "print.pdf";
    viewer->printer().setOutputFormat(QPrinter::PdfFormat);
    viewer->printer().setOutputFileName(QString::fromStdString(pdf));
    viewer->Print2Click();
    ASSERT_TRUE(fs::exists(pdf));

    const std::string text = run("pdftotext '" + pdf + "' -");
    for (const std::string& expected :
         {viewer->windowTitle().toStdString(), std::string("Chopped, 24 Hz"), std::string("camera gain "),
          std::string("Widths by the knife edge, each frame")})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << " in:\n" << text;
    EXPECT_TRUE(std::regex_search(text, std::regex("Printed \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d")))
        << text;
    const auto lines = beamResultsLines(*viewer->frame().GetHeader(), viewer->Surface1->resultsTextSettings());
    ASSERT_EQ(lines.size(), 7u);
    for (const BeamResultsLine& line : lines) {
        EXPECT_NE(text.find(line.label), std::string::npos) << line.label << " in:\n" << text;
        EXPECT_NE(text.find(line.value), std::string::npos) << line.value << " in:\n" << text;
    }
    EXPECT_EQ(lines[3].value.substr(lines[3].value.size() - 2), "mm");  // Centroid X
    EXPECT_EQ(text.find("\u00b5m"), std::string::npos) << text;

    run("pdftoppm -r 20 -png -singlefile '" + pdf + "' '" + dataFolder + "page'");
    QImage page(QString::fromStdString(dataFolder + "page.png"));
    ASSERT_FALSE(page.isNull());
    // The beam's colours in the image part of the page, which the printer palette draws on white.
    int coloured = 0;
    for (int y = 0; y < page.height() / 2; ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (c.saturation() > 80) ++coloured;
        }
    EXPECT_GT(coloured, 20);

    const int before = shown;
    feed(uniform(5));
    EXPECT_EQ(shown, before + 1);

    // With the second moments, their axes instead of the widths along x and y; with Avg, the
    // frames the image is made of.
    feed(beam());
    viewer->SecondMoment1->trigger();
    viewer->AvgEdit->setText("4");
    viewer->RadioButton2->setChecked(true);
    viewer->Print2Click();
    const std::string iso = run("pdftotext '" + pdf + "' -");
    // ("Eff." comes out of the PDF with its ff ligature.)
    for (const char* label : {"D\u03C3 major", "D\u03C3 minor", "Azimuth", "Ellipticity", " diam.",
                              "Widths by the second moments (ISO 11146), the average of 4 frames"})
        EXPECT_NE(iso.find(label), std::string::npos) << label << " in:\n" << iso;
    EXPECT_EQ(iso.find("Width X"), std::string::npos);
}

// A Print with nothing to print to, or to a file that cannot be written, says so and leaves the
// viewer able to print once Print Setup has chosen a PDF file.
TEST_F(ViewWindowTest, APrintThatCannotStartSaysWhyAndASetupToAPdfFilePrintsAfterIt) {
    openViewer();
    feed(beam());
    auto setUpPdf = [this](const std::string& path) {
        answer = [path](QDialog& dialog) {
            QPrinter* printer = static_cast<QPrintDialog&>(dialog).printer();
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(QString::fromStdString(path));
            return int(QDialog::Accepted);
        };
        viewer->PrintSetup1Click();
        answer = nullptr;
    };
    struct Case {
        const char* what;
        std::string setUpFirst;  // empty: no Print Setup before the Print
        std::string box;
    };
    const Case cases[] = {
        {"before any Print Setup", "",
         "No printer is set up. Choose a printer, or a PDF file, in Print Setup."},
        {"to a folder that does not exist", dataFolder + "missing/print.pdf",
         "The printer could not be started: the file " + dataFolder +
             "missing/print.pdf cannot be written. Choose another printer or file in Print Setup."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.setUpFirst.empty()) setUpPdf(c.setUpFirst);
        dialogs.boxes.clear();
        viewer->Print2Click();
        ASSERT_EQ(dialogs.boxes.size(), 1u);
        EXPECT_EQ(dialogs.boxes[0].text, c.box);

        const std::string pdf = dataFolder + "after.pdf";
        fs::remove(pdf);
        setUpPdf(pdf);
        dialogs.boxes.clear();
        viewer->Print2Click();
        EXPECT_TRUE(dialogs.boxes.empty()) << dialogs.boxes[0].text;
        EXPECT_TRUE(fs::exists(pdf));
        EXPECT_NE(run("pdftotext '" + pdf + "' -").find("Centroid X"), std::string::npos);
    }
}

// The status bar reads the pixel under the cursor: its column and row, where it lies in mm and its
// value, as the cursor is dragged and as new frames come; nothing while the cursor is hidden.
TEST_F(ViewWindowTest, TheStatusBarReadsThePixelUnderTheCursorAsItMovesAndAsFramesChange) {
    openViewer();
    feed(beam());
    viewer->CheckBox2->setChecked(true);
    TSurface* surface = viewer->Surface1;
    auto drag = [surface](int column, int row) {
        const BeamPoint c = surface->GetFrameCursor();
        const BeamPoint from = surface->beamView().toClient(c.x + 0.5, c.y + 0.5);
        const BeamPoint to = surface->beamView().toClient(column + 0.5, row + 0.5);
        for (auto [type, p] : {std::pair{QEvent::MouseMove, QPoint(from.x, from.y)},
                               std::pair{QEvent::MouseButtonPress, QPoint(from.x, from.y)},
                               std::pair{QEvent::MouseMove, QPoint(to.x, to.y)},
                               std::pair{QEvent::MouseButtonRelease, QPoint(to.x, to.y)}}) {
            QMouseEvent e(type, QPointF(p), QPointF(p), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
            QApplication::sendEvent(surface, &e);
        }
    };
    const VasprelHeader& h = *viewer->frame().GetHeader();
    auto mm = [](double v) { return formatGrouped(v, 2) + "mm"; };
    // The beam's peak, received at row 50, is shown at row 73 without a lens.
    drag(70, 73);
    EXPECT_EQ(viewer->CursorReadout->text().toStdString(),
              "Column 70, Row 73 (" + mm(70 * h.PixelHScale / 1000.0) + ", " +
                  mm(73 * h.PixelVScale / 1000.0) + ")  Value 12,000 (6,000.0 counts)");
    feed(uniform(500));
    EXPECT_EQ(viewer->CursorReadout->text().toStdString(),
              "Column 70, Row 73 (" + mm(70 * h.PixelHScale / 1000.0) + ", " +
                  mm(73 * h.PixelVScale / 1000.0) + ")  Value 500 (250.0 counts)");
    drag(3, 120);
    EXPECT_TRUE(viewer->CursorReadout->text().startsWith("Column 3, Row 120 ("));
    viewer->CheckBox2->setChecked(false);
    EXPECT_EQ(viewer->CursorReadout->text(), "");
}

TEST_F(ViewWindowTest, TheBitmapIsTheWindowsClientAreaWithTheSurfaceImageInIt) {
    openViewer();
    feed(beam());
    const std::string bmp = dataFolder + "window.bmp";
    dialogs.files.push_back(bmp);
    viewer->File1Click();
    QImage image(QString::fromStdString(bmp));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), viewer->centralWidget()->size());
    for (QPoint inSurface : {QPoint(5, 5), QPoint(viewer->Surface1->width() / 2, viewer->Surface1->height() / 2)}) {
        const QPoint at = viewer->Surface1->mapTo(viewer->centralWidget(), inSurface);
        EXPECT_EQ(QColor(image.pixel(at)), QColor(viewer->Surface1->offscreenImage().pixel(inSurface)));
    }
}

// The second-moment method recomputes the frame shown at once and begins the statistics again;
// the statistics follow every frame shown over the last N, in the window's table; N and the
// method are remembered with the camera's other viewer settings.
TEST_F(ViewWindowTest, SecondMomentMethodAndStatisticsFollowTheFramesAndAreRemembered) {
    openViewer();
    feed(beam());
    feed(beam());
    EXPECT_TRUE(viewer->KnifeEdge1->isChecked());
    EXPECT_EQ(viewer->statistics().size(), 2);
    EXPECT_FALSE(recordedSecondMoment(*viewer->frame().GetHeader()));

    viewer->SecondMoment1->trigger();
    EXPECT_EQ(viewer->results().widthMethod(), WidthMethod::SecondMoment);
    EXPECT_EQ(viewer->statistics().size(), 0);
    const std::optional<RecordedSecondMoment> iso = recordedSecondMoment(*viewer->frame().GetHeader());
    ASSERT_TRUE(iso);
    // exp(-r² / 200): sigma 10, a round 40-pixel beam at column 70.
    EXPECT_NEAR(iso->effectiveDiameter, 40, 0.1);
    EXPECT_NEAR(iso->centroidX, 70, 0.01);

    for (int i = 0; i < 5; ++i) feed(beam());
    EXPECT_EQ(viewer->statistics().size(), 5);
    const double mm = viewer->frame().GetHeader()->PixelHScale * 0.001;
    const QuantitySummary width = viewer->statistics().summary(BeamQuantity::WidthX);
    EXPECT_NEAR(width.mean, 40 * mm, 0.2 * mm);
    EXPECT_EQ(width.deviation, 0);

    viewer->Statistics1->trigger();
    TStatisticsWindow* window = viewer->statisticsWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    const int widthRow = static_cast<int>(BeamQuantity::WidthX);
    EXPECT_EQ(window->Table->verticalHeaderItem(widthRow)->text(), "D\u03C3 major (mm)");
    EXPECT_EQ(window->Table->item(widthRow, 0)->text().toStdString(), formatGrouped(width.mean, 4));
    EXPECT_EQ(window->FramesEdit->value(), 100);

    window->FramesEdit->setValue(3);
    EXPECT_EQ(viewer->statistics().frames(), 3);
    EXPECT_EQ(viewer->statistics().size(), 3);
    window->ResetButton->click();
    EXPECT_EQ(viewer->statistics().size(), 0);
    feed(beam());
    feed(beam());

    const std::string csv = dataFolder + "stats.csv";
    dialogs.files.push_back(csv);
    window->ExportButton->click();
    EXPECT_EQ(dialogs.fileDialogs.back().initialDirectory, dataFolder);
    std::ifstream in(csv, std::ios::binary);
    std::string header;
    std::getline(in, header);
    EXPECT_EQ(header, "Time (s),Total (counts),Peak (counts),Centroid X (mm),Centroid Y (mm),"
                      "D\u03C3 major (mm),D\u03C3 minor (mm)\r");
    int lines = 1;
    for (std::string line; std::getline(in, line);) ++lines;
    EXPECT_EQ(lines, 1 + 2 + 4);
    // A file that cannot be made: said in a box, nothing else changes.
    dialogs.files.push_back(dataFolder + "no such folder/stats.csv");
    const std::size_t boxes = dialogs.boxes.size();
    window->ExportButton->click();
    ASSERT_EQ(dialogs.boxes.size(), boxes + 1);
    EXPECT_EQ(dialogs.boxes.back().text.rfind("Cannot create file \"" + dataFolder + "no such folder/stats.csv\".", 0), 0u)
        << dialogs.boxes.back().text;

    viewer->Button1->click();
    ASSERT_TRUE(pumpUntil([&] { return viewer.isNull(); }));
    const ViewerSettings s = readViewerSettings(form->registry(), "11", {});
    EXPECT_EQ(s.widthMethod, 1);
    EXPECT_EQ(s.statisticsFrames, 3);
    pressView();
    EXPECT_TRUE(viewer->SecondMoment1->isChecked());
    EXPECT_EQ(viewer->results().widthMethod(), WidthMethod::SecondMoment);
    EXPECT_EQ(viewer->statistics().frames(), 3);
}

// Each modal dialog of the viewer runs for real, in its own event loop, through the console's own
// dialogs, and the camera closes while it is open: the dialog closes with the viewer, and what the
// viewer held is not touched afterwards (an answer to a dialog left open would save or log).
TEST_F(ViewWindowTest, ItsModalDialogsCloseWithItWhenTheCameraClosesUnderThem) {
    dialogService = &qtDialogs;
    const auto chooseFile = [this](const std::string& name) {
        return [this, name](QDialog& dialog) { typeFileAndAccept(dialog, dataFolder + name); };
    };
    const auto click = [](const char* button) {
        return [button](QDialog& dialog) { dialog.findChild<QPushButton*>(button)->click(); };
    };
    const auto menu = [](QAction* TViewWindow::*action) {
        return [action](TViewWindow& v) { (v.*action)->trigger(); };
    };
    struct Case {
        const char* command;
        std::function<void(TViewWindow&)> open;
        std::vector<NestedDialogScript::Answer> before;  // the dialogs answered before the close
    };
    const std::string junk = "junk.RAW";
    const Case cases[] = {
        {"Save data", menu(&TViewWindow::Savedata1), {}},
        {"Load data, its error box", menu(&TViewWindow::Loaddata1), {chooseFile(junk)}},
        {"Save Bitmap", menu(&TViewWindow::File1), {}},
        {"Log data", menu(&TViewWindow::Logdatatodisk1), {}},
        {"Browse of Log data", menu(&TViewWindow::Logdatatodisk1), {click("BitBtn1")}},
        {"Calibrate Energy", menu(&TViewWindow::CalibratePower1), {}},
        {"Print Setup", menu(&TViewWindow::PrintSetup1), {}},
        {"Export of the statistics window",
         [](TViewWindow& v) {
             v.Statistics1->trigger();
             v.statisticsWindow()->ExportButton->click();
         },
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        form.reset();
        openViewer();
        viewer->setModalRunner(nullptr);
        std::ofstream(dataFolder + junk) << "not a frame";
        const std::string answerPath = dataFolder + "answer.RAW";
        NestedDialogScript script(
            c.before, [this] { form->CloseCameraExecute(); },
            [&](QDialog& dialog) {
                if (auto* name = dialog.findChild<QLineEdit*>("LoggingFileName")) {
                    name->setText(QString::fromStdString(answerPath));
                    dialog.findChild<QPushButton*>("BitBtn2")->click();
                } else {
                    answerLeftOpen(dialog, answerPath);
                }
            });
        script.start();
        c.open(*viewer);
        ASSERT_TRUE(pumpUntil([&] { return script.finished(); }));
        EXPECT_TRUE(script.eventRan());
        EXPECT_TRUE(viewer.isNull());
        EXPECT_EQ(form->viewers().viewer(1), nullptr);
        EXPECT_EQ(script.leftOpen(), std::vector<std::string>{});
        for (const auto& entry : fs::directory_iterator(dataFolder))
            EXPECT_NE(entry.path().filename().string().rfind("answer", 0), 0u) << entry.path();
    }
}

}  // namespace
}  // namespace kestrom::testing
