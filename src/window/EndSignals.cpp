#include "window/EndSignals.h"

#include <QAbstractNativeEventFilter>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace qal {

namespace {

// Written by the handler, read by the event loop.
int signalPipe[2] = {-1, -1};

extern "C" void markSignal(int signal)
{
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    // A full pipe already holds a mark: nothing is lost.
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

bool EndSignals::install()
{
    if (signalPipe[0] >= 0)
        return true;
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = markSignal;
    sigemptyset(&action.sa_mask);
    // Restarted, so that no read or write of the program sees EINTR.
    action.sa_flags = SA_RESTART;
    bool ok = true;
    for (int signal : {SIGTERM, SIGHUP, SIGINT})
        ok = ::sigaction(signal, &action, nullptr) == 0 && ok;
    return ok;
}

EndSignals::EndSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal))
{
    if (signalPipe[0] < 0)
        return;
    notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char bytes[64];
        bool any = false;
        while (::read(signalPipe[0], bytes, sizeof bytes) > 0)
            any = true;
        if (any && onSignal_)
            onSignal_();
    });
}

EndSignals::~EndSignals() = default;

} // namespace qal
