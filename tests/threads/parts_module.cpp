// run_in_parts where the extension modules run it: in a module loaded at run
// time, with the C++ runtime linked in. Loaded by parts_memory_test.cpp.
#include <atomic>
#include <memory>
#include <new>
#include <thread>

#include "parallel_parts.h"

// Two parts: the first takes all the memory away (through `memory_gone`, which
// the program's allocator reads), the second then needs some. Returns what
// the call threw, memory back.
extern "C" __attribute__((visibility("default"))) const char* run_parts_out_of_memory(
    std::atomic<bool>* memory_gone) {
    std::unique_ptr<char[]> block;
    auto work = [&](std::size_t, std::size_t, std::size_t part) {
        if (part == 0) {
            *memory_gone = true;
            return;
        }
        while (!*memory_gone) {
            std::this_thread::yield();
        }
        block = std::make_unique<char[]>(64);
    };
    const char* thrown = "nothing";
    try {
        lookup::run_in_parts(2, 2, work);
    } catch (const std::bad_alloc& error) {
        thrown = error.what();
    }
    *memory_gone = false;
    return thrown;
}
