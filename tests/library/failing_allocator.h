// Allocation failure on demand: once fail_after reaches zero every
// allocation of the process throws std::bad_alloc, in the shared library too
// (it takes operator new from the program). Negative: no failure.
#pragma once

#include <atomic>

namespace failing_allocator {
extern std::atomic<long> fail_after;
extern std::atomic<long> allocations;  // counted, to place failures within a known run
}  // namespace failing_allocator
