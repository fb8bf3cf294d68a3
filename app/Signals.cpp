// SPDX-License-Identifier: MIT
#include "app/Signals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QtGlobal>
#include <csignal>
#include <cstdlib>

#include "os/CleanupList.h"

#if defined(Q_OS_UNIX)
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace quelvane {

namespace {

int gPipe[2] = {-1, -1};
volatile std::sig_atomic_t gPending = 0;
int gClosedBy = 0;

#if defined(Q_OS_UNIX)
void OnSignal(int signal) {
    if (gPending) {
        // The window did not get to close: a command holds the event loop.
        safefile::cleanup::RemoveAll();
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    gPending = signal;
    const char byte = static_cast<char>(signal);
    (void)!::write(gPipe[0], &byte, 1);
}
#endif

}  // namespace

void CloseOnSignals(std::function<void()> close) {
#if defined(Q_OS_UNIX)
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gPipe) != 0) return;
    auto* notifier = new QSocketNotifier(gPipe[1], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier, close = std::move(close)] {
        char byte = 0;
        if (::read(gPipe[1], &byte, 1) != 1) return;
        notifier->setEnabled(false);
        gClosedBy = byte;
        close();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous {};
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;  // nohup
        ::sigaction(signal, &action, nullptr);
    }
#else
    (void)close;
#endif
}

int SignalThatClosed() { return gClosedBy; }

void EndWithSignal(int signal) {
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    std::_Exit(128 + signal);
}

}  // namespace quelvane
