// The bytes of a batch: its lines as read, its rows as written. Like
// std::string but with its appends inlined and room made without zero-filling
// it: a row is a dozen small appends, a read fills 64 KiB, and at millions of
// lines a second both showed.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

namespace cli {

class ByteBuffer {
public:
    // Room for `count` more bytes at the end: write them, then advance().
    [[gnu::always_inline]] char* room(std::size_t count) {
        if (capacity_ - size_ < count) {
            grow(count);
        }
        return data_.get() + size_;
    }
    void advance(std::size_t count) noexcept { size_ += count; }
    [[gnu::always_inline]] void append(std::string_view text) {
        if (text.empty()) {
            return;  // no room may have been made yet: memcpy takes no null pointer
        }
        std::memcpy(room(text.size()), text.data(), text.size());
        size_ += text.size();
    }
    [[gnu::always_inline]] void push_back(char c) {
        *room(1) = c;
        ++size_;
    }
    void clear() noexcept { size_ = 0; }
    // Keeps the first `size` bytes (at most size()).
    void truncate(std::size_t size) noexcept { size_ = size; }
    const char* data() const noexcept { return data_.get(); }
    std::size_t size() const noexcept { return size_; }
    std::size_t capacity() const noexcept { return capacity_; }
    std::string_view view() const noexcept { return {data_.get(), size_}; }

private:
    [[gnu::noinline]] void grow(std::size_t count) {
        const std::size_t capacity = std::max(capacity_ * 2, size_ + count + 4096);
        auto data = std::make_unique_for_overwrite<char[]>(capacity);
        if (size_ != 0) {
            std::memcpy(data.get(), data_.get(), size_);
        }
        data_ = std::move(data);
        capacity_ = capacity;
    }

    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace cli
