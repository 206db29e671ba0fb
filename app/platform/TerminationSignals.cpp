#include "platform/TerminationSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace quirtle {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
int pipeEnds[2] = {-1, -1};

void DefaultActions() {
    for (const int number : kSignals) {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        ::sigaction(number, &action, nullptr);
    }
}

extern "C" void NoteSignal(int number) {
    const int saved = errno;
    // Only async-signal-safe calls here.
    DefaultActions();
    const unsigned char byte = static_cast<unsigned char>(number);
    (void)!::write(pipeEnds[1], &byte, 1);
    errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {}

TerminationSignals::~TerminationSignals() {
    if (!notifier_) return;
    DefaultActions();
    notifier_.reset();
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

bool TerminationSignals::Install() {
    if (notifier_) return true;
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    notifier_ = std::make_unique<QSocketNotifier>(pipeEnds[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &TerminationSignals::Read);
    for (const int number : kSignals) {
        struct sigaction action {};
        action.sa_handler = NoteSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(number, &action, nullptr);
    }
    return true;
}

void TerminationSignals::Read() {
    unsigned char byte = 0;
    while (::read(pipeEnds[0], &byte, 1) == 1) emit Received(byte);
}

}  // namespace quirtle
