// normalize_domain and lower_text: the trailing dot, invalid domains, label
// counts, the final sigma, mappings that change the length, the 16-byte ASCII
// blocks, the inline buffer and its growth, and bytes that are not UTF-8.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "lowered_text.h"
#include "normalize.h"
#include "reference_data.h"
#include "utf8.h"

// The test program's allocator: malloc and free, counted per thread, with a
// switch that makes allocations fail. Untouched, it behaves as the default.
// Kept opaque to the optimiser (no inlining, no clones), so that a memory
// checker that replaces operator new and delete (valgrind) replaces both; the
// tests that need the counts then skip.
#if defined(__clang__)
#define KEPT_OPAQUE __attribute__((noinline))
#else
#define KEPT_OPAQUE __attribute__((noipa))
#endif

namespace test_allocations {
thread_local std::size_t allocations = 0;
thread_local long live = 0;
thread_local int failing_after = -1;
}  // namespace test_allocations

KEPT_OPAQUE void* operator new(std::size_t size) {
    if (test_allocations::failing_after == 0) {
        throw std::bad_alloc();
    }
    if (test_allocations::failing_after > 0) {
        --test_allocations::failing_after;
    }
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    ++test_allocations::allocations;
    ++test_allocations::live;
    return block;
}
KEPT_OPAQUE void* operator new[](std::size_t size) { return ::operator new(size); }
KEPT_OPAQUE void operator delete(void* block) noexcept {
    if (block != nullptr) {
        --test_allocations::live;
        std::free(block);
    }
}
KEPT_OPAQUE void operator delete[](void* block) noexcept { ::operator delete(block); }
KEPT_OPAQUE void operator delete(void* block, std::size_t) noexcept { ::operator delete(block); }
KEPT_OPAQUE void operator delete[](void* block, std::size_t) noexcept { ::operator delete(block); }

