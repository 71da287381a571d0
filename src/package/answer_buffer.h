// The growing buffers that answers are written into: new room is left unset
// (as std::vector cannot), so that the buffers of the first part of a column
// can become the column's own, grown to the whole, with nothing copied or
// zeroed twice. Memory that a call touches for the first time costs a page
// fault per page, about as much as the lookups themselves.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>
#include <utility>

namespace lookup::arrow {

template <class T>
class AnswerBuffer {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    AnswerBuffer() noexcept = default;
    AnswerBuffer(AnswerBuffer&& other) noexcept
        : items_(std::move(other.items_)), size_(std::exchange(other.size_, 0)),
          capacity_(std::exchange(other.capacity_, 0)) {}
    AnswerBuffer& operator=(AnswerBuffer&& other) noexcept {
        items_ = std::move(other.items_);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
        return *this;
    }

    // Throws std::bad_alloc, as every growing member does.
    void reserve(std::size_t capacity) {
        if (capacity > capacity_) {
            reallocate(capacity);
        }
    }
    void push_back(T value) {
        if (size_ == capacity_) {
            reallocate(std::max<std::size_t>(2 * capacity_, 64));
        }
        items_[size_++] = value;
    }
    void append(const T* from, std::size_t count) {
        if (count > capacity_ - size_) {
            reallocate(std::max(size_ + count, 2 * capacity_));
        }
        if (count > 0) {
            std::memcpy(items_.get() + size_, from, count * sizeof(T));
        }
        size_ += count;
    }
    // `size` items in all; those past the old size are unset.
    void resize_for_overwrite(std::size_t size) {
        reserve(size);
        size_ = size;
    }

    T* data() noexcept { return items_.get(); }
    const T* data() const noexcept { return items_.get(); }
    std::size_t size() const noexcept { return size_; }
    T& operator[](std::size_t at) noexcept { return items_[at]; }
    T operator[](std::size_t at) const noexcept { return items_[at]; }

private:
    void reallocate(std::size_t capacity) {
        auto items = std::make_unique_for_overwrite<T[]>(capacity);
        if (size_ > 0) {
            std::memcpy(items.get(), items_.get(), size_ * sizeof(T));
        }
        items_ = std::move(items);
        capacity_ = capacity;
    }

    std::unique_ptr<T[]> items_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// Offsets of 32 or 64 bits, as the column's type asks.
class Offsets {
public:
    explicit Offsets(bool large = false) noexcept : large_(large) {}

    void reserve(std::size_t capacity) { large_ ? wide_.reserve(capacity) : narrow_.reserve(capacity); }
    // 32-bit values past INT32_MAX wrap: the join refuses such a column
    // before it is read.
    void push_back(std::int64_t value) {
        large_ ? wide_.push_back(value) : narrow_.push_back(static_cast<std::int32_t>(value));
    }
    void resize_for_overwrite(std::size_t size) {
        large_ ? wide_.resize_for_overwrite(size) : narrow_.resize_for_overwrite(size);
    }
    std::size_t size() const noexcept { return large_ ? wide_.size() : narrow_.size(); }
    std::int64_t get(std::size_t at) const noexcept { return large_ ? wide_[at] : narrow_[at]; }
    void set(std::size_t at, std::int64_t value) noexcept {
        if (large_) {
            wide_[at] = value;
        } else {
            narrow_[at] = static_cast<std::int32_t>(value);
        }
    }
    const void* data() const noexcept {
        return large_ ? static_cast<const void*>(wide_.data()) : static_cast<const void*>(narrow_.data());
    }

private:
    bool large_;
    AnswerBuffer<std::int32_t> narrow_;
    AnswerBuffer<std::int64_t> wide_;
};

}  // namespace lookup::arrow
