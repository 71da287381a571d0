#include "lowered_text.h"

#include <cstring>

namespace lookup {

LoweredText::LoweredText(LoweredText&& other) noexcept { *this = static_cast<LoweredText&&>(other); }

// Takes over the heap block, or copies the inline bytes; `other` is left
// empty and inline, as if new.
LoweredText& LoweredText::operator=(LoweredText&& other) noexcept {
    if (this == &other) {
        return *this;
    }
    delete[] heap_;
    heap_ = other.heap_;
    capacity_ = other.capacity_;
    size_ = other.size_;
    if (heap_ == nullptr && size_ != 0) {
        std::memcpy(inline_, other.inline_, size_);
    }
    other.heap_ = nullptr;
    other.capacity_ = 0;
    other.size_ = 0;
    return *this;
}

void LoweredText::reserve(std::size_t capacity) {
    if (capacity <= this->capacity()) {
        return;
    }
    char* grown = new char[capacity];
    if (size_ != 0) {
        std::memcpy(grown, data(), size_);
    }
    delete[] heap_;
    heap_ = grown;
    capacity_ = capacity;
}

}  // namespace lookup
