// Turning a domain into lowercase labels: one trailing dot dropped, full
// Unicode lowercasing (Unicode 17.0, final sigma, U+0130), empty labels refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "lowered_text.h"

namespace lookup {

// Where each label of a domain starts, for a short all-ASCII domain (the
// common case), noted while it is lowered, so that the walk and the cuts
// find its labels without looking for dots again. The lowered text and the
// caller's text have the same bytes at the same places there.
struct LabelStarts {
    static constexpr std::size_t MAX_LABELS = 32;
    // Only texts shorter than this are mapped: every offset fits a byte.
    static constexpr std::size_t MAX_SIZE = 256;
    std::uint8_t count = 0;  // the label count; 0 when the starts were not noted
    std::uint8_t at[MAX_LABELS];
};

class NormalizedDomain {
public:
    // Lowers `original` into the object's own buffer with
    // `lower(LoweredText&, LabelStarts&)`, which returns the label count: made
    // in place, the text is never moved.
    template <class Lower>
    NormalizedDomain(std::string_view original, Lower&& lower)
        : original_(original), label_count_(lower(lowered_, starts_)) {}

    // The lowercased text, owned; never empty, no empty label.
    std::string_view lowered() const noexcept { return lowered_.view(); }
    // The caller's text less one trailing dot; borrowed, not copied.
    std::string_view original() const noexcept { return original_; }
    // Number of labels (dots in the lowered text plus one), at least 1.
    std::size_t label_count() const noexcept { return label_count_; }
    // The offset of each label in both texts, left to right (the first is
    // 0), or null when they were not noted.
    const std::uint8_t* label_starts() const noexcept { return starts_.count != 0 ? starts_.at : nullptr; }

private:
    LoweredText lowered_;
    LabelStarts starts_;
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
