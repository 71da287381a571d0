#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>

#include "test_paths.h"

namespace {
std::atomic<bool> memory_gone{false};
}

// The process's allocator (exported, so that the dynamic loader and the
// module allocate through it too), empty while `memory_gone` holds.
extern "C" void* __libc_malloc(std::size_t size);
extern "C" void* malloc(std::size_t size) { return memory_gone ? nullptr : __libc_malloc(size); }

// A thread that first throws once memory has run out must not need memory
// for the runtime's per-thread state then: the dynamic loader would end the
// process ("cannot allocate memory for thread-local data"). The part's
// std::bad_alloc comes out of the call instead.
TEST(PartsOutOfMemory, APartOutOfMemoryThrowsWithoutEndingTheProcess) {
    void* module = dlopen(lookup::test_paths::from_test_programs(PARTS_MODULE_NAME).c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    using Run = const char* (*)(std::atomic<bool>*);
    const auto run = reinterpret_cast<Run>(dlsym(module, "run_parts_out_of_memory"));
    ASSERT_NE(run, nullptr) << dlerror();
    EXPECT_EXIT(std::exit(std::string(run(&memory_gone)) == "std::bad_alloc" ? 0 : 1),
                testing::ExitedWithCode(0), "");
}
