// The list's rules held as plain names, and the suffix label count found by
// trying them one by one: the oracle the built trie is compared with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "suffix_table.h"
#include "punycode.h"
#include "rule.h"
#include "utf8.h"

namespace fuzz {

class NaiveRules {
public:
    // Returns false when a non-ASCII label has no Punycode form (the builder
    // must then have refused the list).
    bool add(const builder::Rule& rule) {
        enter(rule, rule.labels);
        bool ascii = true;
        std::vector<std::string> twin;
        for (const std::string& label : rule.labels) {
            if (lookup::utf8::is_ascii(label)) {
                twin.push_back(label);
                continue;
            }
            ascii = false;
            // The list reader passes valid UTF-8 only.
            const auto encoded = builder::punycode_encode(*lookup::utf8::decode_strict(label));
            if (!encoded) {
                return false;
            }
            twin.push_back("xn--" + *encoded);
        }
        if (!ascii) {
            enter(rule, twin);
        }
        return true;
    }

    const std::vector<std::string>& labels() const { return labels_; }
    const std::vector<std::vector<std::string>>& names() const { return names_; }

    // `labels` leftmost first. The walk's semantics, one rule name at a time:
    // the suffixes of the domain are tried from the shortest; the search
    // stops at the first suffix that is no rule name nor lies under one.
    std::size_t match(const std::vector<std::string>& labels, bool accept_unknown, bool icann_only) const {
        const std::size_t n = labels.size();
        std::size_t result = 0;
        bool matched = false;
        std::string name;
        for (std::size_t i = 0; i < n; ++i) {
            name = i == 0 ? labels[n - 1] : labels[n - 1 - i] + "." + name;
            if (!paths_.contains(name)) {
                break;
            }
            const auto found = kinds_.find(name);
            std::uint8_t kind = 0;
            if (found != kinds_.end()) {
                const auto [icann, private_kind] = found->second;
                // The full view counts the rules of both sections, the
                // strongest kind prevailing, as when one section has several.
                kind = icann_only ? icann : stronger(icann, private_kind);
            }
            if (kind == lookup::FLAG_EXCEPTION) {
                return i;  // an exception prevails over every other rule
            }
            if (kind == lookup::FLAG_WILDCARD) {
                result = i + 1 < n ? i + 2 : i + 1;
                matched = true;
            } else if (kind == lookup::FLAG_RULE) {
                result = i + 1;
                matched = true;
            }
        }
        return matched ? result : (accept_unknown ? 1 : 0);
    }

private:
    static std::uint8_t stronger(std::uint8_t a, std::uint8_t b) {
        // exception, then wildcard, then plain
        return a > b ? a : b;
    }

    void enter(const builder::Rule& rule, const std::vector<std::string>& labels) {
        std::string name;
        for (std::size_t i = labels.size(); i-- > 0;) {
            name = i + 1 == labels.size() ? labels[i] : labels[i] + "." + name;
            paths_.insert(name);
            if (seen_labels_.insert(labels[i]).second) {
                labels_.push_back(labels[i]);
            }
        }
        auto& [icann, private_kind] = kinds_[name];
        std::uint8_t& field = rule.section == builder::Section::icann ? icann : private_kind;
        field = stronger(field, rule.kind);
        names_.push_back(labels);
    }

    std::set<std::string> paths_;
    std::map<std::string, std::pair<std::uint8_t, std::uint8_t>> kinds_;
    std::set<std::string> seen_labels_;
    std::vector<std::string> labels_;
    std::vector<std::vector<std::string>> names_;
};

}  // namespace fuzz
