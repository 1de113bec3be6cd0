// "Launch ORU" for real: the console starts the example analysis program (kestrom3-watch, through a
// small script that notes its end), the program subscribes through the console's socket, and
// unticking the box closes it.
#include <QCheckBox>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "console/camera_tab.h"
#include "console/core/registry_keys.h"
#include "console/qt_shell.h"
#include "console_fixture.h"
#include "platform/transport_server.h"

namespace kestrom::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string readFile(const fs::path& path) {
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

class OruLaunch : public ConsoleFixture {
  protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("kestrom-oru-" + std::to_string(getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder / "runtime");
        fs::permissions(folder / "runtime", fs::perms::owner_all);
        // The console's socket and the launched program's defaults: this test's own.
        setenv("XDG_RUNTIME_DIR", (folder / "runtime").c_str(), 1);
        setenv("KESTROM_SHM_NAMESPACE", ("kt" + std::to_string(getpid()) + "_").c_str(), 1);
    }
    void TearDown() override {
        server.reset();
        ConsoleFixture::TearDown();
        fs::remove_all(folder);
    }
    // waits for real time, the launched program being another process
    bool waitFor(const std::function<bool()>& condition, std::chrono::seconds limit = 20s) {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (!condition() && std::chrono::steady_clock::now() < until) pumpOnce();
        return condition();
    }

    fs::path folder;
    QtShell qtShell;
    std::unique_ptr<TransportServer> server;
};

TEST_F(OruLaunch, TheLaunchedProgramSubscribesToItsCameraAndGoesWhenTheBoxIsUnticked) {
    const fs::path script = folder / "oru.sh";
    std::ofstream(script) << "#!/bin/sh\n\"" KESTROM_WATCH_BINARY "\" \"$@\" > \"" << (folder / "out.txt").string()
                          << "\" 2>&1\necho $? > \"" << (folder / "ended").string() << "\"\n";
    fs::permissions(script, fs::perms::owner_all);

    shellService = &qtShell;
    start({camera(0, 11)});
    server = std::make_unique<TransportServer>(form->messagePort(), form->mainThread(), form->windowHandle());
    std::string error;
    ASSERT_TRUE(server->start(error)) << error;
    form->registry().setValue(RegistryHive::CurrentUser, kOruPcKey, "EXEPath", RegistryValue::string(script.string()));
    showTab(1);

    TCameraTab* tab = form->cameraTab(1);
    tab->EnableOruCheckBox->setEnabled(true);
    tab->EnableOruCheckBox->setChecked(true);
    ASSERT_TRUE(waitFor([&] { return form->state().slots[1].OruWindow != 0; }))
        << "the program did not subscribe; it wrote: " << readFile(folder / "out.txt");
    EXPECT_TRUE(waitFor([&] { return readFile(folder / "out.txt").find("attached slot 1 serial 11") != std::string::npos; }));

    tab->EnableOruCheckBox->setChecked(false);
    EXPECT_EQ(form->state().slots[1].OruWindow, 0u);
    ASSERT_TRUE(waitFor([&] { return fs::exists(folder / "ended") && !readFile(folder / "ended").empty(); }))
        << readFile(folder / "out.txt");
    EXPECT_EQ(readFile(folder / "ended"), "0\n");
    EXPECT_NE(readFile(folder / "out.txt").find("camera closed"), std::string::npos);
}

}  // namespace
}  // namespace kestrom::testing
