// A signal handler may only write to a pipe; the event loop reads it and starts the shutdown.
#include "app/shutdown_signals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrom {

namespace {
int signalPipe[2] = {-1, -1};

void handleSignal(int) {
    char c = 1;
    [[maybe_unused]] ssize_t n = ::write(signalPipe[0], &c, 1);
}
}  // namespace

void installShutdownSignals(std::function<void()> onSignal) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return;
    // Lives as long as the application.
    auto* notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [onSignal = std::move(onSignal)] {
        char c;
        [[maybe_unused]] ssize_t n = ::read(signalPipe[1], &c, 1);
        onSignal();
    });
    struct sigaction action {};
    action.sa_handler = handleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

}  // namespace kestrom
