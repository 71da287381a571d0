// Signals noticed during long detached work: the thread that detached looks
// now and then (at most every INTERVAL, so that a busy interpreter's lock is
// rarely waited for) whether a signal handler raised, as Ctrl-C's does with
// KeyboardInterrupt, and tells every worker to stop. The exception is left
// pending for the caller to take once attached again.
#pragma once

#include <atomic>
#include <chrono>

#include "python_compat.h"

namespace lookup {

class SignalWatch {
public:
    static constexpr std::chrono::milliseconds INTERVAL{20};

    // On the thread that detached, between chunks of its work: runs the
    // interpreter's signal handlers when INTERVAL has passed since the last
    // look. Returns whether the work is to stop.
    bool look() noexcept {
        const auto now = std::chrono::steady_clock::now();
        if (now - last_look_ >= INTERVAL) {
            last_look_ = now;
            const PyGILState_STATE attached = PyGILState_Ensure();
            if (PyErr_CheckSignals() != 0) {
                stop_.store(true, std::memory_order_relaxed);
            }
            PyGILState_Release(attached);
        }
        return stopped();
    }

    // On any worker, between chunks.
    bool stopped() const noexcept { return stop_.load(std::memory_order_relaxed); }

private:
    std::chrono::steady_clock::time_point last_look_ = std::chrono::steady_clock::now();
    std::atomic<bool> stop_{false};
};

}  // namespace lookup
