// Work over many items split into contiguous parts, one thread per part.
#pragma once

#include <cstddef>
#include <exception>
#include <latch>
#include <thread>
#include <vector>

namespace lookup {

// Calls work(begin, end, part) for `parts` ranges that cover [0, count) in
// order, each part on a thread of its own but the first, which runs on the
// calling thread; a thread that cannot be started leaves its part to the
// calling thread too. Returns once every part has ended, and then rethrows
// the exception of the first part that threw, if any.
//
// In a module loaded at run time the C++ runtime's per-thread state (what a
// throw and a catch keep) is made on a thread's first throw, by the dynamic
// loader, which ends the process when it cannot get the memory. So every
// thread makes it before any part begins: a part that runs out of memory
// throws std::bad_alloc instead of taking the process down.
template <class Work>
void run_in_parts(std::size_t count, std::size_t parts, Work& work) {
    if (parts == 0) {
        parts = 1;
    }
    std::vector<std::exception_ptr> faults(parts);
    // The first count % parts parts take one item more than the others.
    const std::size_t share = count / parts;
    const std::size_t extra = count % parts;
    auto begin_of = [&](std::size_t part) { return part * share + (part < extra ? part : extra); };
    auto run = [&](std::size_t part) noexcept {
        try {
            work(begin_of(part), begin_of(part + 1), part);
        } catch (...) {
            faults[part] = std::current_exception();
        }
    };
    // Reading the state makes it; the calling thread too needs it to rethrow.
    (void)std::current_exception();
    std::latch ready(static_cast<std::ptrdiff_t>(parts - 1));
    auto start = [&](std::size_t part) noexcept {
        (void)std::current_exception();
        ready.count_down();
        run(part);
    };
    std::vector<std::thread> threads;
    threads.reserve(parts - 1);
    std::size_t started = 1;
    for (; started < parts; ++started) {
        try {
            threads.emplace_back(start, started);
        } catch (const std::exception&) {
            break;  // no thread to be had (std::system_error, std::bad_alloc)
        }
    }
    ready.count_down(static_cast<std::ptrdiff_t>(parts - started));
    ready.wait();
    run(0);
    for (std::size_t part = started; part < parts; ++part) {
        run(part);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (const std::exception_ptr& fault : faults) {
        if (fault) {
            std::rethrow_exception(fault);
        }
    }
}

}  // namespace lookup
