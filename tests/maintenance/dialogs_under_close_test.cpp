// The modal dialogs of the utilities dialog and of the factory dialog, run for real (each in its
// own event loop, through the console's own dialogs), while what they belong to closes under them:
// they close with it, and nothing of the closed dialog is touched afterwards.
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

#include <filesystem>
#include <fstream>

#include "console/camera_tab.h"
#include "console/console_factory.h"
#include "console/console_utilities.h"
#include "console/password_dialog.h"
#include "console/qt_dialogs.h"
#include "console_fixture.h"
#include "maintenance/ok_help_right_dlg.h"
#include "maintenance/quorls_magic_dialog.h"
#include "nested_dialogs.h"

namespace kestrom::testing {
namespace {

namespace fs = std::filesystem;

class DialogsUnderCloseTest : public ConsoleFixture {
  protected:
    void SetUp() override { dialogService = &qtDialogs; }

    // A fresh console on one camera, its tab shown, and a folder for the files the dialogs ask for.
    void startCamera() {
        form.reset();
        start({camera(0, 11)});
        showTab(1);
        folder = configFolder + "/files/";
        fs::remove_all(folder);
        fs::create_directories(folder);
    }

    NestedDialogScript::Answer unwind() {
        return [this](QDialog& dialog) { answerLeftOpen(dialog, folder + "answer.txt"); };
    }
    NestedDialogScript::Answer chooseFile(const std::string& name) {
        return [this, name](QDialog& dialog) { typeFileAndAccept(dialog, folder + name); };
    }
    void expectNothingAnswered(const NestedDialogScript& script) {
        EXPECT_TRUE(script.eventRan());
        EXPECT_EQ(script.leftOpen(), std::vector<std::string>{});
        EXPECT_FALSE(fs::exists(folder + "answer.txt"));
    }

    QtDialogs qtDialogs;
    std::string folder;
};

// The camera closes while a dialog of the utilities dialog is open: the utilities dialog closes
// (and is freed) with it, and so does the dialog.
TEST_F(DialogsUnderCloseTest, TheUtilitiesDialogsCloseWithItWhenTheCameraCloses) {
    struct Case {
        const char* command;
        QPushButton* TOKHelpRightDlg::*button;
        std::vector<std::string> before;  // files chosen in the dialogs before the camera closes
    };
    const Case cases[] = {
        {"Save Map", &TOKHelpRightDlg::BitBtn5, {}},
        {"Load Map", &TOKHelpRightDlg::BitBtn4, {}},
        {"Send Map, its warning", &TOKHelpRightDlg::BitBtn3, {}},
        {"Load gain map, its warning on a short file", &TOKHelpRightDlg::LoadGainMapButton, {"short.gcc"}},
        {"Save gain map", &TOKHelpRightDlg::SaveGainMapButton, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        startCamera();
        std::ofstream(folder + "short.gcc") << "short";
        form->cameraTab(1)->UtilitiesButton->click();
        QPointer<TOKHelpRightDlg> utilities = form->utilities().dialog(1);
        ASSERT_NE(utilities, nullptr);
        std::vector<NestedDialogScript::Answer> before;
        for (const std::string& name : c.before) before.push_back(chooseFile(name));
        NestedDialogScript script(before, [this] { form->CloseCameraExecute(); }, unwind());
        script.start();
        ((*utilities).*c.button)->click();
        ASSERT_TRUE(pumpUntil([&] { return script.finished(); }));
        expectNothingAnswered(script);
        EXPECT_TRUE(utilities.isNull());
        EXPECT_EQ(form->utilities().dialog(1), nullptr);
    }
}

// The factory dialog closes (as it does with its camera) while one of its own dialogs is open.
TEST_F(DialogsUnderCloseTest, TheFactoryDialogsCloseWithIt) {
    struct Case {
        const char* command;
        QPushButton* TQuorlsMagicDialog::*button;
    };
    const Case cases[] = {
        {"Save to file", &TQuorlsMagicDialog::BitBtn2},
        {"Read from file", &TQuorlsMagicDialog::BitBtn1},
        {"Get from disk", &TQuorlsMagicDialog::BitBtn7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        startCamera();
        QPointer<TQuorlsMagicDialog> factory;
        form->factory().setModalRunner([&](QDialog& d) {
            if (auto* password = dynamic_cast<TPasswordDlg*>(&d)) {
                password->Password->setText("Wopp");
                return int(QDialog::Accepted);
            }
            factory = dynamic_cast<TQuorlsMagicDialog*>(&d);
            return d.exec();
        });
        NestedDialogScript script({[&](QDialog&) { ((*factory).*c.button)->click(); }},
                                  [&] { factory->reject(); }, unwind());
        script.start();
        form->cameraTab(1)->FactoryButton->click();
        ASSERT_TRUE(pumpUntil([&] { return script.finished(); }));
        ASSERT_NE(factory, nullptr);
        expectNothingAnswered(script);
        EXPECT_FALSE(factory->isVisible());
    }
}

}  // namespace
}  // namespace kestrom::testing
