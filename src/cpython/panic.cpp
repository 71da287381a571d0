#include "panic.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "text_rule.h"
#include "once_value.h"
#include "fault.h"

namespace lookup {
namespace {

// The module part is not "_lookup": the class is not one of the module's
// attributes, and is shared by every module object in the process.
constexpr const char* PANIC_NAME = "lookup_native.PanicException";
constexpr const char* PANIC_DOC =
    "Raised when native code called from Python faults.\n"
    "\n"
    "Like SystemExit, this exception derives from BaseException so that\n"
    "it typically propagates all the way up the stack and ends the\n"
    "Python interpreter.";

OnceValue panic_class([] {
    return PyErr_NewExceptionWithDoc(PANIC_NAME, PANIC_DOC, PyExc_BaseException, nullptr);
});

[[noreturn]] void abort_uncaught() noexcept {
    std::fputs("fatal error: uncaught panic at ffi boundary\n", stderr);
    std::fflush(stderr);
    std::abort();
}

}  // namespace

PyObject* panic_exception_class() {
    PyObject* type = panic_class.get();
    if (type == nullptr) {
        PyErr_Clear();
        throw Fault("Failed to initialize new exception type.");
    }
    return type;
}

PyError take_pending_exception() {
    PyRef exception(PyErr_GetRaisedException());
    if (!exception) {
        return PyError::described(PyExc_SystemError, "attempted to fetch exception but none was set");
    }
    // Only a made class has instances. Asking must not make it: making it
    // fails where many exceptions come from (at the recursion limit, out of
    // memory), and that failure would end the process.
    PyObject* panic_type = panic_class.made();
    if (panic_type == nullptr || reinterpret_cast<PyObject*>(Py_TYPE(exception.get())) != panic_type) {
        return PyError::from_object(std::move(exception));
    }
    std::string message = "Unwrapped panic from Python code";
    if (PyRef text{PyObject_Str(exception.get())}) {
        message = text_of_str(text.get());
    } else {
        PyErr_Clear();
    }
    std::fputs("--- lookup is resuming an internal fault after fetching a PanicException from Python. ---\n", stderr);
    std::fputs("Python stack trace below:\n", stderr);
    PyErr_SetRaisedException(exception.release());
    PyErr_PrintEx(0);
    throw Fault(std::move(message));
}

void fault_from_null() {
    if (PyErr_Occurred() != nullptr) {
        PyErr_WriteUnraisable(nullptr);
    }
    throw Fault("PyObject pointer is null");
}

void raise_panic(std::string_view message) noexcept {
    try {
        PyErr_Clear();  // the panic takes the place of anything pending
        PyObject* type = panic_exception_class();
        PyRef text(PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace"));
        if (!text) {
            return;  // the pending MemoryError says why
        }
        PyErr_SetObject(type, text.get());
    } catch (...) {
        abort_uncaught();
    }
}

}  // namespace lookup