namespace lookup {
namespace {

std::string u8(std::u32string_view cps) { return utf8::encode_all(cps); }

// Full lowercasing done the slow way, one code point at a time, as the model
// the fast paths must agree with.
std::string model_lower(std::string_view text) { return testing::reference_lowering().lower_utf8(text); }

std::string lowered_of(std::string_view domain) {
    const auto normalized = normalize_domain(domain);
    return normalized ? std::string(normalized->lowered()) : "<invalid>";
}

std::string lower(std::string_view text) {
    LoweredText out;
    lower_text(text, out);
    return std::string(out.view());
}

// Counts this thread's allocations while it lives.
class AllocationCount {
public:
    AllocationCount() : allocations_at_start_(test_allocations::allocations), live_at_start_(test_allocations::live) {}
    std::size_t allocations() const { return test_allocations::allocations - allocations_at_start_; }
    long live() const { return test_allocations::live - live_at_start_; }

private:
    std::size_t allocations_at_start_;
    long live_at_start_;
};

// Lets `succeeding` allocations of this thread through, then fails the rest
// until it goes out of scope.
class FailingAllocations {
public:
    explicit FailingAllocations(int succeeding) { test_allocations::failing_after = succeeding; }
    ~FailingAllocations() { test_allocations::failing_after = -1; }
    FailingAllocations(const FailingAllocations&) = delete;
    FailingAllocations& operator=(const FailingAllocations&) = delete;
};

// Whether allocations go through the counting allocator above.
bool allocations_counted() {
    const AllocationCount count;
    ::operator delete(::operator new(1));  // a direct call, which the compiler may not elide
    return count.allocations() == 1;
}

#define SKIP_UNLESS_ALLOCATIONS_COUNTED()                                              \
    if (!allocations_counted()) {                                                      \
        GTEST_SKIP() << "operator new is replaced by the environment (memory checker)"; \
    }

bool stored_inline(const NormalizedDomain& domain) {
    const auto* start = reinterpret_cast<const char*>(&domain);
    return domain.lowered().data() >= start && domain.lowered().data() < start + sizeof domain;
}

// The lowered text, and the caller's text as a view of the input less one
// trailing dot.
TEST(NormalizeDomain, LowersAndKeepsTheCallersTextLessOneTrailingDot) {
    const struct {
        std::string_view input;
        std::string_view lowered;
        std::string_view original;
        std::size_t labels;
    } cases[] = {
        {"Example.COM", "example.com", "Example.COM", 2},
        {"Example.COM.", "example.com", "Example.COM", 2},
        {"a.", "a", "a", 1},
    };
    for (const auto& c : cases) {
        const auto domain = normalize_domain(c.input);
        ASSERT_TRUE(domain) << c.input;
        EXPECT_EQ(domain->lowered(), c.lowered);
        EXPECT_EQ(domain->original(), c.original);
        EXPECT_EQ(domain->original().data(), c.input.data());
        EXPECT_EQ(domain->label_count(), c.labels);
    }
}

TEST(NormalizeDomain, EmptyLabelsAreInvalid) {
    for (const std::string_view text : {"", ".", "..", "...", "example.com..", ".example.com", "example..com", "a..",
                                        ".a", "a...b", "Σ..Σ", "é..é", "é..", ".é"}) {
        EXPECT_FALSE(normalize_domain(text)) << text;
    }
}

TEST(NormalizeDomain, LabelCounts) {
    const struct {
        std::string_view text;
        std::size_t labels;
    } cases[] = {
        {"com", 1}, {"a b.com", 2}, {"a.b.c.d", 4}, {"Mail.Example.CO.UK.", 4}, {"é.ü.ß", 3}, {"x.İ.y.K.z", 5},
    };
    for (const auto& c : cases) {
        const auto domain = normalize_domain(c.text);
        ASSERT_TRUE(domain) << c.text;
        EXPECT_EQ(domain->label_count(), c.labels) << c.text;
    }
    const auto spaced = normalize_domain("A B.com");
    ASSERT_TRUE(spaced);
    EXPECT_EQ(spaced->lowered(), "a b.com");
}

TEST(NormalizeDomain, OnlyFullStopSeparatesLabels) {
    for (const std::u32string_view stop : {U"\u3002", U"\uFF0E", U"\uFF61"}) {
        const std::string text = "Example" + u8(stop) + "COM";
        const auto domain = normalize_domain(text);
        ASSERT_TRUE(domain);
        EXPECT_EQ(domain->label_count(), 1u);
        EXPECT_EQ(domain->lowered(), "example" + u8(stop) + "com");
    }
}

TEST(NormalizeDomain, NothingElseIsRefused) {
    const std::string odd = std::string("\x01-_ \t*!", 7) + std::string(1, '\0') + ".xn--" + std::string(300, 'Q');
    const auto domain = normalize_domain(odd);
    ASSERT_TRUE(domain);
    EXPECT_EQ(domain->label_count(), 2u);
    EXPECT_EQ(domain->lowered(), std::string("\x01-_ \t*!", 7) + std::string(1, '\0') + ".xn--" + std::string(300, 'q'));
}

TEST(FinalSigma, CasesOfTheRule) {
    const struct {
        std::u32string_view in;
        std::u32string_view out;
    } cases[] = {
        {U"ΑΣ", U"ας"},
        {U"αΣ-b", U"ας-b"},   // the hyphen ends the scan after the sigma
        {U"1Σ", U"1σ"},       // nothing cased before
        {U"ΣΣ", U"σς"},
        {U"Σ", U"σ"},
        {U"ΟΔΟΣ.example.com", U"οδοσ.example.com"},  // the dot is case-ignorable, the e is cased
        {U"ΟΔΟΣ.123", U"οδος.123"},
        {U"ΑΣ'", U"ας'"},      // only case-ignorable characters after it
        {U"Α'Σ", U"α'ς"},      // and before it
        {U"'Σ", U"'σ"},        // only case-ignorable characters before it
        {U"Σ.a", U"σ.a"},
        {U"a.Σ", U"a.ς"},      // reads across labels
        {U"A\u02B0Σ", U"a\u02B0ς"},  // U+02B0 is both Cased and Case_Ignorable: passed over
        {U"Σ\u0345", U"σ\u0345"},
        {U"AΣ\u0345B", U"aσ\u0345b"},
        {U"İΣ", U"i\u0307ς"},
        {U"ΣΑΣ\U0001D400", U"σασ\U0001D400"},  // MATHEMATICAL BOLD CAPITAL A is cased
        {U"abcdefghijklmnopqrstuvwxyzΣ", U"abcdefghijklmnopqrstuvwxyzς"},  // cased letter inside an ASCII block
        {U"abcdefghijklmnopq.:^`'Σ", U"abcdefghijklmnopq.:^`'ς"},
        {U"\U0001E900Σ", U"\U0001E922ς"},  // ADLAM CAPITAL ALIF, cased and lowered
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lower(u8(c.in)), u8(c.out)) << u8(c.in);
        EXPECT_EQ(lower(u8(c.in)), model_lower(u8(c.in))) << u8(c.in);
    }
    EXPECT_EQ(lowered_of(u8(U"ΟΔΟΣ.")), u8(U"οδος"));  // the stripped dot is gone before the scan
    EXPECT_EQ(lowered_of(u8(U"ΟΔΟΣ.Α")), u8(U"οδοσ.α"));
}

TEST(LengthChanges, MappingsThatGrowOrShrinkTheText) {
    const std::string dotted = u8(U"İ.example");
    const auto grown = normalize_domain(dotted);
    ASSERT_TRUE(grown);
    EXPECT_EQ(grown->lowered(), u8(U"i\u0307.example"));
    EXPECT_EQ(grown->lowered().size(), grown->original().size() + 1);
    EXPECT_EQ(grown->label_count(), 2u);

    const std::string kelvin = u8(U"\u212Aelvin.example");
    const auto shrunk = normalize_domain(kelvin);
    ASSERT_TRUE(shrunk);
    EXPECT_EQ(shrunk->lowered(), "kelvin.example");
    EXPECT_EQ(shrunk->lowered().size(), shrunk->original().size() - 2);

    EXPECT_EQ(lower(u8(U"STRA\u1E9EE")), u8(U"straße"));        // three bytes to two
    EXPECT_EQ(lower(u8(U"\u023A\u023E")), u8(U"\u2C65\u2C66"));  // two bytes to three
    EXPECT_EQ(lower(u8(U"\u2126\u212B")), u8(U"ωå"));
    EXPECT_EQ(lower(u8(U"ÀÉÎÕÜ\u0178")), u8(U"àéîõüÿ"));
    EXPECT_EQ(lower(u8(U"\u10A0\u13A0\uAB70\U00010400")), u8(U"\u2D00\uAB70\uAB70\U00010428"));
}

TEST(LengthChanges, Unicode17Additions) {
    EXPECT_EQ(lower(u8(U"\uA7CE\uA7D2\uA7D4")), u8(U"\uA7CF\uA7D3\uA7D5"));
    EXPECT_EQ(lower(u8(U"\U00016EA0\U00016EB8")), u8(U"\U00016EBB\U00016ED3"));
}

TEST(LengthChanges, NoLanguageTailoring) {
    EXPECT_EQ(lower("I"), "i");                    // not dotless as in Turkish
    EXPECT_EQ(lower(u8(U"I\u0307")), u8(U"i\u0307"));  // the dot is kept
    EXPECT_EQ(lower(u8(U"\uFF21\u3002")), u8(U"\uFF41\u3002"));  // full-width letters lower, nothing folds
}

// Texts whose first non-ASCII character starts at every offset across and
// around the 16-byte blocks lower as one character at a time would.
TEST(AsciiBlocks, FirstNonAsciiCharacterAtEveryOffset) {
    const std::string ascii = "Ab.CdEf-GhIj.KlMnOpQr.StUvWxYz.0123@[`{ZA.Bc";
    for (const std::u32string_view special : {U"Ä", U"Σ", U"İ", U"\u212A", U"\u1E9E", U"\u023A", U"\U0001E900"}) {
        for (std::size_t offset = 0; offset <= 40; ++offset) {
            const std::string text = ascii.substr(0, offset) + u8(special) + ascii.substr(offset) + "Σ";
            const std::string expected = model_lower(text);
            EXPECT_EQ(lower(text), expected) << text;
            const auto domain = normalize_domain(text);
            const bool has_empty_label =
                text.front() == '.' || text.find("..") != std::string::npos || text.back() == '.';
            ASSERT_EQ(domain.has_value(), !has_empty_label) << text;
            if (domain) {
                EXPECT_EQ(domain->lowered(), expected) << text;
                EXPECT_EQ(domain->label_count(), static_cast<std::size_t>(std::count(text.begin(), text.end(), '.')) + 1)
                    << text;
            }
        }
    }
}

TEST(AsciiBlocks, AllAsciiOfEveryLength) {
    const std::string ascii = "AZaz@[`{.-09MIXEDcase.Z.LongerThanTwoBlocksOfSixteen";
    for (std::size_t length = 1; length <= ascii.size(); ++length) {
        const std::string text = ascii.substr(0, length);
        EXPECT_EQ(lower(text), model_lower(text)) << text;
    }
    std::string every_byte;
    for (int byte = 1; byte < 0x80; ++byte) {
        every_byte += static_cast<char>(byte);
    }
    std::string expected = every_byte;
    for (char& c : expected) {
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 0x20) : c;
    }
    EXPECT_EQ(lower(every_byte), expected);
}

