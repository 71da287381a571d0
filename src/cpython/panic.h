// PanicException, the Python face of an internal fault, and the rules for
// taking a pending exception out of the interpreter's hands.
#pragma once

#include <string_view>

#include "errors.h"

namespace lookup {

// The PanicException class (borrowed), made once per process. Throws the
// fault "Failed to initialize new exception type." when it cannot be made.
PyObject* panic_exception_class();

// Takes the pending exception. A PanicException is not an ordinary error: it
// is printed and resumed as a fault with the same message. With nothing
// pending the result is a SystemError.
PyError take_pending_exception();

// For an object-creating call that returned null: reports the pending
// exception as unraisable and faults with "PyObject pointer is null".
[[noreturn]] void fault_from_null();

// Makes a PanicException with `message` the pending exception. A fault while
// doing so cannot be converted again: the process aborts.
void raise_panic(std::string_view message) noexcept;

}  // namespace lookup
