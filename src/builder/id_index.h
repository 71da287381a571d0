// A hash index of 32-bit ids whose keys live elsewhere (in the ids' own
// records): open addressing with linear probing, growing at three quarters
// load, no removal. The builder's label and child lookups use it instead of node-based
// maps, which allocate once per entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace builder {

class IdIndex {
public:
    static constexpr std::uint32_t NONE = UINT32_MAX;

    explicit IdIndex(std::size_t expected) : slots_(capacity_for(expected)) {}

    // The id stored under `hash` for which `matches(id)` holds, or NONE.
    template <class Matches>
    std::uint32_t find(std::uint32_t hash, Matches matches) const {
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            const Slot& slot = slots_[i];
            if (slot.id == NONE) {
                return NONE;
            }
            if (slot.hash == hash && matches(slot.id)) {
                return slot.id;
            }
        }
    }

    // Stores `id` under `hash`; the caller has made sure that it is new.
    void insert(std::uint32_t hash, std::uint32_t id) {
        if (4 * (used_ + 1) > 3 * slots_.size()) {
            grow();
        }
        place(Slot{hash, id});
        ++used_;
    }

private:
    // Eight bytes: the index is read at random, so its size is its cost.
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t id = NONE;
    };

    static std::size_t capacity_for(std::size_t expected) {
        std::size_t capacity = 16;
        while (3 * capacity < 4 * expected) {
            capacity *= 2;
        }
        return capacity;
    }

    void place(const Slot& entry) {
        const std::size_t mask = slots_.size() - 1;
        std::size_t i = entry.hash & mask;
        while (slots_[i].id != NONE) {
            i = (i + 1) & mask;
        }
        slots_[i] = entry;
    }

    void grow() {
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        for (const Slot& entry : old) {
            if (entry.id != NONE) {
                place(entry);
            }
        }
    }

    std::vector<Slot> slots_;
    std::size_t used_ = 0;
};

}  // namespace builder
