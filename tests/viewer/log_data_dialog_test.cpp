// The "Data logging" dialog on the offscreen platform: its controls, their rules and what OK and
// Cancel give.
#include "viewer/log_data_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTimeEdit>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace kestrom {
namespace {

using namespace std::chrono_literals;

template <typename W>
W* control(QWidget& dialog, const char* name) {
    W* w = dialog.findChild<W*>(name);
    if (!w) ADD_FAILURE() << "no control " << name;
    return w;
}

class LogDataDialog : public ::testing::Test {
  protected:
    // A local time of day away from midnight, at a whole second.
    const LogTime now = LogTime{std::chrono::milliseconds{
        QDateTime(QDate(2024, 5, 6), QTime(14, 30, 0)).toMSecsSinceEpoch()}};
    ScriptedDialogs dialogs;
    TLogData dialog{"*.CSV", "/data/", dialogs, now};
};

TEST_F(LogDataDialog, OpensWithThePatternOneOfEachAndTheTimeAMinuteAhead) {
    EXPECT_EQ(dialog.windowTitle(), "Data logging");
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(control<QLineEdit>(dialog, "LoggingFileName")->text(), "/data/*.CSV");
    EXPECT_EQ(control<QLineEdit>(dialog, "NthRecords")->text(), "1");
    EXPECT_EQ(control<QLineEdit>(dialog, "FramesToLog")->text(), "1");
    EXPECT_TRUE(control<QRadioButton>(dialog, "RadioButton1")->isChecked());
    EXPECT_FALSE(control<QWidget>(dialog, "NNFramesPanel")->isHidden());
    EXPECT_TRUE(control<QWidget>(dialog, "TillTimePanel")->isHidden());
    auto* picker = control<QDateTimeEdit>(dialog, "DateTimePicker1");
    EXPECT_EQ(picker->dateTime(), QDateTime(QDate(2024, 5, 6), QTime(14, 31, 0)));
    EXPECT_EQ(picker->displayFormat(), "HH:mm:ss");
    EXPECT_EQ(control<QPushButton>(dialog, "BitBtn1")->text(), "... Browse");
}

TEST_F(LogDataDialog, LogEveryFallsBackToOneWhenItIsNoPositiveCount) {
    auto* nth = control<QLineEdit>(dialog, "NthRecords");
    struct Case {
        const char* typed;
        const char* shown;
    };
    for (Case c :
         {Case{"12", "12"}, Case{"0", "1"}, Case{"-4", "1"}, Case{"abc", "1"}, Case{"", "1"}}) {
        nth->setText(c.typed);
        EXPECT_EQ(nth->text(), c.shown) << c.typed;
    }
    nth->clear();
    nth->insert("7");  // as typed
    EXPECT_EQ(nth->text(), "17") << "clearing it already put back 1";
}

TEST_F(LogDataDialog, TheMethodButtonsShowTheirPanel) {
    control<QRadioButton>(dialog, "RadioButton2")->click();
    EXPECT_TRUE(control<QWidget>(dialog, "NNFramesPanel")->isHidden());
    EXPECT_FALSE(control<QWidget>(dialog, "TillTimePanel")->isHidden());
    control<QRadioButton>(dialog, "RadioButton1")
        ->setChecked(true);  // by the program, as by a click
    EXPECT_FALSE(control<QWidget>(dialog, "NNFramesPanel")->isHidden());
    EXPECT_TRUE(control<QWidget>(dialog, "TillTimePanel")->isHidden());
}

TEST_F(LogDataDialog, BrowseAsksForASaveNameAndPutsTheChoiceInTheName) {
    dialogs.files.push_back(std::string("/other/Strahl ü.RAW"));
    control<QPushButton>(dialog, "BitBtn1")->click();
    ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
    EXPECT_EQ(dialogs.fileDialogs[0].title, "Save frame(s) to disk file.");
    EXPECT_EQ(dialogs.fileDialogs[0].filter, "Saved frames|*.RAW");
    EXPECT_EQ(dialogs.fileDialogs[0].defaultExtension, "RAW");
    EXPECT_EQ(dialogs.fileDialogs[0].initialDirectory, "/data/");
    EXPECT_EQ(dialogs.fileDialogs[0].fileName, "*.CSV");
    EXPECT_EQ(control<QLineEdit>(dialog, "LoggingFileName")->text(), "/other/Strahl ü.RAW");

    control<QPushButton>(dialog, "BitBtn1")->click();  // cancelled: the name stays
    EXPECT_EQ(control<QLineEdit>(dialog, "LoggingFileName")->text(), "/other/Strahl ü.RAW");
}

TEST_F(LogDataDialog, OkAddsRawToANameWithoutExtensionAndGivesTheCountLog) {
    control<QLineEdit>(dialog, "LoggingFileName")->setText("/data/beam");
    control<QLineEdit>(dialog, "NthRecords")->setText("3");
    control<QLineEdit>(dialog, "FramesToLog")->setText("0");
    control<QPushButton>(dialog, "BitBtn2")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(control<QLineEdit>(dialog, "LoggingFileName")->text(), "/data/beam.RAW");
    const LogSettings& s = dialog.settings();
    EXPECT_EQ(s.logName, "/data/beam.RAW");
    EXPECT_EQ(s.everyNth, 3);
    EXPECT_FALSE(s.tillTime);
    EXPECT_EQ(s.framesLeft, 0);
    EXPECT_EQ(s.stopTime, now);
}

TEST_F(LogDataDialog, OkInTillTimeModeGivesThePickersTime) {
    control<QRadioButton>(dialog, "RadioButton2")->click();
    control<QDateTimeEdit>(dialog, "DateTimePicker1")->setTime(QTime(16, 0, 0));
    control<QPushButton>(dialog, "BitBtn2")->click();
    const LogSettings& s = dialog.settings();
    EXPECT_TRUE(s.tillTime);
    EXPECT_EQ(s.framesLeft, 0);
    EXPECT_EQ(s.stopTime, now + 90min);
}

// Just before midnight the minute ahead falls on the next day, not a day back.
TEST(LogDataDialogAtMidnight, TheTimeAMinuteAheadIsOnTheNextDay) {
    ScriptedDialogs dialogs;
    const QDateTime late(QDate(2024, 5, 6), QTime(23, 59, 30));
    TLogData dialog("*.RAW", "/data/", dialogs,
                    LogTime{std::chrono::milliseconds{late.toMSecsSinceEpoch()}});
    EXPECT_EQ(control<QDateTimeEdit>(dialog, "DateTimePicker1")->dateTime(),
              QDateTime(QDate(2024, 5, 7), QTime(0, 0, 30)));
}

TEST_F(LogDataDialog, CancelAndEscapeGiveNoLog) {
    control<QLineEdit>(dialog, "LoggingFileName")->setText("/data/beam");
    control<QPushButton>(dialog, "BitBtn3")->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.settings().logName, "");

    ScriptedDialogs other;
    TLogData escaped("*.RAW", "/data/", other, now);
    escaped.show();
    control<QPushButton>(escaped, "BitBtn2")->setFocus();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&escaped, &escape);
    EXPECT_EQ(escaped.result(), QDialog::Rejected);
    EXPECT_EQ(escaped.settings().logName, "");
    EXPECT_EQ(escaped.settings().everyNth, 1);
}

}  // namespace
}  // namespace kestrom
