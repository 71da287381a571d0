// The engine's entry point: one domain and the caller's flags in, everything
// that a front end answers from out. Every front end (the module, the
// package's extension, the command-line tool), test, benchmark and fuzzer
// looks domains up through look_up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

#include "cut.h"
#include "match_suffix.h"
#include "normalize.h"
#include "suffix_table.h"

namespace lookup {

struct QueryFlags {
    bool accept_unknown = true;  // an unlisted top-level label is a public suffix
    bool icann_only = false;     // only the rules of the ICANN section count
    bool keep_case = false;      // answers are cut from the caller's own text
};

// The private suffix and the labels in front of it, within one text.
struct PrivateParts {
    std::size_t labels_in_front;  // take them one by one with take_label
    std::string_view text;        // those labels, then the private suffix
};

// A valid domain, looked up: its normalization, its label count n and its
// suffix label count p, and the answers of the six queries, cut as views of
// the result source (valid while this object lives).
class Lookup {
public:
    Lookup(NormalizedDomain&& domain, std::size_t suffix_labels, bool keep_case) noexcept
        : domain_(std::move(domain)), suffix_labels_(suffix_labels), keep_case_(keep_case) {}

    const NormalizedDomain& domain() const noexcept { return domain_; }
    std::size_t label_count() const noexcept { return domain_.label_count(); }
    std::size_t suffix_label_count() const noexcept { return suffix_labels_; }
    // The text that answers are cut from: the lowered text, or the caller's
    // own text under keep_case.
    std::string_view source() const noexcept { return keep_case_ ? domain_.original() : domain_.lowered(); }

    std::optional<std::string_view> public_suffix() const noexcept {
        return public_suffix_of(source(), label_count(), suffix_labels_);
    }
    std::optional<std::string_view> private_suffix() const noexcept {
        return private_suffix_of(source(), label_count(), suffix_labels_);
    }
    bool is_public() const noexcept { return decide_is_public(label_count(), suffix_labels_); }
    bool is_private() const noexcept { return decide_is_private(label_count(), suffix_labels_); }
    std::optional<std::string_view> subdomain(std::uint64_t depth) const noexcept {
        return subdomain_of(source(), label_count(), suffix_labels_, depth);
    }
    std::optional<PrivateParts> private_parts() const noexcept {
        if (!has_private_suffix(label_count(), suffix_labels_)) {
            return std::nullopt;
        }
        return PrivateParts{label_count() - (suffix_labels_ + 1), source()};
    }

private:
    NormalizedDomain domain_;
    std::size_t suffix_labels_;
    bool keep_case_;
};

// Normalizes `domain` (valid UTF-8) and matches it against `table`; nothing
// for an invalid domain, whose answers are None or False. Throws Fault for a
// table that fails a bounds check, std::bad_alloc when memory runs out.
inline std::optional<Lookup> look_up(const SuffixTable& table, std::string_view domain, const QueryFlags& flags) {
    std::optional<NormalizedDomain> normalized = normalize_domain(domain);
    if (!normalized) {
        return std::nullopt;
    }
    const std::size_t suffix_labels = match_suffix(table, normalized->lowered(), normalized->label_count(),
                                                   flags.accept_unknown, flags.icann_only);
    return std::optional<Lookup>(std::in_place, std::move(*normalized), suffix_labels, flags.keep_case);
}

// The same against the list compiled in.
inline std::optional<Lookup> look_up(std::string_view domain, const QueryFlags& flags) {
    return look_up(compiled_table(), domain, flags);
}

}  // namespace lookup