// Read a word at a time with the last word over the one before it: one byte
// of 0x80 or more at any place of any length is seen.
TEST(AsciiBlocks, IsAsciiSeesAHighByteAnywhere) {
    for (std::size_t length = 0; length <= 33; ++length) {
        const std::string ascii(length, '\x7f');
        EXPECT_TRUE(utf8::is_ascii(ascii)) << length;
        for (std::size_t at = 0; at < length; ++at) {
            std::string text = ascii;
            text[at] = '\x80';
            EXPECT_FALSE(utf8::is_ascii(text)) << length << " at " << at;
        }
    }
}

// Alone, and after a character that is not ASCII (whose ASCII rest is
// lowered a word at a time by the general path).
TEST(AsciiBlocks, DotsOnEitherSideOfEachWordBoundary) {
    for (const auto& [prefix, lowered_prefix] : {std::pair<std::string, std::string>{"", ""}, {"\xc3\x89", "\xc3\xa9"}}) {
        for (std::size_t at = 0; at + 1 < 48; ++at) {
            std::string pair(48, 'x');
            pair[at] = pair[at + 1] = '.';
            EXPECT_FALSE(normalize_domain(prefix + pair)) << prefix << " " << at;

            std::string one(48, 'X');
            one[at] = '.';
            const auto domain = normalize_domain(prefix + one);
            ASSERT_EQ(domain.has_value(), at != 0 || !prefix.empty()) << prefix << " " << at;
            if (domain) {
                EXPECT_EQ(domain->label_count(), 2u) << prefix << " " << at;
                EXPECT_EQ(domain->lowered(), lowered_prefix + std::string(at, 'x') + "." + std::string(47 - at, 'x'));
            }
        }
    }
    std::string every_other(64, 'a');
    for (std::size_t at = 1; at < 64; at += 2) {
        every_other[at] = '.';
    }
    const auto domain = normalize_domain(every_other);  // the final dot is the trailing one
    ASSERT_TRUE(domain);
    EXPECT_EQ(domain->label_count(), 32u);
}

