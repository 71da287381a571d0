// Signals noticed during long detached work: the thread that detached looks
// now and then (at most every INTERVAL, so that a busy interpreter's lock is
// rarely waited for) whether a signal handler raised, as Ctrl-C's does with
// KeyboardInterrupt, and tells every worker to stop. The exception is left
// pending for the caller to take once attached again. Only the main thread
// of the main interpreter runs handlers, so only it looks: any other thread
// (a daemon thread while the interpreter finalizes, above all) never
// attaches in the middle of its work.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>

#include "python_compat.h"

#if PY_VERSION_HEX >= 0x030D0000
// Moved to the internal headers in 3.13, and still exported.
extern "C" int _PyOS_IsMainThread(void);
#endif

namespace lookup {

class SignalWatch {
public:
    static constexpr std::chrono::milliseconds INTERVAL{20};

    // Made while attached.
    SignalWatch() noexcept : handles_signals_(main_thread_attached()) {}

    // Made anywhere, attached or not: looks only if told that it may.
    explicit SignalWatch(bool handles_signals) noexcept : handles_signals_(handles_signals) {}

    // Whether the calling thread, attached, is the one that runs handlers.
    static bool main_thread_attached() noexcept {
        return _PyOS_IsMainThread() != 0 && PyInterpreterState_Get() == PyInterpreterState_Main();
    }

    // On the thread that detached, between chunks of its work: runs the
    // interpreter's signal handlers when INTERVAL has passed since the last
    // look. Returns whether the work is to stop.
    bool look() noexcept {
        if (!handles_signals_) {
            return stopped();
        }
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

    // Between chunks of part `part` of a run_in_parts: part 0 runs on the
    // thread that detached, and it alone may look.
    bool stop_part(std::size_t part) noexcept { return part == 0 ? look() : stopped(); }

private:
    std::chrono::steady_clock::time_point last_look_ = std::chrono::steady_clock::now();
    bool handles_signals_;
    std::atomic<bool> stop_{false};
};

}  // namespace lookup
