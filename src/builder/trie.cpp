#include "trie.h"

#include <algorithm>
#include <deque>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "build_error.h"
#include "punycode.h"
#include "utf8.h"

namespace builder {
namespace {

struct WorkNode {
    // std::string orders by unsigned bytes, the order of the edge runs.
    std::map<std::string, std::uint32_t> children;
    std::uint8_t icann_kind = 0;
    std::uint8_t private_kind = 0;
    bool on_written_path = false;
    bool on_alias_path = false;
    bool written = false;
};

// Two rules of one section on one node keep the strongest kind: exception,
// then wildcard, then plain. The flag values already rank them that way.
std::uint8_t stronger(std::uint8_t a, std::uint8_t b) {
    return std::max(a, b);
}

class WorkTrie {
public:
    explicit WorkTrie(const Limits& limits) : limits_(limits), nodes_(1) {}

    void enter(const Rule& rule) {
        enter_name(rule, rule.labels, false);
        if (!std::all_of(rule.labels.begin(), rule.labels.end(), [](const std::string& l) { return lookup::utf8::is_ascii(l); })) {
            enter_name(rule, alias_labels(rule), true);
        }
    }

    CompiledTable compile() const;

private:
    static std::vector<std::string> alias_labels(const Rule& rule) {
        std::vector<std::string> labels;
        for (const std::string& label : rule.labels) {
            if (lookup::utf8::is_ascii(label)) {
                labels.push_back(label);
                continue;
            }
            const auto code_points = lookup::utf8::decode_strict(label);
            const auto encoded = code_points ? punycode_encode(*code_points) : std::nullopt;
            if (!encoded) {
                throw BuildError(rule.line, "label \"" + label + "\" cannot be Punycode-encoded");
            }
            labels.push_back("xn--" + *encoded);
        }
        return labels;
    }

    void enter_name(const Rule& rule, const std::vector<std::string>& labels, bool alias) {
        std::uint32_t node = 0;
        for (auto label = labels.rbegin(); label != labels.rend(); ++label) {
            node = child(node, *label, rule.line);
            (alias ? nodes_[node].on_alias_path : nodes_[node].on_written_path) = true;
        }
        WorkNode& target = nodes_[node];
        std::uint8_t& field = rule.section == Section::icann ? target.icann_kind : target.private_kind;
        field = stronger(field, rule.kind);
        if (!alias) {
            target.written = true;
        }
    }

    std::uint32_t child(std::uint32_t parent, const std::string& label, std::size_t line) {
        const auto found = nodes_[parent].children.find(label);
        if (found != nodes_[parent].children.end()) {
            return found->second;
        }
        if (nodes_[parent].children.size() >= limits_.max_edge_count) {
            throw BuildError(line, "more than " + std::to_string(limits_.max_edge_count) +
                                       " labels under one name; the edge count would not fit its field");
        }
        if (nodes_.size() >= limits_.max_nodes) {
            throw BuildError(line, "more than " + std::to_string(limits_.max_nodes) +
                                       " nodes; node numbers would not fit their field");
        }
        if (labels_.insert(label).second) {
            pool_bytes_ += label.size();
            if (pool_bytes_ > limits_.max_pool_bytes) {
                throw BuildError(line, "labels exceed " + std::to_string(limits_.max_pool_bytes) +
                                           " bytes; pool offsets would not fit their field");
            }
        }
        const auto number = static_cast<std::uint32_t>(nodes_.size());
        nodes_.emplace_back();
        nodes_[parent].children.emplace(label, number);
        return number;
    }

    Limits limits_;
    std::vector<WorkNode> nodes_;
    std::unordered_set<std::string> labels_;
    std::size_t pool_bytes_ = 0;
};

// The ICANN field is what the ICANN section says about the node. A name in
// both sections is decided by its ICANN rule in the full-list view as well,
// so the ICANN field is never contradicted by the full-list field; the private
// rule for that name is dropped. Otherwise the private kind fills the
// full-list field alone.
std::uint8_t flags_of(const WorkNode& node) {
    const std::uint8_t full = node.icann_kind != 0 ? node.icann_kind : node.private_kind;
    return static_cast<std::uint8_t>(full | (node.icann_kind << lookup::ICANN_SHIFT));
}

CompiledTable WorkTrie::compile() const {
    CompiledTable table;
    table.nodes.reserve(nodes_.size());
    table.edges.reserve(nodes_.size() - 1);
    table.heads.reserve(nodes_.size() - 1);
    table.info.reserve(nodes_.size());
    std::unordered_map<std::string_view, std::pair<std::uint32_t, std::uint32_t>> ranges;

    // Breadth-first: a node's number is its position in the queue.
    std::deque<std::pair<std::uint32_t, std::uint32_t>> queue;  // work node, depth
    queue.emplace_back(0, 0);
    while (!queue.empty()) {
        const auto [work_index, depth] = queue.front();
        queue.pop_front();
        const WorkNode& work = nodes_[work_index];
        table.nodes.push_back({static_cast<std::uint32_t>(table.edges.size()),
                               static_cast<std::uint16_t>(work.children.size()), flags_of(work)});
        table.info.push_back({depth, work.on_alias_path && !work.on_written_path, work.written});
        for (const auto& [label, child] : work.children) {
            auto range = ranges.find(label);
            if (range == ranges.end()) {
                const auto start = static_cast<std::uint32_t>(table.pool.size());
                table.pool += label;
                range = ranges.emplace(label, std::pair{start, static_cast<std::uint32_t>(table.pool.size())}).first;
            }
            const auto target = static_cast<std::int32_t>(table.nodes.size() + queue.size());
            table.edges.push_back({range->second.first, range->second.second, target});
            table.heads.push_back(lookup::label_head(label));
            queue.emplace_back(child, depth + 1);
        }
    }
    table.distinct_labels = ranges.size();
    return table;
}

}  // namespace

CompiledTable compile_rules(const std::vector<Rule>& rules, const Limits& limits) {
    WorkTrie trie(limits);
    for (const Rule& rule : rules) {
        trie.enter(rule);
    }
    return trie.compile();
}

}  // namespace builder
