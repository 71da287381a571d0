#include "normalize.h"

#include <cstdint>
#include <cstring>

#include "ascii_words.h"
#include "dot_bits.h"
#include "case_tables.h"
#include "utf8.h"

namespace lookup {
namespace {

constexpr char32_t CAPITAL_SIGMA = 0x03A3;
constexpr char32_t SMALL_SIGMA = 0x03C3;
constexpr char32_t FINAL_SIGMA = 0x03C2;
constexpr char32_t CAPITAL_I_WITH_DOT = 0x0130;
constexpr char LOWERED_I_WITH_DOT[] = "i\xCC\x87";  // U+0069 U+0307

const unsigned char* bytes_of(std::string_view text) noexcept {
    return reinterpret_cast<const unsigned char*>(text.data());
}

char lowercase_ascii(unsigned char byte) noexcept {
    return static_cast<char>(byte + ((static_cast<unsigned>(byte - 'A') < 26u) ? 0x20 : 0));
}

// The dots met while lowering: how many, and whether a label came out empty
// (two dots side by side, or a dot at either end). Dots come only from the
// caller's own 0x2E bytes: no lowercase mapping makes or removes one.
class DotTally {
public:
    void add_byte(unsigned char byte) noexcept {
        const bool dot = byte == '.';
        dots_ += dot;
        empty_label_ |= dot & last_was_dot_;
        last_was_dot_ = dot;
    }
    void add_other() noexcept { last_was_dot_ = false; }
    // `marks` from ascii_words::dots() over the next 8 bytes.
    void add_word(std::uint64_t marks) noexcept { add_word(marks, ~std::uint64_t{0}, last_was_dot_); }
    // The same for a word that may overlap bytes tallied before: only the
    // dots within `fresh` are counted; pairs of dots that were looked at
    // before are looked at again, which changes nothing. `after_dot` tells
    // whether the byte before the word is a dot.
    void add_word(std::uint64_t marks, std::uint64_t fresh, bool after_dot) noexcept {
        dots_ += ascii_words::count_marks(marks & fresh);
        empty_label_ |= (marks & ascii_words::marks_of_previous(marks, after_dot)) != 0;
        last_was_dot_ = ascii_words::last_marked(marks);
    }

    std::size_t dots() const noexcept { return dots_; }
    bool last_was_dot() const noexcept { return last_was_dot_; }
    bool has_empty_label() const noexcept { return empty_label_ || last_was_dot_; }

private:
    std::size_t dots_ = 0;
    bool empty_label_ = false;
    bool last_was_dot_ = true;  // the start of the text acts as a dot: a leading dot is an empty label
};

// Appends to a LoweredText through a raw pointer, growing it only when a
// mapping has made the text longer than the room reserved.
class Appender {
public:
    Appender(LoweredText& out, std::size_t size) noexcept
        : out_(out), data_(out.data()), size_(size), capacity_(out.capacity()) {}

    // Room for `count` more bytes. `rest` is the caller's bytes still to be
    // lowered, this character's included: no mapping more than 1.5 times as
    // long as its character, so growing to fit them all happens once at most.
    char* room(std::size_t count, std::size_t rest) {
        if (capacity_ - size_ < count) {
            grow(count, rest);
        }
        char* at = data_ + size_;
        size_ += count;
        return at;
    }

    void finish() noexcept { out_.set_size(size_); }

private:
    void grow(std::size_t count, std::size_t rest) {
        out_.set_size(size_);
        const std::size_t wanted = size_ + rest + rest / 2 + 4;
        out_.reserve(wanted > size_ + count ? wanted : size_ + count);
        data_ = out_.data();
        capacity_ = out_.capacity();
    }

