// Converting bound arguments into the values the queries take, and query
// answers into Python objects.
#pragma once

#include <cstdint>
#include <string_view>

#include "binding/errors.h"

namespace lookup {

// A read-only view of the UTF-8 text of a `str` (or subclass), owned by the
// object. A non-`str` is refused with the not-an-instance TypeError; a string
// with lone surrogates with its UnicodeEncodeError.
Result<std::string_view> extract_str(PyObject* object);

// An `int` or any object with `__index__`, from 0 to 2^64-1.
Result<std::uint64_t> extract_u64(PyObject* object);

// `True`, `False`, or a numpy boolean; `fallback` when `object` is null (the
// parameter was not given).
Result<bool> extract_bool(PyObject* object, bool fallback);

// Adds the note "while processing '{name}'" to a conversion error. Failing to
// add it leaves the error as it was.
PyError add_argument_note(PyError error, std::string_view name);

// Answers as new references. A failure to make the object is an internal fault.
PyObject* text_result(std::string_view text);
PyObject* bool_result(bool value) noexcept;
PyObject* none_result() noexcept;

}  // namespace lookup
