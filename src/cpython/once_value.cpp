#include "once_value.h"

namespace lookup {

PyObject* OnceValue::make() {
    PyThreadState* thread = PyEval_SaveThread();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!ready_.load(std::memory_order_relaxed)) {
            PyEval_RestoreThread(thread);
            PyObject* value = maker_();
            thread = PyEval_SaveThread();
            if (value != nullptr) {
                value_ = value;
                ready_.store(true, std::memory_order_release);
            }
        }
    }
    PyEval_RestoreThread(thread);
    // A failure left its exception pending on this thread's state.
    return ready_.load(std::memory_order_acquire) ? value_ : nullptr;
}

}  // namespace lookup
