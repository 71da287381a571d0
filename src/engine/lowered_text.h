// The lowered text of one domain: bytes kept inline for short names, on the
// heap for long ones, so that most calls allocate nothing. Movable, not
// copyable; views into it stay valid until it is moved or destroyed.
#pragma once

#include <cstddef>
#include <string_view>

namespace lookup {

class LoweredText {
public:
    static constexpr std::size_t INLINE_CAPACITY = 256;

    LoweredText() noexcept = default;
    LoweredText(LoweredText&& other) noexcept;
    LoweredText& operator=(LoweredText&& other) noexcept;
    LoweredText(const LoweredText&) = delete;
    LoweredText& operator=(const LoweredText&) = delete;
    // Inline: most texts never leave the inline bytes, and the check costs less than a call.
    ~LoweredText() { delete[] heap_; }

    // Makes room for `capacity` bytes in all, keeping the first size() bytes.
    // Throws std::bad_alloc.
    void reserve(std::size_t capacity);
    char* data() noexcept { return heap_ != nullptr ? heap_ : inline_; }
    const char* data() const noexcept { return heap_ != nullptr ? heap_ : inline_; }
    std::size_t size() const noexcept { return size_; }
    std::size_t capacity() const noexcept { return heap_ != nullptr ? capacity_ : INLINE_CAPACITY; }
    void set_size(std::size_t size) noexcept { size_ = size; }
    std::string_view view() const noexcept { return {data(), size_}; }

private:
    char* heap_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t size_ = 0;
    char inline_[INLINE_CAPACITY];
};

}  // namespace lookup
