#include "platform/qt/QuitOnSignal.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <array>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace vantor::platform {

namespace {

constexpr std::array kQuitSignals{SIGINT, SIGTERM, SIGHUP};
int writeEnd = -1; // read by the signal handler: set before, cleared after the handlers

void onSignal(int) {
    const char byte = 1;
    // Async-signal-safe; if the pipe is full a quit is already pending.
    [[maybe_unused]] const auto written = ::write(writeEnd, &byte, 1);
}

} // namespace

QuitOnSignal::QuitOnSignal() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds_) != 0) return;
    writeEnd = fds_[0];
    notifier_ = std::make_unique<QSocketNotifier>(fds_[1], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] {
        char byte = 0;
        while (::read(fds_[1], &byte, 1) > 0) {
        }
        QCoreApplication::quit();
    });

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : kQuitSignals) ::sigaction(number, &action, nullptr);
}

QuitOnSignal::~QuitOnSignal() {
    if (fds_[0] < 0) return;
    for (const int number : kQuitSignals) std::signal(number, SIG_DFL);
    notifier_.reset();
    writeEnd = -1;
    ::close(fds_[0]);
    ::close(fds_[1]);
}

} // namespace vantor::platform
