// The calling thread detached from the interpreter for the length of a scope,
// for long work on the module's own memory (no Python object may be touched
// meanwhile). Attaches again however the scope ends, an exception included.
#pragma once

#include "python_compat.h"

namespace lookup {

// PyEval_RestoreThread, for a thread that may be a daemon thread of an
// interpreter that is finalizing. The interpreter ends such a thread there
// (pthread_exit, a forced unwind): unwinding on through the module's frames
// would release objects without holding the interpreter, run into
// noexcept destructors and catch-all guards, and abort the process. The
// thread stays parked instead, as newer interpreters leave it, until the
// process exits. Anything the caller started (worker threads) must have
// ended before.
void attach_again(PyThreadState* state) noexcept;

class Detached {
public:
    Detached() noexcept : state_(PyEval_SaveThread()) {}
    ~Detached() { attach_again(state_); }
    Detached(const Detached&) = delete;
    Detached& operator=(const Detached&) = delete;

private:
    PyThreadState* state_;
};

// The same for code that may run attached or not (a callback that a
// consumer may call from anywhere): detaches only a thread that is attached.
class DetachedIfAttached {
public:
    DetachedIfAttached() noexcept
        : state_(Py_IsInitialized() && PyGILState_Check() ? PyEval_SaveThread() : nullptr) {}
    ~DetachedIfAttached() {
        if (state_ != nullptr) {
            attach_again(state_);
        }
    }
    DetachedIfAttached(const DetachedIfAttached&) = delete;
    DetachedIfAttached& operator=(const DetachedIfAttached&) = delete;

private:
    PyThreadState* state_;
};

}  // namespace lookup
