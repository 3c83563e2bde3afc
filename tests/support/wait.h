// Waiting for a condition with a deadline instead of fixed sleeps.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace kevosupport {

// True as soon as done() holds; false once timeoutMs passed. Between two checks idle()
// runs (serving events, for instance); without one the caller sleeps a millisecond.
template <class F>
bool waitUntil(F done, int timeoutMs = 3000, const std::function<void()>& idle = {}) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        if (idle) idle();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline long long msSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t)
        .count();
}

}  // namespace kevosupport
