// --progress: how far a long run has got, on a terminal's standard error,
// rewritten in place about twice a second. The reader counts; a thread of
// its own reports, so that the answering threads never wait for a terminal.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace cli {

struct ProgressCounts {
    std::atomic<std::uint64_t> lines{0};
    std::atomic<std::uint64_t> bytes{0};  // read from files and standard input
};

// "12,345,678 lines, 2,345,678 lines/s, 42% of 1.2 GB read": the share only
// when the input's size is known (regular files alone).
std::string progress_line(std::uint64_t lines, std::uint64_t bytes, std::optional<std::uint64_t> total_bytes,
                          double seconds);

// Writes progress_line() to `fd` every `interval` while it lives, each over
// the last, and erases it when destroyed.
class ProgressReporter {
public:
    ProgressReporter(const ProgressCounts& counts, std::optional<std::uint64_t> total_bytes, int fd,
                     std::chrono::milliseconds interval);
    ~ProgressReporter();
    ProgressReporter(const ProgressReporter&) = delete;
    ProgressReporter& operator=(const ProgressReporter&) = delete;

private:
    void report_until_stopped();

    const ProgressCounts& counts_;
    std::optional<std::uint64_t> total_bytes_;
    int fd_;
    std::chrono::milliseconds interval_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace cli
