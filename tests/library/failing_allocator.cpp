#include "failing_allocator.h"

#include <cstdlib>
#include <new>

namespace failing_allocator {
std::atomic<long> fail_after = -1;
std::atomic<long> allocations = 0;
}  // namespace failing_allocator

void* operator new(std::size_t size) {
    ++failing_allocator::allocations;
    if (failing_allocator::fail_after == 0) {
        throw std::bad_alloc();
    }
    if (failing_allocator::fail_after > 0) {
        --failing_allocator::fail_after;
    }
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}
// Arrays too: a sanitizer's runtime defines them apart, not through the above.
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
