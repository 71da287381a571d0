#include "figures.h"

#include <algorithm>
#include <cstdio>

namespace builder {
namespace {

void count_rule(RuleCounts& counts, std::uint8_t kind) {
    switch (kind) {
        case lookup::FLAG_RULE: ++counts.plain; break;
        case lookup::FLAG_WILDCARD: ++counts.wildcard; break;
        case lookup::FLAG_EXCEPTION: ++counts.exception; break;
        default: break;
    }
}

std::string hex_byte(std::uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", static_cast<unsigned>(value));
    return text;
}

std::string rule_counts_json(const RuleCounts& counts) {
    return "{\"plain\": " + std::to_string(counts.plain) + ", \"wildcard\": " + std::to_string(counts.wildcard) +
           ", \"exception\": " + std::to_string(counts.exception) + "}";
}

std::string rule_counts_text(const RuleCounts& counts) {
    return std::to_string(counts.plain) + " plain, " + std::to_string(counts.wildcard) + " wildcard, " +
           std::to_string(counts.exception) + " exception";
}

}  // namespace

Figures compute_figures(const CompiledTable& table, const std::string& checksum) {
    Figures figures;
    figures.nodes = table.nodes.size();
    figures.edges = table.edges.size();
    figures.pool_bytes = table.pool.size();
    figures.labels = table.distinct_labels;
    figures.checksum = checksum;
    figures.root_edges = table.nodes.empty() ? 0 : table.nodes[0].edge_count;
    for (std::size_t i = 0; i < table.nodes.size(); ++i) {
        const lookup::Node& node = table.nodes[i];
        const NodeInfo& info = table.info[i];
        ++figures.flags[node.flags];
        figures.max_edge_count = std::max<std::size_t>(figures.max_edge_count, node.edge_count);
        if (info.alias) {
            ++figures.aliases;
        }
        if (info.depth > 0) {
            if (figures.depths.size() < info.depth) {
                figures.depths.resize(info.depth, 0);
            }
            ++figures.depths[info.depth - 1];
        }
        if (info.written) {
            const auto icann_kind = static_cast<std::uint8_t>(node.flags >> lookup::ICANN_SHIFT);
            if (icann_kind != 0) {
                count_rule(figures.icann_rules, icann_kind);
            } else {
                count_rule(figures.private_rules, node.flags & 0x07);
            }
        }
    }
    for (const lookup::Edge& edge : table.edges) {
        figures.max_label_bytes = std::max<std::size_t>(figures.max_label_bytes, edge.label_end - edge.label_start);
    }
    return figures;
}

std::string figures_text(const Figures& f) {
    std::string text;
    text += "nodes            " + std::to_string(f.nodes) + "\n";
    text += "edges            " + std::to_string(f.edges) + "\n";
    text += "label pool       " + std::to_string(f.pool_bytes) + " bytes, " + std::to_string(f.labels) +
            " distinct labels\n";
    text += "ICANN rules      " + rule_counts_text(f.icann_rules) + "\n";
    text += "private rules    " + rule_counts_text(f.private_rules) + "\n";
    text += "flags            ";
    for (auto it = f.flags.begin(); it != f.flags.end(); ++it) {
        text += (it == f.flags.begin() ? "" : ", ") + hex_byte(it->first) + ": " + std::to_string(it->second);
    }
    text += "\nnodes by depth   ";
    for (std::size_t i = 0; i < f.depths.size(); ++i) {
        text += (i == 0 ? "" : ", ") + std::to_string(f.depths[i]);
    }
    text += "\npunycode aliases " + std::to_string(f.aliases) + "\n";
    text += "root edges       " + std::to_string(f.root_edges) + "\n";
    text += "max edge count   " + std::to_string(f.max_edge_count) + "\n";
    text += "longest label    " + std::to_string(f.max_label_bytes) + " bytes\n";
    text += "checksum         " + f.checksum + "\n";
    return text;
}

std::string figures_json(const Figures& f) {
    std::string json = "{";
    json += "\"nodes\": " + std::to_string(f.nodes);
    json += ", \"edges\": " + std::to_string(f.edges);
    json += ", \"pool_bytes\": " + std::to_string(f.pool_bytes);
    json += ", \"labels\": " + std::to_string(f.labels);
    json += ", \"rules\": {\"icann\": " + rule_counts_json(f.icann_rules) +
            ", \"private\": " + rule_counts_json(f.private_rules) + "}";
    json += ", \"flags\": {";
    bool first = true;
    for (const auto& [flags, count] : f.flags) {
        json += (first ? "\"" : ", \"") + hex_byte(flags) + "\": " + std::to_string(count);
        first = false;
    }
    json += "}, \"depths\": [";
    for (std::size_t i = 0; i < f.depths.size(); ++i) {
        json += (i == 0 ? "" : ", ") + std::to_string(f.depths[i]);
    }
    json += "]";
    json += ", \"aliases\": " + std::to_string(f.aliases);
    json += ", \"root_edges\": " + std::to_string(f.root_edges);
    json += ", \"max_edge_count\": " + std::to_string(f.max_edge_count);
    json += ", \"max_label_bytes\": " + std::to_string(f.max_label_bytes);
    // 64 hexadecimal digits: nothing to escape.
    json += ", \"checksum\": \"" + f.checksum + "\"}";
    return json;
}

}  // namespace builder
