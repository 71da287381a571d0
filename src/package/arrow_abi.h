// The Arrow C data interface: the three structs of its stable ABI, declared
// here as the interface asks of every implementation that does without the
// Arrow library, and a holder that releases a received struct exactly once.
#pragma once

#include <cstdint>
#include <cstring>

extern "C" {

#ifndef ARROW_C_DATA_INTERFACE
#define ARROW_C_DATA_INTERFACE

#define ARROW_FLAG_DICTIONARY_ORDERED 1
#define ARROW_FLAG_NULLABLE 2
#define ARROW_FLAG_MAP_KEYS_SORTED 4

struct ArrowSchema {
    const char* format;
    const char* name;
    const char* metadata;
    int64_t flags;
    int64_t n_children;
    struct ArrowSchema** children;
    struct ArrowSchema* dictionary;
    void (*release)(struct ArrowSchema*);
    void* private_data;
};

struct ArrowArray {
    int64_t length;
    int64_t null_count;
    int64_t offset;
    int64_t n_buffers;
    int64_t n_children;
    const void** buffers;
    struct ArrowArray** children;
    struct ArrowArray* dictionary;
    void (*release)(struct ArrowArray*);
    void* private_data;
};

#endif  // ARROW_C_DATA_INTERFACE

#ifndef ARROW_C_STREAM_INTERFACE
#define ARROW_C_STREAM_INTERFACE

struct ArrowArrayStream {
    int (*get_schema)(struct ArrowArrayStream*, struct ArrowSchema* out);
    int (*get_next)(struct ArrowArrayStream*, struct ArrowArray* out);
    const char* (*get_last_error)(struct ArrowArrayStream*);
    void (*release)(struct ArrowArrayStream*);
    void* private_data;
};

#endif  // ARROW_C_STREAM_INTERFACE
}

namespace lookup::arrow {

// A struct received from a producer (ArrowSchema, ArrowArray or
// ArrowArrayStream), moved into this holder and released when it goes,
// unless it was moved on or released already (release set to NULL).
template <class Struct>
class Owned {
public:
    Owned() noexcept { std::memset(&held_, 0, sizeof held_); }
    // Moves `source` in; the source is marked released, as the interface
    // has a moved struct.
    static Owned take(Struct* source) noexcept {
        Owned owned;
        std::memcpy(&owned.held_, source, sizeof(Struct));
        source->release = nullptr;
        return owned;
    }
    Owned(Owned&& other) noexcept : Owned() { other.move_to(&held_); }
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            reset();
            other.move_to(&held_);
        }
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { reset(); }

    Struct* get() noexcept { return &held_; }
    const Struct& operator*() const noexcept { return held_; }
    const Struct* operator->() const noexcept { return &held_; }
    bool live() const noexcept { return held_.release != nullptr; }

    // Hands the struct over to `target`, leaving this one released.
    void move_to(Struct* target) noexcept {
        std::memcpy(target, &held_, sizeof(Struct));
        held_.release = nullptr;
    }
    void reset() noexcept {
        if (held_.release != nullptr) {
            held_.release(&held_);
            held_.release = nullptr;
        }
    }

private:
    Struct held_;
};

using OwnedSchema = Owned<ArrowSchema>;
using OwnedArray = Owned<ArrowArray>;
using OwnedStream = Owned<ArrowArrayStream>;

}  // namespace lookup::arrow
