// Turning a domain into lowercase labels: one trailing dot dropped, full
// Unicode lowercasing (Unicode 17.0, final sigma, U+0130), empty labels refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "lowered_text.h"

namespace lookup {

class NormalizedDomain {
public:
    // Lowers `original` into the object's own buffer with
    // `lower(LoweredText&, std::uint64_t& dot_bits, bool& dots_noted)`, which
    // returns the label count: made in place, the text is never moved.
    template <class Lower>
    NormalizedDomain(std::string_view original, Lower&& lower)
        : original_(original), label_count_(lower(lowered_, dot_bits_, dots_noted_)) {}

    // The lowercased text, owned; never empty, no empty label.
    std::string_view lowered() const noexcept { return lowered_.view(); }
    // The caller's text less one trailing dot; borrowed, not copied.
    std::string_view original() const noexcept { return original_; }
    // Number of labels (dots in the lowered text plus one), at least 1.
    std::size_t label_count() const noexcept { return label_count_; }
    // The dots of both texts (dot_bits.h), or null when they were not noted:
    // they are for a short all-ASCII text, where both have the same bytes at
    // the same places.
    const std::uint64_t* dot_bits() const noexcept { return dots_noted_ ? &dot_bits_ : nullptr; }

private:
    LoweredText lowered_;
    std::uint64_t dot_bits_ = 0;
    bool dots_noted_ = false;
    std::string_view original_;
    std::size_t label_count_;
};

// `domain` must be valid UTF-8. Returns nothing for an invalid domain (empty,
// a single dot, or any empty label). Throws std::bad_alloc when memory for the
// lowered text cannot be had.
std::optional<NormalizedDomain> normalize_domain(std::string_view domain);

// The same by the general path alone, character by character, with no
// word-at-a-time ASCII step: what the fast path is fuzzed against.
std::optional<NormalizedDomain> normalize_domain_by_characters(std::string_view domain);

// Full lowercase of valid UTF-8 `text` into `out` (replacing its contents),
// exactly as normalize_domain lowers a domain; the table builder lowers rules
// with it.
void lower_text(std::string_view text, LoweredText& out);

}  // namespace lookup
