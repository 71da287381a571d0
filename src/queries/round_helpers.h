// Lookups of a batch call's rounds shared between the calling thread and
// helper threads that live for the whole call: while the calling thread,
// attached, makes the objects of one round, the helpers already look up the
// next. Starting a thread for each round would cost more than that overlap
// gains (50 to 300 µs a start on a small virtual machine). Helpers never
// touch the interpreter: a calling thread parked when it attaches (a daemon
// thread while the interpreter finalizes) leaves them waiting for a round
// that never comes, until the process exits.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <latch>
#include <thread>
#include <vector>

namespace lookup {

// work(round, begin, end, part) looks up items [begin, end) of round `round`
// (numbered from 1) as part `part`: 0 on the calling thread, 1 to helpers on
// the helpers. A round's chunks go to whichever part claims them first.
template <class Work>
class RoundHelpers {
public:
    // Starts up to `helpers` threads (fewer when no more can be had).
    RoundHelpers(std::size_t helpers, std::size_t chunk, Work& work)
        : chunk_(chunk), work_(work), faults_(helpers + 1), ready_(static_cast<std::ptrdiff_t>(helpers)) {
        // The C++ runtime's per-thread state, made on every thread before any
        // work (see run_in_parts; complete() waits for the helpers'): a lookup
        // out of memory throws std::bad_alloc instead of ending the process.
        (void)std::current_exception();
        threads_.reserve(helpers);
        std::size_t started = 0;
        for (; started < helpers; ++started) {
            try {
                threads_.emplace_back([this, part = started + 1] { help(part); });
            } catch (const std::exception&) {
                break;  // no thread to be had: the others take its share
            }
        }
        ready_.count_down(static_cast<std::ptrdiff_t>(helpers - started));
    }
    RoundHelpers(const RoundHelpers&) = delete;
    RoundHelpers& operator=(const RoundHelpers&) = delete;
    ~RoundHelpers() { finish(); }

    // Offers round `round` (one after the last one offered) of `count`
    // items, whose inputs are ready. The round two before must be complete.
    void publish(std::uint32_t round, std::size_t count) noexcept {
        counts_[round & 1].store(static_cast<std::uint32_t>(count), std::memory_order_relaxed);
        done_[round & 1].store(0, std::memory_order_relaxed);
        claim_.store(std::uint64_t{round} << 32, std::memory_order_release);
        published_.store(round, std::memory_order_release);
        published_.notify_all();
    }

    // On the calling thread, detached: claims chunks of `round` until none is
    // left or stop() (asked between chunks) says to stop, then waits for the
    // helpers' chunks. Returns whether every item of the round was looked
    // up; rethrows the first exception of a part, once all have ended.
    template <class Stop>
    bool complete(std::uint32_t round, Stop&& stop) {
        ready_.wait();
        take_chunks(round, 0, stop);
        if (!stopped_.load(std::memory_order_acquire)) {
            const std::uint32_t count = counts_[round & 1].load(std::memory_order_relaxed);
            for (std::uint32_t done = done_[round & 1].load(std::memory_order_acquire); done != count;) {
                done = wait_for_change(done_[round & 1], done);
            }
        }
        if (!stopped_.load(std::memory_order_acquire)) {
            return true;
        }
        finish();
        for (const std::exception_ptr& fault : faults_) {
            if (fault) {
                std::rethrow_exception(fault);
            }
        }
        return false;
    }

private:
    static constexpr std::uint32_t FINISHED = UINT32_MAX;
    static constexpr std::chrono::microseconds SPIN{200};

    void finish() noexcept {
        published_.store(FINISHED, std::memory_order_release);
        published_.notify_all();
        for (std::thread& thread : threads_) {
            if (thread.joinable()) {
                thread.join();
            }
        }
    }

    // Waits until `value` holds something else than `old`, and returns it.
    // Spins for up to SPIN first: the next round comes within a round's
    // objects, and a thread put to sleep takes tens of microseconds to wake on
    // a virtual machine whose processor went idle meanwhile.
    static std::uint32_t wait_for_change(const std::atomic<std::uint32_t>& value, std::uint32_t old) noexcept {
        const auto give_up = std::chrono::steady_clock::now() + SPIN;
        for (unsigned spins = 1;; ++spins) {
            const std::uint32_t now = value.load(std::memory_order_acquire);
            if (now != old) {
                return now;
            }
            if (spins % 64 == 0 && std::chrono::steady_clock::now() > give_up) {
                break;
            }
            pause();
        }
        value.wait(old, std::memory_order_acquire);
        return value.load(std::memory_order_acquire);
    }

    static void pause() noexcept {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#elif defined(__aarch64__)
        asm volatile("yield");
#endif
    }

    void help(std::size_t part) noexcept {
        (void)std::current_exception();
        ready_.count_down();
        std::uint32_t seen = 0;
        for (;;) {
            const std::uint32_t round = wait_for_change(published_, seen);
            if (round == FINISHED) {
                return;
            }
            seen = round;
            take_chunks(round, part, [] { return false; });
        }
    }

    // Claims the next chunk of `round` while it is the round on offer: a
    // part still at an earlier round claims nothing of a later one.
    template <class Stop>
    void take_chunks(std::uint32_t round, std::size_t part, Stop&& stop) noexcept {
        std::uint64_t claim = claim_.load(std::memory_order_acquire);
        while ((claim >> 32) == round) {
            if (!claim_.compare_exchange_weak(claim, claim + 1, std::memory_order_acq_rel)) {
                continue;
            }
            // Read after the claim: the count of the round claimed.
            const std::size_t count = counts_[round & 1].load(std::memory_order_relaxed);
            const std::size_t begin = static_cast<std::uint32_t>(claim) * chunk_;
            if (begin >= count) {
                return;
            }
            const std::size_t end = std::min(count, begin + chunk_);
            if (!stopped_.load(std::memory_order_relaxed)) {
                if (stop()) {
                    stopped_.store(true, std::memory_order_release);
                } else {
                    try {
                        work_(round, begin, end, part);
                    } catch (...) {
                        faults_[part] = std::current_exception();
                        stopped_.store(true, std::memory_order_release);
                    }
                }
            }
            done_[round & 1].fetch_add(static_cast<std::uint32_t>(end - begin), std::memory_order_release);
            done_[round & 1].notify_all();
            claim = claim_.load(std::memory_order_acquire);
        }
    }

    const std::size_t chunk_;
    Work& work_;
    std::vector<std::exception_ptr> faults_;
    std::vector<std::thread> threads_;
    std::latch ready_;
    // The round on offer (high half) and its next chunk (low half).
    std::atomic<std::uint64_t> claim_{0};
    std::atomic<std::uint32_t> published_{0};
    std::atomic<std::uint32_t> counts_[2]{};
    std::atomic<std::uint32_t> done_[2]{};
    std::atomic<bool> stopped_{false};
};

}  // namespace lookup
