#include "pipeline.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace cli {
namespace {

void answer_batch(const RowFormat& format, Batch& batch) {
    batch.out.clear();
    for (std::size_t i = 0; i < batch.lines.size(); ++i) {
        append_row(format, batch.line(i), batch.out);
    }
}

bool answer_alone(InputReader& reader, const RowFormat& format, Output& output) {
    Batch batch;
    while (reader.fill(batch)) {
        answer_batch(format, batch);
        if (!output.write(batch.out.view())) {
            return false;
        }
    }
    return true;
}

// Batches go round a ring of slots: the calling thread fills the free slot
// after the newest, workers answer queued slots in any order, and the calling
// thread writes the oldest slot once it is answered and frees it.
class Workers {
public:
    Workers(const RowFormat& format, unsigned jobs)
        : format_(format), slots_(2 * jobs + 2), budget_(slots_.size() * BATCH_BYTES) {
        // A thread that cannot be started (no memory for its stack, a
        // process limit) leaves the work to those that could, the calling
        // thread at least; the ones started must not be left joinable.
        try {
            threads_.reserve(jobs - 1);
            for (unsigned i = 1; i < jobs; ++i) {
                threads_.emplace_back([this] { work(); });
            }
        } catch (const std::exception&) {
            // std::system_error or std::bad_alloc: run with what there is.
        }
    }
    ~Workers() {
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        work_ready_.notify_all();
        for (std::thread& thread : threads_) {
            thread.join();
        }
    }
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    bool run(InputReader& reader, Output& output);

private:
    enum class State { free, queued, answered };
    // A cache line each: a worker appending rows to one slot and the reader
    // filling the next would otherwise keep taking the line of their
    // neighbouring sizes from each other.
    struct alignas(64) Slot {
        Batch batch;
        State state = State::free;
    };
    // A free slot keeps the room of an ordinary batch and its rows (JSON
    // rows of short names are about ten times their lines); one that held
    // long lines gives its memory back.
    static constexpr std::size_t KEPT_TEXT = 4 * BATCH_BYTES;
    static constexpr std::size_t KEPT_ROWS = 32 * BATCH_BYTES;

    void work();
    // Answers the oldest queued slot, the lock released meanwhile.
    void answer_queued(std::unique_lock<std::mutex>& lock);

    const RowFormat& format_;
    std::vector<Slot> slots_;
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable work_ready_;
    std::condition_variable answered_;
    std::deque<std::size_t> queue_;
    // Bytes of the lines of the slots that are not free: no slot is filled
    // while they reach budget_ (unless none is in flight), so that long
    // lines do not fill every slot at once; rows are a few times their lines.
    const std::size_t budget_;
    std::size_t in_flight_ = 0;
    bool stop_ = false;
    std::exception_ptr fault_;
};

bool Workers::run(InputReader& reader, Output& output) {
    std::uint64_t filled = 0;
    std::uint64_t written = 0;
    bool input_done = false;
    std::unique_lock lock(mutex_);
    while (!fault_) {
        Slot& oldest = slots_[written % slots_.size()];
        if (written < filled && oldest.state == State::answered) {
            lock.unlock();
            const bool ok = output.write(oldest.batch.out.view());
            const std::size_t held = oldest.batch.text.size();
            if (oldest.batch.text.capacity() > KEPT_TEXT || oldest.batch.out.capacity() > KEPT_ROWS) {
                oldest.batch = Batch();
            }
            lock.lock();
            in_flight_ -= held;
            oldest.state = State::free;
            ++written;
            if (!ok) {
                return false;
            }
        } else if (!input_done && filled - written < slots_.size() && (filled == written || in_flight_ < budget_)) {
            const std::size_t index = filled % slots_.size();
            lock.unlock();
            const bool more = reader.fill(slots_[index].batch);
            lock.lock();
            if (!more) {
                input_done = true;
                continue;
            }
            slots_[index].state = State::queued;
            in_flight_ += slots_[index].batch.text.size();
            queue_.push_back(index);
            ++filled;
            work_ready_.notify_one();
        } else if (input_done && written == filled) {
            return true;
        } else if (!queue_.empty()) {
            answer_queued(lock);
        } else {
            answered_.wait(lock);
        }
    }
    std::rethrow_exception(fault_);
}

void Workers::answer_queued(std::unique_lock<std::mutex>& lock) {
    const std::size_t index = queue_.front();
    queue_.pop_front();
    lock.unlock();
    std::exception_ptr fault;
    try {
        answer_batch(format_, slots_[index].batch);
    } catch (...) {
        fault = std::current_exception();
    }
    lock.lock();
    if (fault) {
        fault_ = fault;
    } else {
        slots_[index].state = State::answered;
    }
    answered_.notify_one();
}

void Workers::work() {
    std::unique_lock lock(mutex_);
    while (true) {
        work_ready_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (stop_) {
            return;
        }
        answer_queued(lock);
    }
}

}  // namespace

bool answer_all(InputReader& reader, const RowFormat& format, Output& output, unsigned jobs) {
    if (jobs <= 1) {
        return answer_alone(reader, format, output);
    }
    Workers workers(format, jobs);
    return workers.run(reader, output);
}

}  // namespace cli
