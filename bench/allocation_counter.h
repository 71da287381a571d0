// Counts the heap allocations of this program: operator new is replaced by a
// counting version, so a stage's allocations per name can be read around it.
#pragma once

#include <cstddef>

namespace bench {

// Allocations made through any form of operator new since the program began.
std::size_t allocation_count() noexcept;

}  // namespace bench
