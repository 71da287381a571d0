// The walk down the trie that match_suffix makes, with the step down as a
// parameter: the binary search, or the child index's probe. Internal to the
// engine's match_suffix.cpp and match_indexed.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ascii_words.h"
#include "fault.h"
#include "find_child.h"
#include "suffix_table.h"

namespace lookup::trie_walk {

[[noreturn, gnu::noinline]] inline void node_fault(std::uint32_t node) {
    throw Fault("node " + std::to_string(node) + " lies beyond the node table");
}

// The start of the label that ends at `end`: just after the last dot
// before it, or `begin`. Eight bytes at a time, so that most labels take one
// load and one well-predicted branch; a text shorter than a word byte by byte.
inline const char* label_start_before(const char* begin, const char* end) noexcept {
    using namespace ascii_words;
    const auto word_at = [](const char* at) { return load(reinterpret_cast<const unsigned char*>(at)); };
    const char* at = end;
    for (; at - begin >= 8; at -= 8) {
        const std::uint64_t marks = dots_in_any(word_at(at - 8));
        if (marks != 0) {
            return at - 8 + last_marked_byte(marks) + 1;
        }
    }
    if (end - begin >= 8) {
        // The rest, in the text's first word; its later bytes were looked at.
        const std::uint64_t marks = dots_in_any(word_at(begin)) & first_bytes(static_cast<std::size_t>(at - begin));
        return marks != 0 ? begin + last_marked_byte(marks) + 1 : begin;
    }
    const char* start = end;
    while (start != begin && start[-1] != '.') {
        --start;
    }
    return start;
}

// The walk, with `child_of(table, node, label)` as its one step down. With
// BY_WORDS, labels are split off by label_start_before, whose branch is
// predicted where a byte loop's exit is not (the bulk path); without, byte by
// byte, which takes fewer instructions (the module's per-call path).
template <bool BY_WORDS, class ChildOf>
inline std::size_t walk(const SuffixTable& table, std::string_view lowered, std::size_t label_count, bool accept_unknown,
                 bool icann_only, ChildOf child_of) {
    if (table.nodes.empty()) {
        node_fault(0);
    }
    const unsigned shift = icann_only ? ICANN_SHIFT : 0;
    const char* const begin = lowered.data();
    const char* label_end = begin + lowered.size();
    std::uint32_t node = 0;
    std::size_t result = 0;
    bool matched = false;

    // Labels are split off from the right only as far as the walk goes.
    for (std::size_t i = 0;; ++i) {
        const char* label_start = label_end;
        if constexpr (BY_WORDS) {
            label_start = label_start_before(begin, label_end);
        } else {
            while (label_start != begin && label_start[-1] != '.') {
                --label_start;
            }
        }
        const std::uint32_t child =
            child_of(table, node, std::string_view(label_start, static_cast<std::size_t>(label_end - label_start)));
        if (child == NO_NODE) {
            break;
        }
        if (child >= table.nodes.size()) {
            node_fault(child);
        }
        const unsigned kind = static_cast<unsigned>(table.nodes[child].flags) >> shift;
        // Kinds are tested in the order exception, wildcard, plain. A matching
        // exception prevails over every other rule, those below it included,
        // so the walk ends there.
        if ((kind & FLAG_EXCEPTION) != 0) {
            return i;
        }
        if ((kind & FLAG_WILDCARD) != 0) {
            // The label in the wildcard's place belongs to the suffix, when there is one.
            result = i + 1 < label_count ? i + 2 : i + 1;
            matched = true;
        } else if ((kind & FLAG_RULE) != 0) {
            result = i + 1;
            matched = true;
        }
        node = child;
        if (label_start == begin) {
            break;
        }
        label_end = label_start - 1;
    }

    if (matched) {
        return result;
    }
    return accept_unknown ? 1 : 0;
}

}  // namespace lookup::trie_walk
