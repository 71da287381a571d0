// A process-wide Python object made once, at first need, and never freed.
// Readers that find it made use it without locking. A thread that must wait
// for it waits detached from the interpreter, so the thread that makes it can
// always attach.
#pragma once

#include <atomic>
#include <mutex>

#include "python_compat.h"

namespace lookup {

class OnceValue {
public:
    // Returns a new reference, or null with a pending exception.
    using Maker = PyObject* (*)();

    explicit constexpr OnceValue(Maker maker) noexcept : maker_(maker) {}
    OnceValue(const OnceValue&) = delete;
    OnceValue& operator=(const OnceValue&) = delete;

    // Borrowed; null with a pending exception when this thread could not make
    // it (a later call tries again), or when its own making needs it again.
    PyObject* get() {
        if (ready_.load(std::memory_order_acquire)) {
            return value_;
        }
        return make();
    }

    // Borrowed; null while it has not been made. Never makes it.
    PyObject* made() const noexcept { return ready_.load(std::memory_order_acquire) ? value_ : nullptr; }

private:
    PyObject* make();

    Maker maker_;
    std::atomic<bool> ready_{false};
    PyObject* value_ = nullptr;
    std::mutex mutex_;
    // The thread running the maker: it must not wait for itself.
    std::atomic<PyThreadState*> maker_thread_{nullptr};
};

}  // namespace lookup
