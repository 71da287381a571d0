#include "once_value.h"

#include "detached.h"

namespace lookup {

PyObject* OnceValue::make() {
    if (maker_thread_.load(std::memory_order_relaxed) == PyThreadState_Get()) {
        // Waiting on the mutex that this thread holds would never end.
        PyErr_SetString(PyExc_RuntimeError, "a once-made value was needed while it was being made");
        return nullptr;
    }
    bool failed = false;
    PyThreadState* thread = PyEval_SaveThread();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!ready_.load(std::memory_order_relaxed)) {
            maker_thread_.store(thread, std::memory_order_relaxed);
            attach_again(thread);
            PyObject* value = maker_();
            thread = PyEval_SaveThread();
            maker_thread_.store(nullptr, std::memory_order_relaxed);
            if (value != nullptr) {
                value_ = value;
                ready_.store(true, std::memory_order_release);
            }
            failed = value == nullptr;
        }
    }
    attach_again(thread);
    // A failure of this thread's maker left its exception pending here, even
    // if another thread has made the value since.
    return failed ? nullptr : value_;
}

}  // namespace lookup
