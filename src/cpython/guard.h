// The guard around every call from Python: a call ends with a new object, or
// with NULL and a pending exception, never anything else, and no C++
// exception crosses into the interpreter.
#pragma once

#include "errors.h"

namespace lookup {

// Turns the C++ exception being handled into a pending Python exception:
// exhausted memory into MemoryError, any fault into PanicException.
void raise_current_fault() noexcept;

// Runs `call` (which answers with a Result<PyObject*>) under the guard.
template <class Call>
PyObject* guarded(Call call) noexcept {
    try {
        Result<PyObject*> result = call();
        if (result.ok()) {
            return result.value();
        }
        result.take_error().restore();
    } catch (...) {
        raise_current_fault();
    }
    return nullptr;
}

// A body answers with a result object (new reference) or a Python exception,
// or throws a fault.
using Body = Result<PyObject*> (*)(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

template <Body body>
PyObject* guarded_call(PyObject* /*module*/, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept {
    return guarded([&] { return body(args, nargs, kwnames); });
}

// The same for a method, whose body reads the object it is called on (or,
// for a class method, the class).
using MethodBody = Result<PyObject*> (*)(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

template <MethodBody body>
PyObject* guarded_method(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept {
    return guarded([&] { return body(self, args, nargs, kwnames); });
}

// The entry points of bodies, in the form that a method record stores.
template <Body body>
PyCFunction call_entry() noexcept {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(&guarded_call<body>));
}

template <MethodBody body>
PyCFunction method_entry() noexcept {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(&guarded_method<body>));
}

// The same for module execution: 0, or -1 with a pending exception.
using ExecBody = Status (*)(PyObject* module);

template <ExecBody body>
int guarded_exec(PyObject* module) noexcept {
    try {
        Status status = body(module);
        if (status.ok()) {
            return 0;
        }
        status.take_error().restore();
    } catch (...) {
        raise_current_fault();
    }
    return -1;
}

}  // namespace lookup
