// Attribute and method names interned once per process.
#pragma once

#include "python_compat.h"

namespace lookup {

// Borrowed; null with a pending exception when the name cannot be made.
PyObject* interned_all_name();       // "__all__"
PyObject* interned_name_name();      // "__name__"
PyObject* interned_add_note_name();  // "add_note"

}  // namespace lookup
