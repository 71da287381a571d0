// Turning Python objects into UTF-8 text for error messages. Never fails for
// want of a UTF-8 form: surrogates and other undecodable bits become U+FFFD.
#pragma once

#include <string>
#include <string_view>

#include "python_compat.h"

namespace lookup {

// The UTF-8 text of a `str`; one that has none (lone surrogates) is encoded
// with "surrogatepass" and decoded leniently.
std::string text_of_str(PyObject* text);

// The `str` of any object as text. An object whose `str` fails is reported as
// unraisable and shown as "<unprintable {class name} object>".
std::string display_text(PyObject* object);

// The qualified name of a class, or "<failed to extract type name>".
std::string qualified_name_text(PyTypeObject* type);

}  // namespace lookup
