#include "match_suffix.h"

#include <string>

#include "ascii_words.h"
#include "child_index.h"
#include "fault.h"
#include "find_child.h"

namespace lookup {
namespace {

[[noreturn]] void node_fault(std::uint32_t node) {
    throw Fault("node " + std::to_string(node) + " lies beyond the node table");
}

// The start of the label that ends at `end`: just after the last dot before
// it, or `begin`. Eight bytes at a time while they last.
inline const char* label_start_before(const char* begin, const char* end) noexcept {
    const char* at = end;
    while (at - begin >= 8) {
        const std::uint64_t marks =
            ascii_words::dots_in_any(ascii_words::load(reinterpret_cast<const unsigned char*>(at - 8)));
        if (marks != 0) {
            return at - 8 + ascii_words::last_mark_offset(marks) + 1;
        }
        at -= 8;
    }
    while (at != begin && at[-1] != '.') {
        --at;
    }
    return at;
}

// The walk, with `child_of(table, node, label)` as its one step down.
template <class ChildOf>
std::size_t walk(const SuffixTable& table, std::string_view lowered, std::size_t label_count, bool accept_unknown,
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
        const char* const label_start = label_start_before(begin, label_end);
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

}  // namespace

std::size_t match_suffix(const SuffixTable& table, std::string_view lowered, std::size_t label_count,
                         bool accept_unknown, bool icann_only) {
    if (!table.index.empty()) {
        return walk(table, lowered, label_count, accept_unknown, icann_only,
                    [](const SuffixTable& searched, std::uint32_t node, std::string_view label) {
                        return find_child_indexed(searched, node, label);
                    });
    }
    return walk(table, lowered, label_count, accept_unknown, icann_only,
                [](const SuffixTable& searched, std::uint32_t node, std::string_view label) {
                    return find_child(searched, node, label);
                });
}

}  // namespace lookup
