// The Arrow forms of the six queries over the list compiled in, as functions
// of the package's extension (lookup_psl re-exports them).
#pragma once

#include "python_compat.h"

namespace lookup {

// The method records of the six functions, ending with an empty record.
PyMethodDef* arrow_function_records() noexcept;

}  // namespace lookup
