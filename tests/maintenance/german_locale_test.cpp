// Numbers as a German user meets them: the process runs in de_DE.UTF-8 (a decimal comma) and every
// number the system writes or reads in fields and files keeps its one form, a '.' and no grouping.
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <clocale>
#include <cstdio>
#include <fstream>

#include "common/number_text.h"
#include "console/camera_tab.h"
#include "console/console_utilities.h"
#include "console/core/registry_keys.h"
#include "console_fixture.h"
#include "maintenance/ok_help_right_dlg.h"
#include "maintenance/quorls_magic_dialog.h"
#include "viewer/core/picture_format.h"

namespace kestrom::testing {
namespace {

// Empty while the C library formats numbers the German way, otherwise why it does not.
std::string germanLocaleProblem() {
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", 1.5);
    if (std::string(text) == "1,5") return {};
    const char* numeric = std::setlocale(LC_NUMERIC, nullptr);
    return std::string("the process locale is '") + (numeric ? numeric : "") +
           "', not de_DE.UTF-8 with its decimal comma: scripts/install-deps.sh generates it";
}

class GermanUser : public ConsoleFixture {
  protected:
    void SetUp() override { ASSERT_EQ(germanLocaleProblem(), ""); }
};

TEST_F(GermanUser, NumberTextsUseAPointAndNoGrouping) {
    struct Case {
        std::string text, expected;
    } cases[] = {
        {formatFixed(1.5, 3), "1.500"},
        {formatFixed(-1234567.25, 2), "-1234567.25"},
        {formatGeneral(1234.5678, 10), "1234.5678"},
        {formatGeneral(1e-7, 10), "1e-07"},
        {rateFromPeriod(40000, "-"), "25.00"},
        {formatUngrouped(1e17, 1), "100000000000000000.0"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.text, c.expected);
    EXPECT_EQ(parseDecimal("2.5"), 2.5);
    EXPECT_EQ(parseDecimal("2,5"), std::nullopt);
}

TEST_F(GermanUser, TheUtilitiesGainReadOutTakesBackTheValueItShows) {
    start({camera(0, 11)});
    showTab(1);
    form->cameraTab(1)->UtilitiesButton->click();
    TOKHelpRightDlg* dlg = form->utilities().dialog(1);
    ASSERT_NE(dlg, nullptr);
    feed(std::vector<std::int16_t>(kMapPixels, 1000));
    dlg->BitBtn7Click();  // every gain 1.0
    EXPECT_EQ(dlg->PixelGain->text(), "1.000");
    EXPECT_EQ(dlg->RawDataVaueEdit->text(), "500.0");
    dialogs.boxes.clear();
    dlg->PixelGain->setFocus();
    QTest::keyClick(dlg->PixelGain, Qt::Key_Return);
    EXPECT_TRUE(dialogs.boxes.empty()) << dialogs.boxes[0].text;
    EXPECT_EQ(dlg->gainMap().entry(dlg->Surface1->GetFrameCursor().x, dlg->Surface1->GetFrameCursor().y), 256);
}

TEST_F(GermanUser, TheFactoryScalesShowAndTakeAPoint) {
    start({camera(0, 11)});
    showTab(1);
    TQuorlsMagicDialog d(form->utilities());
    d.show();
    settle();
    EXPECT_EQ(d.HScale->text(), "0.10");
    d.HScale->selectAll();
    QTest::keyClicks(d.HScale, "2.5");
    d.HScale->interpretText();
    EXPECT_EQ(d.HScale->value(), 2.5);
}

TEST_F(GermanUser, TheThermalViewersTemperatureFileHoldsPoints) {
    sim::CameraConfig thermal = camera(0, 7001);
    thermal.cameraType = 1;
    thermal.thermalTable = {20, 40.5f};
    start({thermal});
    showTab(1);
    form->registry().setValue(RegistryHive::CurrentUser, kKestromKey, "K3TVIEW", RegistryValue::string("/opt/tv"));
    form->cameraTab(1)->ViewButton->click();
    ASSERT_EQ(shell.started.size(), 1u);
    const std::string line = shell.started[0].arguments.at(0);
    const std::string file = line.substr(line.rfind(',') + 1);
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), "20.00 40.50 ");
    std::remove(file.c_str());
}

}  // namespace
}  // namespace kestrom::testing
