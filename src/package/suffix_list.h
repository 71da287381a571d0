// lookup_psl.SuffixList: an immutable list built at run time, with the six
// queries as methods, its checksum, header lines, rule counts and extra
// rules as read-only attributes, and pickling by its source bytes.
#pragma once

#include "python_compat.h"

namespace lookup {

// The class, made for `module` (new reference), or null with a pending
// exception.
PyObject* make_suffix_list_type(PyObject* module);

}  // namespace lookup