// Every placement of one dot, and of two dots side by side, in ASCII texts of
// every length up to 40: whole blocks, the words that overlap at the end, and
// the bytes after them must agree on the labels.
TEST(AsciiBlocks, DotsAtEveryPlaceOfEveryLength) {
    for (std::size_t length = 1; length <= 40; ++length) {
        for (std::size_t at = 0; at < length; ++at) {
            std::string one(length, 'Q');
            one[at] = '.';
            const auto domain = normalize_domain(one);
            const bool valid = at != 0 && length > 1;  // a dot at the end is the trailing one
            ASSERT_EQ(domain.has_value(), valid) << length << " " << at;
            if (domain) {
                EXPECT_EQ(domain->label_count(), at + 1 == length ? 1u : 2u) << length << " " << at;
                EXPECT_EQ(domain->lowered(), model_lower(one.substr(0, at + 1 == length ? at : length)));
            }
            if (at + 1 < length) {
                std::string two = one;
                two[at + 1] = '.';
                EXPECT_FALSE(normalize_domain(two)) << length << " " << at;
                if (at > 0 && at + 3 < length) {
                    std::string apart = one;
                    apart[at + 2] = '.';
                    const auto three = normalize_domain(apart);
                    ASSERT_TRUE(three) << length << " " << at;
                    EXPECT_EQ(three->label_count(), 3u) << length << " " << at;
                }
            }
        }
    }
}

