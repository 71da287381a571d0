// The calling thread detached from the interpreter for the length of a scope,
// for long work on the module's own memory (no Python object may be touched
// meanwhile). Attaches again however the scope ends, an exception included.
#pragma once

#include "python_compat.h"

namespace lookup {

class Detached {
public:
    Detached() noexcept : state_(PyEval_SaveThread()) {}
    ~Detached() { PyEval_RestoreThread(state_); }
    Detached(const Detached&) = delete;
    Detached& operator=(const Detached&) = delete;

private:
    PyThreadState* state_;
};

}  // namespace lookup
