// "Calibrate Power" offscreen: what it starts from, what it lets be typed, and what its answer
// does to the surface.
#include "viewer/power_calibration.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QApplication>
#include <QKeyEvent>

#include "platform/dialog_service.h"
#include "results_test_support.h"
#include "viewer/core/results.h"

namespace kestrom {
namespace {

void type(QWidget* w, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
    }
}

void press(QWidget* w, Qt::Key key) {
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier, key == Qt::Key_Backspace ? "\b" : "");
    QApplication::sendEvent(w, &e);
}

class PowerCalibration : public ::testing::Test {
  protected:
    void SetUp() override {
        test::fill(*frame, 100);
        test::addGaussian(*frame, {60, 60, 6, 6, 10000});
        TResults(dialogs).Compute(frame.get());
        surface.SetFrameArray(frames);
        surface.SetCurrentFrame(0);
    }
    ScriptedDialogs dialogs;
    std::unique_ptr<test::Frame16> frame = test::liveFrame();
    test::Frame16* frames[2] = {frame.get(), nullptr};
    TSurface surface;
};

TEST_F(PowerCalibration, StartsFromTheSurfaceAndTakesOnlyDigitsAndPoints) {
    TPowerCalibration dialog(surface);
    EXPECT_EQ(dialog.windowTitle(), "Calibrate Power");
    EXPECT_EQ(dialog.AmountOfEnergy->text(), "0.000");
    EXPECT_EQ(dialog.ComboBox1->currentText(), "Watts");
    dialog.AmountOfEnergy->clear();
    type(dialog.AmountOfEnergy, "1a-2.5e");
    EXPECT_EQ(dialog.AmountOfEnergy->text(), "12.5");
    press(dialog.AmountOfEnergy, Qt::Key_Backspace);
    EXPECT_EQ(dialog.AmountOfEnergy->text(), "12.");
}

TEST_F(PowerCalibration, OkCalibratesCancelShowsCounts) {
    TPowerCalibration dialog(surface);
    dialog.AmountOfEnergy->setText("2.5");
    dialog.ComboBox1->setCurrentIndex(3);
    applyPowerCalibration(dialog, true, surface, dialogs);
    EXPECT_DOUBLE_EQ(surface.calibratedEnergy(), 2.5);
    EXPECT_EQ(surface.calibratedEnergyUnits(), TEnergyUnits::Millijoules);
    EXPECT_TRUE(surface.calibratedShown());
    EXPECT_DOUBLE_EQ(surface.energyPerCount(), 2.5 / frame->GetHeader()->ApertureTotal);
    // The next opening starts from what was set.
    TPowerCalibration again(surface);
    EXPECT_EQ(again.AmountOfEnergy->text(), "2.500");
    EXPECT_EQ(again.ComboBox1->currentText(), "Milli-Joules");
    applyPowerCalibration(again, false, surface, dialogs);
    EXPECT_FALSE(surface.calibratedShown());
    EXPECT_DOUBLE_EQ(surface.calibratedEnergy(), 2.5);
}

TEST_F(PowerCalibration, TextThatIsNoNumberChangesNothing) {
    TPowerCalibration dialog(surface);
    dialog.AmountOfEnergy->setText("1.2.3");
    applyPowerCalibration(dialog, true, surface, dialogs);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, "'1.2.3' is not a valid floating point value");
    EXPECT_EQ(surface.calibratedEnergy(), 0);
    EXPECT_FALSE(surface.calibratedShown());
}

}  // namespace
}  // namespace kestrom
