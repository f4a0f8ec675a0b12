// The command-line servers run until SIGINT or SIGTERM.
#pragma once

#include <chrono>
#include <csignal>
#include <thread>

namespace stop_signal {

inline volatile std::sig_atomic_t requested = 0;

inline void request(int) {
    requested = 1;
}

inline void install() {
    std::signal(SIGINT, request);
    std::signal(SIGTERM, request);
}

inline void wait() {
    while (!requested) std::this_thread::sleep_for(std::chrono::milliseconds(200));
}

}  // namespace stop_signal
