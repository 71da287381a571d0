#include "trie.h"

#include <algorithm>
#include <functional>

#include "build_error.h"
#include "punycode.h"
#include "utf8.h"

namespace builder {
namespace {

// Several rules on one node keep the strongest kind: exception, then
// wildcard, then plain (the flag values rank them that way). The walk tests
// the kinds in that order, an exception prevailing and a wildcard reaching
// one label further than a plain rule, so the strongest answers as all of
// them together would.
std::uint8_t stronger(std::uint8_t a, std::uint8_t b) {
    return std::max(a, b);
}


std::uint32_t hash_text(std::string_view text) {
    return static_cast<std::uint32_t>(std::hash<std::string_view>{}(text));
}

std::uint32_t hash_child(std::uint32_t parent, std::uint32_t label) {
    const std::uint64_t key = (std::uint64_t{parent} << 32 | label) * 0x9E3779B97F4A7C15ULL;
    return static_cast<std::uint32_t>(key >> 32);
}

// The ICANN field is what the ICANN section says about the node, the
// full-list field what both sections say: the stronger of the two kinds, so
// that a private rule on a name of the ICANN section (a wildcard under a
// plain rule, say) counts in the full view as any rule of the list does,
// and the ICANN view keeps its own. The field differs from the ICANN one
// only for such a clash, which the list compiled in does not have.
std::uint8_t flags_of(std::uint8_t icann_kind, std::uint8_t private_kind) {
    return static_cast<std::uint8_t>(stronger(icann_kind, private_kind) | (icann_kind << lookup::ICANN_SHIFT));
}

// The "xn--" twin of a dotted name: each non-ASCII label replaced by its
// Punycode form.
void alias_of(std::string_view name, Origin origin, std::string& out) {
    out.clear();
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = name.find('.', start);
        const std::string_view label = name.substr(start, dot == std::string_view::npos ? name.npos : dot - start);
        if (!out.empty()) {
            out += '.';
        }
        if (lookup::utf8::is_ascii(label)) {
            out += label;
        } else {
            const auto code_points = lookup::utf8::decode_strict(label);
            const auto encoded = code_points ? punycode_encode(*code_points) : std::nullopt;
            if (!encoded) {
                throw BuildError(origin, "label \"" + std::string(label) + "\" cannot be Punycode-encoded");
            }
            out.append("xn--").append(*encoded);
        }
        if (dot == std::string_view::npos) {
            return;
        }
        start = dot + 1;
    }
}

}  // namespace

WorkTrie::WorkTrie(const Limits& limits, std::size_t expected_nodes)
    // About two labels in three are new where a node is.
    : limits_(limits), label_index_(expected_nodes * 2 / 3), child_index_(expected_nodes) {
    nodes_.reserve(expected_nodes + 1);
    nodes_.push_back(WorkNode{0, IdIndex::NONE});
    labels_.reserve(expected_nodes * 2 / 3);
    text_.reserve(expected_nodes * 5);  // labels average under 8 bytes
}

void WorkTrie::add(const RuleText& rule) {
    enter_name(rule, rule.base, false);
    if (!lookup::utf8::is_ascii(rule.base)) {
        alias_of(rule.base, rule.origin, alias_);
        enter_name(rule, alias_, true);
    }
}

void WorkTrie::enter_name(const RuleText& rule, std::string_view name, bool alias) {
    // Labels from the right; those that the last name had in the same places
    // lead to the same nodes.
    const std::string_view last = last_.name;
    std::size_t shared = 0;
    std::uint32_t node = 0;
    std::size_t end = name.size();
    for (std::size_t depth = 0;; ++depth) {
        const std::size_t dot = name.rfind('.', end - 1);
        const std::size_t start = dot == std::string_view::npos ? 0 : dot + 1;
        const std::string_view label = name.substr(start, end - start);
        // Offsets from the end of the name stay put for shared right-hand labels.
        const auto from_end = static_cast<std::uint32_t>(name.size() - start);
        if (shared == depth && depth < last_.nodes.size()) {
            const std::size_t last_from_end = last_.label_starts[depth];
            const std::size_t last_size = last_from_end - (depth == 0 ? 0 : last_.label_starts[depth - 1] + 1);
            if (last.substr(last.size() - last_from_end, last_size) == label) {
                node = last_.nodes[depth];
                ++shared;
            }
        }
        if (shared <= depth) {
            node = child(node, label, rule.origin);
            last_.nodes.resize(depth);
            last_.nodes.push_back(node);
            last_.label_starts.resize(depth);
            last_.label_starts.push_back(from_end);
        }
        if (alias) {
            nodes_[node].on_alias_path = true;
        } else {
            nodes_[node].on_written_path = true;
        }
        if (dot == std::string_view::npos) {
            last_.nodes.resize(depth + 1);
            last_.label_starts.resize(depth + 1);
            break;
        }
        end = dot;
    }
    last_.name.assign(name);
    WorkNode& target = nodes_[node];
    std::uint8_t& field = rule.section == Section::icann ? target.icann_kind : target.private_kind;
    field = stronger(field, rule.kind);
    if (!alias) {
        target.written = true;
    }
}