TEST(Buffer, ShortNamesStayInline) {
    const std::string longest(LoweredText::INLINE_CAPACITY, 'A');
    const auto inline_domain = normalize_domain(longest);
    ASSERT_TRUE(inline_domain);
    EXPECT_TRUE(stored_inline(*inline_domain));
    EXPECT_EQ(inline_domain->lowered(), std::string(LoweredText::INLINE_CAPACITY, 'a'));

    const auto heap_domain = normalize_domain(longest + "B");
    ASSERT_TRUE(heap_domain);
    EXPECT_FALSE(stored_inline(*heap_domain));
    EXPECT_EQ(heap_domain->lowered(), std::string(LoweredText::INLINE_CAPACITY, 'a') + "b");
}

TEST(Buffer, GrowsPastTheReservedRoom) {
    std::u32string many_dotted_i(300, U'İ');
    const std::string dotted = u8(many_dotted_i);
    const auto domain = normalize_domain(dotted + ".Com");
    ASSERT_TRUE(domain);
    std::string expected;
    for (int i = 0; i < 300; ++i) {
        expected += u8(U"i\u0307");
    }
    EXPECT_EQ(domain->lowered(), expected + ".com");
    EXPECT_EQ(domain->label_count(), 2u);

    // Inline at first (200 bytes), 300 bytes once lowered.
    const std::string stroked = u8(std::u32string(100, U'\u023A'));
    const auto from_inline = normalize_domain(stroked);
    ASSERT_TRUE(from_inline);
    EXPECT_EQ(from_inline->lowered(), u8(std::u32string(100, U'\u2C65')));
    EXPECT_FALSE(stored_inline(*from_inline));

    // Growth that starts in the last character.
    const std::string edge = std::string(255, 'a') + u8(U"İ");
    EXPECT_EQ(lower(edge), std::string(255, 'a') + u8(U"i\u0307"));
}

TEST(Buffer, MovesKeepTheText) {
    LoweredText short_text;
    lower_text("Short.Name", short_text);
    LoweredText long_text;
    lower_text(std::string(500, 'L'), long_text);
    const char* long_data = long_text.data();

    LoweredText moved_short(std::move(short_text));
    EXPECT_EQ(moved_short.view(), "short.name");
    EXPECT_EQ(short_text.size(), 0u);  // NOLINT(bugprone-use-after-move)

    LoweredText moved_long(std::move(long_text));
    EXPECT_EQ(moved_long.view(), std::string(500, 'l'));
    EXPECT_EQ(moved_long.data(), long_data);  // the heap block changes hands
    EXPECT_EQ(long_text.size(), 0u);          // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(long_text.capacity(), LoweredText::INLINE_CAPACITY);

    moved_long = std::move(moved_short);
    EXPECT_EQ(moved_long.view(), "short.name");
    EXPECT_EQ(moved_long.capacity(), LoweredText::INLINE_CAPACITY);
}

TEST(Buffer, ReserveKeepsTheBytes) {
    LoweredText text;
    lower_text("Kept", text);
    text.reserve(1000);
    EXPECT_EQ(text.view(), "kept");
    EXPECT_GE(text.capacity(), 1000u);
    text.reserve(10);
    EXPECT_GE(text.capacity(), 1000u);
    EXPECT_EQ(text.view(), "kept");
}

