#include "Platform/Linux/TerminationSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace tessary {

namespace {

constexpr int handledSignals[] = {SIGTERM, SIGINT, SIGHUP};
volatile int writeEnd = -1;

extern "C" void onTerminationSignal(int number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    // A full pipe already holds a wake-up; losing this byte loses nothing.
    [[maybe_unused]] auto written = ::write(writeEnd, &byte, 1);
    errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
    readEnd_ = ends[0];
    writeEnd = ends[1];
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : handledSignals) ::sigaction(number, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
    if (readEnd_ < 0) return;
    for (int number : handledSignals) ::signal(number, SIG_DFL);
    ::close(writeEnd);
    writeEnd = -1;
    ::close(readEnd_);
}

int TerminationSignals::take() {
    int last = 0;
    unsigned char byte;
    while (::read(readEnd_, &byte, 1) == 1) last = byte;
    return last;
}

}  // namespace tessary
