// Self-pipe from the SIGINT/SIGTERM handler to the event loop.
#include "app/termination_signals.h"

#include <QCoreApplication>
#include <QDebug>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int signal_pipe[2] = {-1, -1};

extern "C" void on_termination_signal(int signal_number)
{
    const char byte = char(signal_number);
    // Only async-signal-safe work here; a full pipe just drops the extra signal.
    [[maybe_unused]] ssize_t written = ::write(signal_pipe[1], &byte, 1);
}

} // namespace

void install_termination_signal_handlers()
{
    if (::pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning() << "Cannot watch for termination signals";
        return;
    }
    auto* notifier = new QSocketNotifier(signal_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char byte = 0;
        while (::read(signal_pipe[0], &byte, 1) == 1) {
        }
        qInfo() << "Termination signal received, ending the program";
        QCoreApplication::quit();
    });

    struct sigaction action = {};
    action.sa_handler = on_termination_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}