    LoweredText& out_;
    char* data_;
    std::size_t size_;
    std::size_t capacity_;
};

// Final_Sigma context, read in the caller's text: a Cased character before
// the sigma and none after it, Case_Ignorable characters passed over on both
// sides.
bool cased_before(const unsigned char* text, std::size_t position) noexcept {
    while (position > 0) {
        const utf8::Decoded found = utf8::decode_before(text, position);
        position -= found.length;
        if (!case_tables::case_ignorable(found.cp)) {
            return case_tables::cased(found.cp);
        }
    }
    return false;
}

bool cased_after(const unsigned char* text, std::size_t size, std::size_t position) noexcept {
    while (position < size) {
        const utf8::Decoded found = utf8::decode(text + position, size - position);
        position += found.length;
        if (!case_tables::case_ignorable(found.cp)) {
            return case_tables::cased(found.cp);
        }
    }
    return false;
}

// Lowers text[start..] one character at a time; with ASCII_WORDS, eight
// ASCII bytes at a time where there are eight (the ASCII between the
// non-ASCII characters of most names that have any).
template <bool ASCII_WORDS>
void lower_characters(const unsigned char* text, std::size_t size, std::size_t start, Appender& out,
                      DotTally& tally) {
    std::size_t at = start;
    while (at < size) {
        const unsigned char lead = text[at];
        if constexpr (ASCII_WORDS) {
            if (lead < 0x80 && size - at >= 8) {
                const std::uint64_t word = ascii_words::load(text + at);
                if (ascii_words::all_ascii(word)) {
                    ascii_words::store(out.room(8, size - at), ascii_words::lowercase(word));
                    tally.add_word(ascii_words::dots(word));
                    at += 8;
                    continue;
                }
            }
        }
        if (lead < 0x80) {
            *out.room(1, size - at) = lowercase_ascii(lead);
            tally.add_byte(lead);
            ++at;
            continue;
        }
        tally.add_other();
        const utf8::Decoded found = utf8::decode(text + at, size - at);
        if (found.cp == CAPITAL_SIGMA) {
            const bool final = cased_before(text, at) && !cased_after(text, size, at + found.length);
            utf8::encode(final ? FINAL_SIGMA : SMALL_SIGMA, out.room(2, size - at));
        } else if (found.cp == CAPITAL_I_WITH_DOT) {
            std::memcpy(out.room(3, size - at), LOWERED_I_WITH_DOT, 3);
        } else {
            const char32_t lowered = case_tables::lowercase_of(found.cp);
            if (lowered == found.cp) {
                std::memcpy(out.room(found.length, size - at), text + at, found.length);
            } else {
                char encoded[4];
                const std::size_t length = utf8::encode(lowered, encoded);
                std::memcpy(out.room(length, size - at), encoded, length);
            }
        }
        at += found.length;
    }
}

// Lowers the longest all-ASCII start of the text, a word at a time, as far
// as whole 16-byte blocks go; an all-ASCII rest shorter than a block is done
// as one more block that overlaps bytes already done (or, in a text of 8 to 15
// bytes, as two overlapping words), so that it needs no byte loop either.
// Returns the number of bytes done.
std::size_t lower_ascii_words(const unsigned char* source, std::size_t size, char* target, DotTally& tally) noexcept {
    using namespace ascii_words;
    if (size < 16) {
        if (size < 8) {
            return 0;
        }
        const std::uint64_t first = load(source);
        const std::uint64_t last = load(source + size - 8);
        if (!all_ascii(first | last)) {
            return 0;
        }
        store(target, lowercase(first));
        store(target + size - 8, lowercase(last));
        tally.add_word(dots(first));
        tally.add_word(dots(last), last_bytes(size - 8), false);
        return size;
    }
    std::size_t at = 0;
    for (; size - at >= 16; at += 16) {
        const std::uint64_t first = load(source + at);
        const std::uint64_t second = load(source + at + 8);
        if (!all_ascii(first | second)) {
            return at;
        }
        store(target + at, lowercase(first));
        store(target + at + 8, lowercase(second));
        tally.add_word(dots(first));
        tally.add_word(dots(second));
    }
    const std::size_t fresh = size - at;
    if (fresh != 0) {
        const std::uint64_t first = load(source + size - 16);
        const std::uint64_t second = load(source + size - 8);
        if (!all_ascii(first | second)) {
            return at;
        }
        store(target + size - 16, lowercase(first));
        store(target + size - 8, lowercase(second));
        tally.add_word(dots(first), last_bytes(fresh > 8 ? fresh - 8 : 0), false);
        tally.add_word(dots(second), last_bytes(fresh < 8 ? fresh : 8), tally.last_was_dot());
    }
    return size;
}

// Lowers an all-ASCII text shorter than dot_bits::LIMIT into `target` (room
// for it all) and notes its dots in `dots`: a word at a time, the last word
// overlapping the one before it, or byte by byte for a text shorter than a
// word, with no branch on what the bytes are. Returns the label count, or 0
// for a text that is empty, not all ASCII or has an empty label: the general
// path does such a text again from its start.
std::size_t lower_ascii_noting_dots(const unsigned char* source, std::size_t size, char* target,
                                    std::uint64_t& dots) noexcept {
    using namespace ascii_words;
    std::uint64_t bits = 0;
    std::uint64_t seen = 0;  // every byte ORed: its high bits tell of any non-ASCII byte
    std::size_t count = 1;
    if (size < 8) {
        for (std::size_t at = 0; at < size; ++at) {
            const unsigned char byte = source[at];
            seen |= byte;
            target[at] = lowercase_ascii(byte);
            bits |= std::uint64_t{byte == '.'} << at;
            count += byte == '.';
        }
    } else {
        std::size_t at = 0;
        for (; size - at >= 8; at += 8) {
            const std::uint64_t word = load(source + at);
            seen |= word;
            store(target + at, lowercase(word));
            const std::uint64_t marks = ascii_words::dots(word);
            count += count_marks(marks);
            bits |= dot_bits::of_word(marks) << at;
        }
        if (at != size) {
            // The last word ends with the text; its bytes before `at` were done.
            const std::uint64_t word = load(source + size - 8);
            seen |= word;
            store(target + size - 8, lowercase(word));
            const std::uint64_t marks = ascii_words::dots(word);
            count += count_marks(marks & last_bytes(size - at));
            bits |= dot_bits::of_word(marks) << (size - 8);
        }
    }
    // Empty labels: two dots side by side, a dot first or last, no text.
    const bool empty_label = (bits & (bits >> 1)) != 0 || (bits & 1) != 0 || size == 0 || ((bits >> (size - 1)) & 1) != 0;
    if ((seen & HIGH_BITS) != 0 || empty_label) {
        return 0;
    }
    dots = bits;
    return count;
}

// Lowers `text` into `out`, replacing its contents: ASCII by words while it
// lasts, then byte by byte, then character by character from the first
// non-ASCII byte on. Without ASCII_FIRST, character by character throughout:
// the general path that the fast one is checked against. Kept out of line,
// so that the short all-ASCII path of normalize_with saves and restores only
// the few registers it uses.
template <bool ASCII_FIRST = true>
[[gnu::noinline]] DotTally lower_into(std::string_view text, LoweredText& out) {
    out.set_size(0);
    if (text.size() > out.capacity()) {
        out.reserve(text.size());
    }
    const unsigned char* source = bytes_of(text);
    const std::size_t size = text.size();
    char* target = out.data();
    DotTally tally;

    std::size_t at = 0;
    if constexpr (ASCII_FIRST) {
        at = lower_ascii_words(source, size, target, tally);
        for (; at < size && source[at] < 0x80; ++at) {
            target[at] = lowercase_ascii(source[at]);
            tally.add_byte(source[at]);
        }
    }

    Appender appender(out, at);
    if (at < size) {
        lower_characters<ASCII_FIRST>(source, size, at, appender, tally);
    }
    appender.finish();
    return tally;
}

template <bool ASCII_FIRST>
std::optional<NormalizedDomain> normalize_with(std::string_view domain) {
    if (!domain.empty() && domain.back() == '.') {
        domain.remove_suffix(1);
    }
    // Lowered straight into the object returned (an empty text comes out
    // with an empty label); the one return lets it be built in place.
    bool valid = false;
    std::optional<NormalizedDomain> result(std::in_place, domain, [&](LoweredText& lowered, std::uint64_t& dots,
                                                                      bool& dots_noted) {
        if constexpr (ASCII_FIRST) {
            static_assert(dot_bits::LIMIT <= LoweredText::INLINE_CAPACITY);
            if (domain.size() < dot_bits::LIMIT) {
                const std::size_t count = lower_ascii_noting_dots(bytes_of(domain), domain.size(), lowered.data(), dots);
                if (count != 0) {
                    lowered.set_size(domain.size());
                    dots_noted = true;
                    valid = true;
                    return count;
                }
            }
        }
        const DotTally tally = lower_into<ASCII_FIRST>(domain, lowered);
        valid = !tally.has_empty_label();
        return tally.dots() + 1;
    });
    if (!valid) {
        result.reset();
    }
    return result;
}

}  // namespace

std::optional<NormalizedDomain> normalize_domain(std::string_view domain) { return normalize_with<true>(domain); }

std::optional<NormalizedDomain> normalize_domain_by_characters(std::string_view domain) {
    return normalize_with<false>(domain);
}

void lower_text(std::string_view text, LoweredText& out) { lower_into(text, out); }

}  // namespace lookup
