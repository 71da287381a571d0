// The walk down the trie that match_suffix makes: the pieces that the
// binary search's walk (match_suffix.cpp) and the child index's
// (match_indexed.cpp) share. Internal to the engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ascii_words.h"
#include "dot_bits.h"
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

// The start of the walk's label that ends at `label_end`: from the domain's
// `dot_bits` when they were noted, else looked for
// eight bytes at a time (BY_WORDS, whose branch is predicted where a byte
// loop's exit is not: the bulk path) or byte by byte (fewer instructions: the
// module's per-call path).
template <bool BY_WORDS>
inline const char* label_start_of(const char* begin, const char* label_end, const std::uint64_t* dot_bits) noexcept {
    if (dot_bits != nullptr) {
        return begin + dot_bits::label_start_before(*dot_bits, static_cast<std::size_t>(label_end - begin));
    }
    if constexpr (BY_WORDS) {
        return label_start_before(begin, label_end);
    }
    const char* start = label_end;
    while (start != begin && start[-1] != '.') {
        --start;
    }
    return start;
}

// The answer so far: the suffix label count of the longest rule matched.
struct Outcome {
    std::size_t suffix_labels = 0;
    bool matched = false;
};

// Takes the rule `kind` (one 3-bit field of Node::flags) of the node that the
// walk's label `i` reached; true when the walk ends there. Kinds are tested in
// the order exception, wildcard, plain. A matching exception prevails over
// every other rule, those below it included, so the walk ends there.
inline bool take_rule(unsigned kind, std::size_t i, std::size_t label_count, Outcome& outcome) noexcept {
    if ((kind & FLAG_EXCEPTION) != 0) {
        outcome = {i, true};
        return true;
    }
    if ((kind & FLAG_WILDCARD) != 0) {
        // The label in the wildcard's place belongs to the suffix, when there is one.
        outcome = {i + 1 < label_count ? i + 2 : i + 1, true};
    } else if ((kind & FLAG_RULE) != 0) {
        outcome = {i + 1, true};
    }
    return false;
}

inline std::size_t answer_of(const Outcome& outcome, bool accept_unknown) noexcept {
    if (outcome.matched) {
        return outcome.suffix_labels;
    }
    return accept_unknown ? 1 : 0;
}

// The walk, with `child_of(table, node, label)` as its one step down (the
// binary search: the module's per-call path, which splits labels byte by
// byte where no dots were noted).
template <class ChildOf>
inline std::size_t walk(const SuffixTable& table, std::string_view lowered, std::size_t label_count,
                        const std::uint64_t* dot_bits, bool accept_unknown, bool icann_only, ChildOf child_of) {
    if (table.nodes.empty()) {
        node_fault(0);
    }
    const unsigned shift = icann_only ? ICANN_SHIFT : 0;
    const char* const begin = lowered.data();
    const char* label_end = begin + lowered.size();
    std::uint32_t node = 0;
    Outcome outcome;

    // Labels are split off from the right only as far as the walk goes.
    for (std::size_t i = 0;; ++i) {
        const char* label_start = label_start_of<false>(begin, label_end, dot_bits);
        const std::uint32_t child =
            child_of(table, node, std::string_view(label_start, static_cast<std::size_t>(label_end - label_start)));
        if (child == NO_NODE) {
            break;
        }
        if (child >= table.nodes.size()) {
            node_fault(child);
        }
        if (take_rule(static_cast<unsigned>(table.nodes[child].flags) >> shift, i, label_count, outcome)) {
            break;
        }
        node = child;
        if (label_start == begin) {
            break;
        }
        label_end = label_start - 1;
    }
    return answer_of(outcome, accept_unknown);
}

}  // namespace lookup::trie_walk
