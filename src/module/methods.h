// The method records of the six functions, in registration order.
#pragma once

#include <span>

#include "python_compat.h"

namespace lookup {

std::span<PyMethodDef> module_methods() noexcept;

}  // namespace lookup