TEST(Buffer, NoAllocationUpToTheInlineCapacity) {
    SKIP_UNLESS_ALLOCATIONS_COUNTED();
    for (const std::string& text : {std::string("Mail.Example.CO.UK."), std::string(LoweredText::INLINE_CAPACITY, 'A'),
                                    u8(U"ΟΔΟΣ.Παράδειγμα.ΕΛ"), u8(std::u32string(85, U'K'))}) {
        const AllocationCount count;
        const auto domain = normalize_domain(text);
        EXPECT_TRUE(domain);
        EXPECT_EQ(count.allocations(), 0u) << text;
    }
    const std::string longer(LoweredText::INLINE_CAPACITY + 1, 'A');
    const AllocationCount count;
    const auto domain = normalize_domain(longer);
    EXPECT_EQ(count.allocations(), 1u);
}

TEST(Buffer, GrowingAllocatesOnce) {
    SKIP_UNLESS_ALLOCATIONS_COUNTED();
    const std::string text = std::string(300, 'x') + "." + u8(std::u32string(400, U'Ⱥ'));  // 1101 bytes to 1501
    const AllocationCount count;
    const auto domain = normalize_domain(text);
    ASSERT_TRUE(domain);
    EXPECT_EQ(domain->lowered().size(), 1501u);
    EXPECT_EQ(count.allocations(), 2u);  // the reserve, then one growth
}

// Exhausted memory surfaces as std::bad_alloc, at the first reserve or at a
// growth, and every block taken so far is given back.
TEST(Buffer, ExhaustedMemoryPropagatesAndLeaksNothing) {
    SKIP_UNLESS_ALLOCATIONS_COUNTED();
    const std::string long_name = std::string(300, 'A') + ".Com";
    const std::string growing = u8(std::u32string(200, U'İ'));  // inline at first, then on the heap twice
    const std::string grows_on_heap = std::string(300, 'a') + u8(std::u32string(100, U'Ⱥ'));
    for (const std::string* text : {&long_name, &growing, &grows_on_heap}) {
        for (int succeeding = 0; succeeding < 2; ++succeeding) {
            const AllocationCount count;
            FailingAllocations failing(succeeding);
            EXPECT_THROW(normalize_domain(*text), std::bad_alloc);
            EXPECT_EQ(count.live(), 0) << succeeding;
            if (text == &long_name) {
                break;  // only one allocation to fail
            }
        }
    }
    LoweredText kept;
    lower_text("Kept", kept);
    {
        FailingAllocations failing(0);
        EXPECT_THROW(kept.reserve(1000), std::bad_alloc);
    }
    EXPECT_EQ(kept.view(), "kept");
}

TEST(LowerText, ReplacesTheContentsAndKeepsEveryDot) {
    LoweredText out;
    lower_text(std::string(400, 'Z'), out);
    lower_text("A..B.", out);
    EXPECT_EQ(out.view(), "a..b.");
    lower_text("", out);
    EXPECT_EQ(out.view(), "");
    lower_text(u8(U"*.ΔΟΜΑΙΝ.Σ"), out);
    EXPECT_EQ(out.view(), u8(U"*.δομαιν.ς"));
}

// Bytes that are not UTF-8 are not expected, but must not be read out of
// bounds nor break the dot count; they come through unchanged.
TEST(NotUtf8, StrayAndCutShortSequencesPassThrough) {
    const std::string_view cases[] = {"\xE2\x82", "A.\xF0\x9F\x98", "\x80", "\xC4.a", "\xCE\xA3\xE2", "\xFF\xFE",
                                      "\xF4\x90\x80\x80", "\xF7\xBF\xBF\xBF"};
    for (const std::string_view text : cases) {
        const auto domain = normalize_domain(text);
        ASSERT_TRUE(domain) << ::testing::PrintToString(text);
        EXPECT_EQ(domain->label_count(), static_cast<std::size_t>(std::count(text.begin(), text.end(), '.')) + 1);
    }
    EXPECT_EQ(lowered_of("\xC4.A"), "\xC4.a");  // the dot is not taken for a continuation byte
    EXPECT_EQ(lowered_of("A.\xF0\x9F\x98"), "a.\xF0\x9F\x98");
    EXPECT_EQ(lowered_of("A\xCE\xA3\xE2"), "a\xCF\x82\xE2");  // final sigma, then a cut-short byte
    EXPECT_EQ(lowered_of("\xF7\xBF\xBF\xBF"), "\xF7\xBF\xBF\xBF");
}

