// Viewer bench: the whole console, on a simulated camera at 48 Hz, with its viewer showing results,
// cursor, aperture and colour bar, against the same console with a plain subscriber instead, in one
// run. Prints "name: value" lines.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <unistd.h>

#include "console/camera_tab.h"
#include "console/console_viewers.h"
#include "console/logo_app_form.h"
#include "platform/delay_service.h"
#include "platform/dialog_service.h"
#include "simulator/sim_driver.h"
#include "subscriber/port_link.h"
#include "subscriber/qt/kestrom3_subscriber_widget.h"
#include "viewer/view_window.h"

namespace {

using namespace kestrom;

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void runFor(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

// CPU of the whole process per wall second, in percent, while the event loop runs.
double cpuPercentOver(double seconds) {
    const double wall0 = wallSeconds();
    const double cpu0 = cpuSeconds();
    runFor(seconds);
    return 100.0 * (cpuSeconds() - cpu0) / (wallSeconds() - wall0);
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 60;
    for (int i = 1; i + 1 < argc; i += 2)
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atof(argv[i + 1]);
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);

    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("kestrom-viewer-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string ns = "kvb" + std::to_string(getpid()) + "_";

    sim::Config config;
    config.cameras.resize(1);
    sim::Driver driver(config);
    SleepingDelay delay;
    ScriptedDialogs dialogs;
    int exitCode = 0;
    {
        TLogoAppForm form(ConsoleServices{driver, delay, dialogs, {}, true, folder.string(), ns});
        form.show();
        TCameraTab* tab = form.cameraTab(1);
        tab->ChopRate->setCurrentIndex(tab->ChopRate->findText("48 Hz"));
        runFor(2.5);  // past the camera's settling after the change

        // The same console with a plain subscriber of its own process.
        long plainFrames = 0;
        double plainCpu = 0;
        {
            PortLink link(form.messagePort(), form.windowHandle());
            SubscriberOptions options;
            options.sharedMemoryPrefix = ns;
            TKesTrom3SubscriberWidget plain(link, options);
            QObject::connect(&plain, &TKesTrom3SubscriberWidget::newFrame, [&] { ++plainFrames; });
            plain.subscriber().Open();
            runFor(1);
            plainFrames = 0;
            plainCpu = cpuPercentOver(seconds);
            plain.subscriber().Close();
            runFor(0.2);
        }
        const double plainRate = static_cast<double>(plainFrames) / seconds;

        form.viewers().ViewButton1Click();
        TViewWindow* viewer = form.viewers().viewer(1);
        if (!viewer) {
            std::fprintf(stderr, "viewer_bench: the viewer did not open\n");
            return 1;
        }
        viewer->Showresult1->trigger();
        viewer->CheckBox2->setChecked(true);
        viewer->CheckBox3->setChecked(true);
        viewer->ColorBar->setChecked(true);
        long shown = 0;
        long late = 0;
        double worstMs = 0;
        bool counting = false;
        const auto period = std::chrono::microseconds(1'000'000 / 48);
        viewer->setOnFrameShown([&](TViewWindow::Clock::time_point arrived, TViewWindow::Clock::time_point at) {
            if (!counting) return;
            ++shown;
            const auto waited = at - arrived;
            worstMs = std::max(worstMs, std::chrono::duration<double, std::milli>(waited).count());
            if (waited > period) ++late;
        });
        runFor(1);
        counting = true;
        const double viewerCpu = cpuPercentOver(seconds);
        counting = false;

        std::printf("seconds: %.0f\n", seconds);
        std::printf("console_cpu_percent_48hz_no_viewer: %.2f\n", plainCpu);
        std::printf("plain_subscriber_frames_per_second: %.1f\n", plainRate);
        std::printf("viewer_cpu_percent_48hz: %.2f\n", viewerCpu);
        std::printf("viewer_cpu_over_no_viewer_percent_points: %.2f\n", viewerCpu - plainCpu);
        std::printf("viewer_frames_shown: %ld\n", shown);
        std::printf("viewer_frames_per_second: %.1f\n", static_cast<double>(shown) / seconds);
        std::printf("viewer_frames_late: %ld\n", late);
        std::printf("viewer_worst_delay_ms: %.2f\n", worstMs);
        if (shown == 0) exitCode = 1;
        viewer->close();
        runFor(0.2);
    }
    std::filesystem::remove_all(folder);
    return exitCode;
}