std::uint32_t WorkTrie::child(std::uint32_t parent, std::string_view label, Origin origin) {
    const std::uint32_t label_hash = hash_text(label);
    std::uint32_t label_id =
        label_index_.find(label_hash, [&](std::uint32_t id) { return label_text(id) == label; });
    if (label_id != IdIndex::NONE) {
        const std::uint32_t hash = hash_child(parent, label_id);
        const std::uint32_t found = child_index_.find(
            hash, [&](std::uint32_t id) { return nodes_[id].parent == parent && nodes_[id].label == label_id; });
        if (found != IdIndex::NONE) {
            return found;
        }
    }
    if (nodes_[parent].children >= limits_.max_edge_count) {
        throw BuildError(origin, "more than " + std::to_string(limits_.max_edge_count) +
                                     " labels under one name; the edge count would not fit its field");
    }
    if (nodes_.size() >= limits_.max_nodes) {
        throw BuildError(origin, "more than " + std::to_string(limits_.max_nodes) +
                                     " nodes; node numbers would not fit their field");
    }
    if (label_id == IdIndex::NONE) {
        if (text_.size() + label.size() > limits_.max_pool_bytes) {
            throw BuildError(origin, "labels exceed " + std::to_string(limits_.max_pool_bytes) +
                                         " bytes; pool offsets would not fit their field");
        }
        label_id = static_cast<std::uint32_t>(labels_.size());
        labels_.push_back(LabelRef{static_cast<std::uint32_t>(text_.size()), static_cast<std::uint32_t>(label.size())});
        text_ += label;
        label_index_.insert(label_hash, label_id);
    }
    const auto number = static_cast<std::uint32_t>(nodes_.size());
    nodes_.push_back(WorkNode{parent, label_id});
    ++nodes_[parent].children;
    child_index_.insert(hash_child(parent, label_id), number);
    return number;
}

std::vector<std::uint32_t> WorkTrie::depths() const {
    // A node is created after its parent, so one pass in creation order.
    std::vector<std::uint32_t> depth(nodes_.size(), 0);
    for (std::size_t i = 1; i < nodes_.size(); ++i) {
        depth[i] = depth[nodes_[i].parent] + 1;
    }
    return depth;
}

CompiledTable WorkTrie::compile(bool with_info) const {
    const std::size_t count = nodes_.size();
    // Each node's children, grouped by parent and sorted by label bytes
    // (std::string_view compares as unsigned bytes, a prefix first): the
    // group of node i is [first_child[i], first_child[i + 1]).
    std::vector<std::uint32_t> first_child(count + 1, 0);
    for (std::size_t i = 1; i < count; ++i) {
        ++first_child[nodes_[i].parent];
    }
    std::uint32_t total = 0;
    for (std::size_t i = 0; i <= count; ++i) {
        total += first_child[i];
        first_child[i] = total;  // for now, the end of node i's group
    }
    std::vector<std::uint32_t> children(count - 1);
    for (std::size_t i = count; i-- > 1;) {
        children[--first_child[nodes_[i].parent]] = static_cast<std::uint32_t>(i);
    }
    for (std::size_t i = 0; i < count; ++i) {
        std::sort(children.begin() + first_child[i], children.begin() + first_child[i + 1],
                  [&](std::uint32_t a, std::uint32_t b) { return label_text(nodes_[a].label) < label_text(nodes_[b].label); });
    }

    CompiledTable table;
    table.nodes.reserve(count);
    table.edges.reserve(count - 1);
    table.heads.reserve(count - 1);
    table.pool.reserve(text_.size());
    const std::vector<std::uint32_t> depth = with_info ? depths() : std::vector<std::uint32_t>();
    if (with_info) {
        table.info.reserve(count);
    }
    // Pool offsets in order of first use along the edges.
    constexpr std::uint32_t UNPLACED = UINT32_MAX;
    std::vector<std::uint32_t> pool_start(labels_.size(), UNPLACED);

    // Breadth-first: a node's number is its position in `order`.
    std::vector<std::uint32_t> order;
    order.reserve(count);
    order.push_back(0);
    for (std::size_t number = 0; number < order.size(); ++number) {
        const std::uint32_t id = order[number];
        const WorkNode& work = nodes_[id];
        const std::uint32_t begin = first_child[id];
        const std::uint32_t end = first_child[id + 1];
        table.nodes.push_back({static_cast<std::uint32_t>(table.edges.size()), static_cast<std::uint16_t>(end - begin),
                               flags_of(work.icann_kind, work.private_kind)});
        if (with_info) {
            table.info.push_back({depth[id], work.on_alias_path && !work.on_written_path, work.written});
        }
        for (std::uint32_t c = begin; c < end; ++c) {
            const std::uint32_t child = children[c];
            const std::uint32_t label_id = nodes_[child].label;
            const std::string_view label = label_text(label_id);
            if (pool_start[label_id] == UNPLACED) {
                pool_start[label_id] = static_cast<std::uint32_t>(table.pool.size());
                table.pool += label;
            }
            const std::uint32_t start = pool_start[label_id];
            table.edges.push_back({start, start + static_cast<std::uint32_t>(label.size()), static_cast<std::int32_t>(order.size())});
            table.heads.push_back(lookup::label_head(label));
            order.push_back(child);
        }
    }
    table.distinct_labels = labels_.size();
    return table;
}

}  // namespace builder
