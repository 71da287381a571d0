// The one hash table mechanism of the tree: open addressing with linear
// probing over a power of two of slots. IdIndex holds 32-bit ids whose keys
// live elsewhere (in the ids' own records), growing at three quarters load,
// with no removal: the builder's label and child lookups and the batch
// calls' shared answers use it instead of node-based maps, which allocate
// once per entry. The child index lays its frozen slots out with the same
// probe (child_index.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lookup {

namespace linear_probe {

// The first slot, from `home` on and wrapping round a table of `mask + 1`
// slots, at which `stop(slot)` holds; the caller makes sure that one does.
template <class Stop>
inline std::size_t first_where(std::size_t home, std::size_t mask, Stop stop) {
    std::size_t slot = home & mask;
    while (!stop(slot)) {
        slot = (slot + 1) & mask;
    }
    return slot;
}

}  // namespace linear_probe

class IdIndex {
public:
    static constexpr std::uint32_t NONE = UINT32_MAX;

    explicit IdIndex(std::size_t expected) : slots_(capacity_for(expected)) {}

    // The id stored under `hash` for which `matches(id)` holds, or NONE.
    template <class Matches>
    std::uint32_t find(std::uint32_t hash, Matches matches) const {
        const std::size_t slot = linear_probe::first_where(hash, slots_.size() - 1, [&](std::size_t i) {
            return slots_[i].id == NONE || (slots_[i].hash == hash && matches(slots_[i].id));
        });
        return slots_[slot].id;
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
        slots_[linear_probe::first_where(entry.hash, slots_.size() - 1,
                                         [&](std::size_t i) { return slots_[i].id == NONE; })] = entry;
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

}  // namespace lookup
