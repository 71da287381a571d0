#include "progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace cli {
namespace {

// 1234567 -> "1,234,567": a count read at a glance.
std::string grouped(std::uint64_t value) {
    std::string digits = std::to_string(value);
    for (std::size_t at = digits.size(); at > 3; at -= 3) {
        digits.insert(at - 3, ",");
    }
    return digits;
}

std::string size_text(std::uint64_t bytes) {
    constexpr std::string_view UNITS[] = {"bytes", "kB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes);
    std::size_t unit = 0;
    while (value >= 1000 && unit + 1 < std::size(UNITS)) {
        value /= 1000;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", value, std::string(UNITS[unit]).c_str());
    return text;
}

void write_all(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written <= 0) {
            return;  // a progress line is not worth failing or waiting for
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

}  // namespace

std::string progress_line(std::uint64_t lines, std::uint64_t bytes, std::optional<std::uint64_t> total_bytes,
                          double seconds) {
    const auto per_second = seconds > 0 ? static_cast<std::uint64_t>(static_cast<double>(lines) / seconds) : 0;
    std::string line = grouped(lines) + (lines == 1 ? " line, " : " lines, ") + grouped(per_second) + " lines/s";
    if (total_bytes && *total_bytes > 0) {
        const auto percent = std::min<std::uint64_t>(100, bytes * 100 / *total_bytes);
        line += ", " + std::to_string(percent) + "% of " + size_text(*total_bytes) + " read";
    }
    return line;
}

ProgressReporter::ProgressReporter(const ProgressCounts& counts, std::optional<std::uint64_t> total_bytes, int fd,
                                   std::chrono::milliseconds interval)
    : counts_(counts), total_bytes_(total_bytes), fd_(fd), interval_(interval),
      thread_([this] { report_until_stopped(); }) {}

ProgressReporter::~ProgressReporter() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void ProgressReporter::report_until_stopped() {
    std::unique_lock lock(mutex_);
    bool shown = false;
    while (!wake_.wait_for(lock, interval_, [this] { return stop_; })) {
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
        // Carriage return, the line, then erase what a longer last one left.
        write_all(fd_, "\r" + progress_line(counts_.lines.load(std::memory_order_relaxed),
                                            counts_.bytes.load(std::memory_order_relaxed), total_bytes_,
                                            elapsed.count()) + "\x1b[K");
        shown = true;
    }
    if (shown) {
        write_all(fd_, "\r\x1b[K");
    }
}

}  // namespace cli