// Around a sigma a stray byte counts as a character that is neither cased nor
// case-ignorable, read backwards as forwards.
TEST(NotUtf8, StrayBytesEndTheSigmaScans) {
    EXPECT_EQ(lowered_of("A\xC3\xA9\x80\xCE\xA3"), "a\xC3\xA9\x80\xCF\x83");  // é, then a stray byte
    EXPECT_EQ(lowered_of("A\x80\xCE\xA3"), "a\x80\xCF\x83");
    EXPECT_EQ(lowered_of("A\xCE\xA3\x80" "B"), "a\xCF\x82\x80" "b");
    EXPECT_EQ(lowered_of("A\xCE\xA3\xC3" "B"), "a\xCF\x82\xC3" "b");  // a lead byte without its continuation
    EXPECT_EQ(lowered_of("\xCE\xA3\xCE"), "\xCF\x83\xCE");
}

TEST(NotUtf8, RandomBytesKeepTheInvariants) {
    std::mt19937 random(20251208);
    std::uniform_int_distribution<int> length_of(0, 70);
    std::uniform_int_distribution<int> byte_of(0, 255);
    const char frequent[] = {'.', 'A', '\xCE', '\xA3', '\xC4', '\xB0', '\x80', '\xF0'};
    for (int round = 0; round < 50000; ++round) {
        std::string text(static_cast<std::size_t>(length_of(random)), '\0');
        for (char& c : text) {
            const int pick = byte_of(random);
            c = pick < 128 ? frequent[pick % 8] : static_cast<char>(byte_of(random));
        }
        const auto domain = normalize_domain(text);
        std::string_view stripped = text;
        if (!stripped.empty() && stripped.back() == '.') {
            stripped.remove_suffix(1);
        }
        const bool valid = !stripped.empty() && stripped.front() != '.' && stripped.back() != '.' &&
                           stripped.find("..") == std::string_view::npos;
        ASSERT_EQ(domain.has_value(), valid) << ::testing::PrintToString(text);
        if (domain) {
            EXPECT_EQ(domain->original().data(), text.data());
            EXPECT_EQ(domain->original().size(), stripped.size());
            const auto dots = static_cast<std::size_t>(std::count(domain->lowered().begin(), domain->lowered().end(), '.'));
            EXPECT_EQ(domain->label_count(), dots + 1) << ::testing::PrintToString(text);
            EXPECT_EQ(dots, static_cast<std::size_t>(std::count(stripped.begin(), stripped.end(), '.')));
        }
    }
}

// Random mixes of the characters that take special paths, valid UTF-8, against the model.
TEST(Model, RandomTextsLowerAsTheModelDoes) {
    const std::u32string alphabet =
        U"AaZz09-.'.:^`ΣΣΣσΑİIK\u212A\u1E9E\u023A\u0345\u02B0\u0300ÄÖß\u3002\U0001E900\U0001F600\U00016EA0\uA7CE";
    std::mt19937 random(17);
    std::uniform_int_distribution<std::size_t> length_of(0, 60);
    std::uniform_int_distribution<std::size_t> index_of(0, alphabet.size() - 1);
    for (int round = 0; round < 20000; ++round) {
        std::u32string cps(length_of(random), U'a');
        for (char32_t& cp : cps) {
            cp = alphabet[index_of(random)];
        }
        const std::string text = u8(cps);
        ASSERT_EQ(lower(text), model_lower(text)) << text;
    }
}

}  // namespace
}  // namespace lookup
