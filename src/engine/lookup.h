// The engine's entry point: one domain and the caller's flags in, everything
// that a front end answers from out. Every front end (the module, the
// package's extension, the command-line tool), test, benchmark and fuzzer
// looks domains up through look_up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

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

// One domain, looked up: its normalization, its label count n and its suffix
// label count p, and the answers of the six queries, cut as views of the
// result source (valid while this object lives). An invalid domain (empty, or
// with an empty label) answers None or False to every query.
class Lookup {
public:
    // Normalizes `domain` (valid UTF-8) and matches it against `table`. Throws
    // Fault for a table that fails a bounds check, std::bad_alloc when memory
    // runs out. The normalization is made in place: nothing is moved.
    Lookup(const SuffixTable& table, std::string_view domain, const QueryFlags& flags)
        : domain_(normalize_domain(domain)),
          suffix_labels_(domain_ ? match_suffix(table, domain_->lowered(), domain_->label_count(),
                                                domain_->dot_bits(), flags.accept_unknown, flags.icann_only)
                                 : 0),
          keep_case_(flags.keep_case) {}
    bool valid() const noexcept { return domain_.has_value(); }
    // Valid only: the normalization.
    const NormalizedDomain& domain() const& noexcept { return *domain_; }
    std::size_t label_count() const noexcept { return domain_ ? domain_->label_count() : 0; }
    std::size_t suffix_label_count() const noexcept { return suffix_labels_; }
    // The text that answers are cut from: the lowered text, or the caller's
    // own text under keep_case; empty for an invalid domain.
    std::string_view source() const& noexcept {
        return !domain_ ? std::string_view() : keep_case_ ? domain_->original() : domain_->lowered();
    }

    std::optional<std::string_view> public_suffix() const& noexcept {
        return public_suffix_of(source(), label_count(), suffix_labels_, dot_bits());
    }
    std::optional<std::string_view> private_suffix() const& noexcept {
        return private_suffix_of(source(), label_count(), suffix_labels_, dot_bits());
    }
    bool is_public() const noexcept { return valid() && decide_is_public(label_count(), suffix_labels_); }
    bool is_private() const noexcept { return decide_is_private(label_count(), suffix_labels_); }
    std::optional<std::string_view> subdomain(std::uint64_t depth) const& noexcept {
        return subdomain_of(source(), label_count(), suffix_labels_, depth, dot_bits());
    }
    std::optional<PrivateParts> private_parts() const& noexcept {
        if (!has_private_suffix(label_count(), suffix_labels_)) {
            return std::nullopt;
        }
        return PrivateParts{label_count() - (suffix_labels_ + 1), source()};
    }

    // Views into a temporary would dangle: name the Lookup first.
    const NormalizedDomain& domain() const&& = delete;
    std::string_view source() const&& = delete;
    std::optional<std::string_view> public_suffix() const&& = delete;
    std::optional<std::string_view> private_suffix() const&& = delete;
    std::optional<std::string_view> subdomain(std::uint64_t) const&& = delete;
    std::optional<PrivateParts> private_parts() const&& = delete;

private:
    const std::uint64_t* dot_bits() const noexcept { return domain_ ? domain_->dot_bits() : nullptr; }

    std::optional<NormalizedDomain> domain_;
    std::size_t suffix_labels_;
    bool keep_case_;
};

// The entry point: `domain` looked up in `table` (through its child index,
// when it carries one: bulk callers pass such a table).
inline Lookup look_up(const SuffixTable& table, std::string_view domain, const QueryFlags& flags) {
    return Lookup(table, domain, flags);
}

// The same against the list compiled in.
inline Lookup look_up(std::string_view domain, const QueryFlags& flags) {
    return Lookup(compiled_table(), domain, flags);
}

}  // namespace lookup
