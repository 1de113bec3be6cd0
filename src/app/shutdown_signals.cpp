// A signal handler may only write to a pipe; a watcher thread reads it, hands the shutdown to the
// event loop and ends the program itself should the orderly way not finish in time.
#include "app/shutdown_signals.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace kestrom {

namespace {
int signalPipe[2] = {-1, -1};

void handleSignal(int) {
    char c = 1;
    [[maybe_unused]] ssize_t n = ::write(signalPipe[0], &c, 1);
}
}  // namespace

void installShutdownSignals(std::function<void()> atOnce, std::function<void()> onSignal,
                            std::function<void()> lastResort, std::chrono::milliseconds bound) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return;
    std::thread([atOnce = std::move(atOnce), onSignal = std::move(onSignal), lastResort = std::move(lastResort),
                 bound] {
        char c;
        while (::read(signalPipe[1], &c, 1) != 1) {
        }
        if (atOnce) atOnce();
        QMetaObject::invokeMethod(QCoreApplication::instance(), onSignal, Qt::QueuedConnection);
        std::this_thread::sleep_for(bound);
        // Still here: the main thread is stuck. Leave nothing behind that a next start would trip on.
        std::fputs("kestrom3-console: ending without an orderly shutdown\n", stderr);
        if (lastResort) lastResort();
        std::_Exit(1);
    }).detach();
    struct sigaction action {};
    action.sa_handler = handleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

}  // namespace kestrom
