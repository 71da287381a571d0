// The working trie of rules and its lowering into the three flat arrays of
// the compiled table (breadth-first node numbering, shared label pool).
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "id_index.h"
#include "rule.h"
#include "suffix_table.h"

namespace builder {

using lookup::IdIndex;

// Field widths of the compiled table. Tests lower them to reach the checks
// with small lists.
struct Limits {
    std::size_t max_edge_count = std::numeric_limits<std::uint16_t>::max();
    // Targets are signed 32-bit node numbers.
    std::size_t max_nodes = std::size_t{std::numeric_limits<std::int32_t>::max()} + 1;
    // Label ranges are unsigned 32-bit offsets into the pool.
    std::size_t max_pool_bytes = std::numeric_limits<std::uint32_t>::max();
};

// What the figures need to know about a node beyond its table entry.
struct NodeInfo {
    std::uint32_t depth;  // labels in the node's name; 0 for the root
    bool alias;           // reached only through the "xn--" twin of some rule
    bool written;         // a rule of the file, in its own form, is recorded here
};

struct CompiledTable {
    std::string pool;
    std::vector<lookup::Node> nodes;
    std::vector<lookup::Edge> edges;
    std::vector<std::uint32_t> heads;  // label_head of each edge's label, indexed like edges
    std::vector<NodeInfo> info;        // indexed like nodes
    std::size_t distinct_labels = 0;

    // The table as the matcher reads it; valid while this object lives.
    lookup::SuffixTable view(std::string_view checksum = {}) const {
        return lookup::SuffixTable{pool, nodes, edges, checksum, heads};
    }
};

// Rules entered one by one (with the "xn--" twins of those with non-ASCII
// labels), then numbered, packed and flagged by compile().
class WorkTrie final : public RuleSink {
public:
    // `expected_nodes` only sizes the first allocations.
    explicit WorkTrie(const Limits& limits, std::size_t expected_nodes = 0);

    // Throws BuildError when the table would not fit the limits or a label
    // cannot be Punycode-encoded.
    void add(const RuleText& rule) override;

    // The table; `with_info` adds the NodeInfo that only the figures read.
    CompiledTable compile(bool with_info = true) const;

private:
    struct WorkNode {
        std::uint32_t parent;
        std::uint32_t label;  // id of the edge label that leads here
        std::uint32_t children = 0;
        std::uint8_t icann_kind = 0;
        std::uint8_t private_kind = 0;
        bool on_written_path : 1 = false;
        bool on_alias_path : 1 = false;
        bool written : 1 = false;
    };
    struct LabelRef {
        std::uint32_t offset;  // in text_
        std::uint32_t size;
    };
    // The nodes along the last name entered, rightmost label first. Lists
    // are grouped by top-level label, so most names share their right-hand
    // labels with the one before and walk them here without a lookup.
    struct LastPath {
        std::string name;
        std::vector<std::uint32_t> label_starts;  // counted back from the end of name
        std::vector<std::uint32_t> nodes;
    };

    void enter_name(const RuleText& rule, std::string_view name, bool alias);
    std::uint32_t child(std::uint32_t parent, std::string_view label, Origin origin);
    std::string_view label_text(std::uint32_t id) const { return {text_.data() + labels_[id].offset, labels_[id].size}; }
    std::vector<std::uint32_t> depths() const;

    Limits limits_;
    std::vector<WorkNode> nodes_;
    std::string text_;               // every distinct label once
    std::vector<LabelRef> labels_;
    IdIndex label_index_;            // label text -> label id
    IdIndex child_index_;            // (parent, label id) -> node
    LastPath last_;
    std::string alias_;              // the "xn--" twin being entered
};

}  // namespace builder
