#include "app/process_signals.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <initializer_list>

namespace {

void onSignal(int signalNumber) {
    char line[48] = "Caught signal SIGPIPE ";
    size_t length = std::strlen(line);
    char digits[12];
    int count = 0;
    unsigned value = static_cast<unsigned>(signalNumber);
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0 && count < 11);
    while (count > 0) line[length++] = digits[--count];
    line[length++] = '\n';
    const int savedErrno = errno;
    ssize_t ignored = ::write(STDOUT_FILENO, line, length);
    (void)ignored;
    errno = savedErrno;
}

volatile std::sig_atomic_t stopSignal = 0;

void onStopSignal(int) { stopSignal = 1; }

}  // namespace

void installStopSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) sigaction(signalNumber, &action, nullptr);
}

bool stopSignalReceived() { return stopSignal != 0; }

void clearStopSignal() { stopSignal = 0; }

void installSigpipeHandler() {
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGPIPE, &action, nullptr);
}
