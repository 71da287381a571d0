// Converting bound arguments into the values the queries take, and query
// answers into Python objects.
#pragma once

#include <cstdint>
#include <string_view>

#include "errors.h"

namespace lookup {

// The functions of the error paths are noinline: the package's query methods
// are flattened, and these would only swell them.

// Why `object` has no UTF-8 view: not a `str`, or an encoding error pending.
[[gnu::noinline]] PyError str_refusal(PyObject* object);

// A read-only view of the UTF-8 text of a `str` (or subclass), owned by the
// object. A non-`str` is refused with the not-an-instance TypeError; a string
// with lone surrogates with its UnicodeEncodeError.
inline Result<std::string_view> extract_str(PyObject* object) {
    // An exact ASCII str (nearly every name) holds its UTF-8 text as its
    // data: read in place, without a call into the interpreter.
    if (PyUnicode_CheckExact(object) && PyUnicode_IS_ASCII(object)) {
        return std::string_view(static_cast<const char*>(PyUnicode_DATA(object)),
                                static_cast<std::size_t>(PyUnicode_GET_LENGTH(object)));
    }
    if (PyUnicode_Check(object)) {
        Py_ssize_t size = 0;
        if (const char* bytes = PyUnicode_AsUTF8AndSize(object, &size)) {
            return std::string_view(bytes, static_cast<std::size_t>(size));
        }
    }
    return str_refusal(object);
}

// An `int` or any object with `__index__`, from 0 to 2^64-1.
[[gnu::noinline]] Result<std::uint64_t> extract_u64(PyObject* object);

// A flag that is neither absent nor `True` or `False`: a numpy boolean, or
// refused.
[[gnu::noinline]] Result<bool> extract_other_bool(PyObject* object);

// `True`, `False`, or a numpy boolean; `fallback` when `object` is null (the
// parameter was not given).
inline Result<bool> extract_bool(PyObject* object, bool fallback) {
    if (object == nullptr) {
        return fallback;
    }
    if (object == Py_True || object == Py_False) {
        return object == Py_True;
    }
    return extract_other_bool(object);
}

// A count of at least 1 for the parameter `name`: an `int` (not a `bool`) or
// any object with `__index__`. Counts beyond 64 bits give UINT64_MAX; below 1
// they are a ValueError.
Result<std::uint64_t> extract_count(PyObject* object, std::string_view name);

// The items of any iterable but a single text (`str`, `bytes` or `bytearray`,
// refused rather than read one character at a time), as a tuple: the object
// itself when it is one. The tuple holds the items for as long as it lives.
Result<PyRef> extract_items(PyObject* object);

// Adds the note "while processing '{name}'" to a conversion error. Failing to
// add it leaves the error as it was.
[[gnu::noinline]] PyError add_argument_note(PyError error, std::string_view name);

// Adds the note "while processing item {index} of '{name}'" (items counted
// from 0) to the conversion error of one item of an iterable argument.
PyError add_item_note(PyError error, std::size_t index, std::string_view name);

// Answers as new references. A failure to make the object is an internal fault.
PyObject* text_result(std::string_view text);
// The same str, or null with the interpreter's exception pending.
// `known_ascii`: the caller knows the text to be ASCII, so it is not looked
// at again.
PyObject* new_text(std::string_view text, bool known_ascii = false);
// What the package's own forms make of an answer object that could not be
// made: exhausted memory (std::bad_alloc, which the guard raises as
// MemoryError, so that `except Exception` sees it); any other failure stays
// an internal fault.
[[noreturn, gnu::noinline]] void memory_error_from_null();
PyObject* bool_result(bool value) noexcept;
PyObject* none_result() noexcept;

}  // namespace lookup
