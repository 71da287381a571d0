#include "child_index.h"

#include <bit>
#include <cstring>

#include "ascii_words.h"
#include "find_child.h"

namespace lookup {
namespace {

constexpr std::size_t FIRST_STATES = 64;

std::uint64_t load_word(const unsigned char* at) noexcept { return ascii_words::load(at); }

std::uint32_t load_half(const unsigned char* at) noexcept {
    std::uint32_t half;
    std::memcpy(&half, at, sizeof half);
    return half;
}

// A label as the index compares it: its first eight bytes, zero-padded, and
// its last eight (0 for a label of eight bytes or fewer). Read without a loop
// and without reading beyond the label.
struct LabelKey {
    std::uint64_t head;
    std::uint64_t tail;
};

LabelKey key_of(std::string_view label) noexcept {
    const auto* bytes = reinterpret_cast<const unsigned char*>(label.data());
    const std::size_t size = label.size();
    if (size >= 8) {
        return {load_word(bytes), size > 8 ? load_word(bytes + size - 8) : 0};
    }
    if (size >= 4) {
        // Two overlapping halves: the overlap holds the same bytes in both.
        return {load_half(bytes) | (std::uint64_t{load_half(bytes + size - 4)} << (8 * (size - 4))), 0};
    }
    if (size > 0) {
        return {bytes[0] | (std::uint64_t{bytes[size / 2]} << (8 * (size / 2))) |
                    (std::uint64_t{bytes[size - 1]} << (8 * (size - 1))),
                0};
    }
    return {0, 0};
}

// The first slot of a label's search: one multiply, its top bits.
std::size_t first_slot(const LabelKey& key, std::size_t size, unsigned shift) noexcept {
    return static_cast<std::size_t>(((key.head ^ (key.tail * 0xC2B2AE3D27D4EB4Fu) ^ size) * 0x9E3779B97F4A7C15u) >> shift);
}

std::size_t node_slot(std::uint32_t node, std::size_t mask) noexcept {
    return static_cast<std::size_t>((std::uint64_t{node} * 0x9E3779B97F4A7C15u) >> 40) & mask;
}

std::uint32_t room_for(std::uint32_t edges) noexcept {
    std::uint32_t size = 4;
    while (size < 2 * edges) {
        size *= 2;
    }
    return size;
}

}  // namespace

std::uint32_t ChildIndex::find_child(std::uint32_t node, std::string_view label) {
    const Node& entry = table_.nodes[node];
    if (entry.edge_count < MIN_EDGES) {
        return lookup::find_child(table_, node, label);
    }
    NodeState& state = node == 0 ? root_ : state_of(node);
    if (state.slots == nullptr) {
        if (!state.indexable || ++state.visits < entry.edge_count) {
            return lookup::find_child(table_, node, label);
        }
        index_children(state, entry);
        if (state.slots == nullptr) {
            return lookup::find_child(table_, node, label);
        }
    }
    return search_index(state, label);
}

std::size_t ChildIndex::indexed_nodes() const noexcept {
    std::size_t count = root_.slots != nullptr;
    for (const NodeState& state : states_) {
        count += state.node != NO_NODE && state.slots != nullptr;
    }
    return count;
}

ChildIndex::NodeState& ChildIndex::state_of(std::uint32_t node) {
    if (!states_.empty()) {
        const std::size_t mask = states_.size() - 1;
        for (std::size_t slot = node_slot(node, mask);; slot = (slot + 1) & mask) {
            if (states_[slot].node == node) {
                return states_[slot];
            }
            if (states_[slot].node == NO_NODE) {
                break;
            }
        }
    }
    // A new node; at most half the states in use, so that a search soon
    // meets a free one.
    if (2 * (state_count_ + 1) > states_.size()) {
        std::vector<NodeState> old(states_.empty() ? FIRST_STATES : 2 * states_.size(),
                                   NodeState{NO_NODE, 0, nullptr, 0, 0, true});
        old.swap(states_);
        for (const NodeState& moved : old) {
            if (moved.node != NO_NODE) {
                std::size_t slot = node_slot(moved.node, states_.size() - 1);
                while (states_[slot].node != NO_NODE) {
                    slot = (slot + 1) & (states_.size() - 1);
                }
                states_[slot] = moved;
            }
        }
    }
    const std::size_t mask = states_.size() - 1;
    std::size_t slot = node_slot(node, mask);
    while (states_[slot].node != NO_NODE) {
        slot = (slot + 1) & mask;
    }
    states_[slot].node = node;
    ++state_count_;
    return states_[slot];
}

void ChildIndex::index_children(NodeState& state, const Node& entry) {
    if (!run_is_sound_and_sorted(table_, state.node)) {
        state.indexable = false;
        return;
    }
    const std::uint32_t size = room_for(entry.edge_count);
    slot_runs_.reserve(slot_runs_.size() + 1);
    slot_runs_.push_back(std::make_unique<Slot[]>(size));  // zeroed: every slot free
    Slot* slots = slot_runs_.back().get();
    const Edge* edges = table_.edges.data() + entry.first_edge;
    const std::uint32_t mask = size - 1;
    const auto shift = static_cast<unsigned>(64 - std::countr_zero(size));
    for (std::uint32_t i = 0; i < entry.edge_count; ++i) {
        const std::uint32_t label_size = edges[i].label_end - edges[i].label_start;
        if (label_size == UINT32_MAX) {  // a label of 4 GiB: its size plus one would be 0
            slot_runs_.pop_back();
            state.indexable = false;
            return;
        }
        const LabelKey key = key_of(table_.label_pool.substr(edges[i].label_start, label_size));
        std::size_t slot = first_slot(key, label_size, shift);
        while (slots[slot].size_plus_one != 0) {
            slot = (slot + 1) & mask;
        }
        slots[slot] = Slot{key.head, edges[i].label_start, label_size + 1, edges[i].target};
    }
    state.slots = slots;
    state.mask = mask;
    state.shift = shift;
}

std::uint32_t ChildIndex::search_index(const NodeState& state, std::string_view label) const noexcept {
    const LabelKey key = key_of(label);
    const std::size_t size = label.size();
    for (std::size_t slot = first_slot(key, size, state.shift);; slot = (slot + 1) & state.mask) {
        const Slot& entry = state.slots[slot];
        if (entry.size_plus_one == 0) {
            return NO_NODE;
        }
        if (entry.head == key.head && entry.size_plus_one - 1 == size &&
            (size <= 8 || std::memcmp(table_.label_pool.data() + entry.start + 8, label.data() + 8, size - 8) == 0)) {
            return entry.target < 0 ? NO_NODE : static_cast<std::uint32_t>(entry.target);
        }
    }
}

}  // namespace lookup
