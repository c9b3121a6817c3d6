#include "signalwatcher.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int pipeFds[2] = {-1, -1};

void handler(int signal)
{
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], &number, 1);
}

const int watched[] = {SIGINT, SIGTERM, SIGHUP};

} // namespace

SignalWatcher::SignalWatcher(QObject *parent)
    : QObject(parent)
{
    if (pipeFds[0] < 0 && pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char number;
        while (::read(pipeFds[0], &number, 1) == 1)
            emit caught(number);
    });
    for (int signal : watched) {
        struct sigaction action = {};
        action.sa_handler = handler;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(signal, &action, nullptr);
    }
}

SignalWatcher::~SignalWatcher()
{
    for (int signal : watched)
        std::signal(signal, SIG_DFL);
}
