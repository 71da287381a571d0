// The case data and the lowering of single characters, checked for every code
// point against the Unicode files themselves, as the reference lowering reads
// them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

#include "case_data.h"
#include "normalize.h"
#include "reference_data.h"
#include "utf8.h"

namespace lookup {
namespace {

using testing::reference_lowering;

constexpr char32_t CODE_SPACE = testing::ReferenceLowering::CODE_SPACE;

std::string utf8_of(std::u32string_view cps) { return utf8::encode_all(cps); }

std::string name_of(char32_t cp) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(cp));
    return text;
}

bool is_surrogate(char32_t cp) { return cp >= 0xD800 && cp <= 0xDFFF; }

// Collects mismatches so that one broken range does not print a million lines.
class Mismatches {
public:
    void add(const std::string& what) {
        if (++count_ <= 20) {
            text_ += what + "\n";
        }
    }
    std::size_t count() const { return count_; }
    const std::string& text() const { return text_; }

private:
    std::size_t count_ = 0;
    std::string text_;
};

TEST(CaseData, TheFilesWereReadInFull) {
    EXPECT_GT(reference_lowering().mapping_count(), 1400u);
    EXPECT_EQ(reference_lowering().simple_lower(U'A'), U'a');
    EXPECT_TRUE(reference_lowering().cased(0x1E921));  // ADLAM SMALL LETTER SHA, near the end of the cased letters
    EXPECT_TRUE(reference_lowering().case_ignorable(0xE01EF));  // the last variation selector
    // The one full mapping that differs from the simple one.
    EXPECT_EQ(reference_lowering().full_mappings(), (std::map<char32_t, std::u32string>{{0x0130, U"i\u0307"}}));
}

TEST(CaseData, SimpleLowercaseOfEveryCodePoint) {
    Mismatches mismatches;
    for (char32_t cp = 0; cp < CODE_SPACE; ++cp) {
        if (!is_surrogate(cp) && simple_lowercase(cp) != reference_lowering().simple_lower(cp)) {
            mismatches.add(name_of(cp) + " -> " + name_of(simple_lowercase(cp)) + ", expected " +
                           name_of(reference_lowering().simple_lower(cp)));
        }
    }
    EXPECT_EQ(mismatches.count(), 0u) << mismatches.text();
}

TEST(CaseData, CasedAndCaseIgnorableOfEveryCodePoint) {
    Mismatches mismatches;
    for (char32_t cp = 0; cp < CODE_SPACE; ++cp) {
        if (is_surrogate(cp)) {
            continue;
        }
        if (is_cased(cp) != reference_lowering().cased(cp)) {
            mismatches.add(name_of(cp) + (is_cased(cp) ? " is" : " is not") + " Cased");
        }
        if (is_case_ignorable(cp) != reference_lowering().case_ignorable(cp)) {
            mismatches.add(name_of(cp) + (is_case_ignorable(cp) ? " is" : " is not") + " Case_Ignorable");
        }
    }
    EXPECT_EQ(mismatches.count(), 0u) << mismatches.text();
}

TEST(CaseData, BeyondTheCodeSpaceNothingMapsAndNothingIsCased) {
    for (const char32_t cp : {char32_t{0x110000}, char32_t{0x1FFFFF}, char32_t{0xFFFFFFFF}}) {
        EXPECT_EQ(simple_lowercase(cp), cp);
        EXPECT_FALSE(is_cased(cp));
        EXPECT_FALSE(is_case_ignorable(cp));
    }
}

TEST(CaseData, AsciiPropertiesAreTheLettersAndFiveMarks) {
    for (char32_t cp = 0; cp < 0x80; ++cp) {
        const bool letter = (cp >= U'A' && cp <= U'Z') || (cp >= U'a' && cp <= U'z');
        EXPECT_EQ(is_cased(cp), letter) << name_of(cp);
        EXPECT_EQ(is_case_ignorable(cp), std::u32string_view(U"'.:^`").find(cp) != std::u32string_view::npos)
            << name_of(cp);
    }
}

TEST(CaseData, Unicode17Additions) {
    EXPECT_EQ(simple_lowercase(0xA7CE), char32_t{0xA7CF});
    EXPECT_EQ(simple_lowercase(0xA7D2), char32_t{0xA7D3});
    EXPECT_EQ(simple_lowercase(0xA7D4), char32_t{0xA7D5});
    for (char32_t cp = 0x16EA0; cp <= 0x16EB8; ++cp) {
        EXPECT_EQ(simple_lowercase(cp), cp + 0x1B) << name_of(cp);
        EXPECT_TRUE(is_cased(cp)) << name_of(cp);
    }
}

// Each code point alone, as lower_text sees it: its full lowercase mapping
// (a lone capital sigma has nothing cased before it, so it is not final).
TEST(CaseData, LoweringOfEveryCodePointAlone) {
    Mismatches mismatches;
    LoweredText out;
    for (char32_t cp = 0; cp < CODE_SPACE; ++cp) {
        if (is_surrogate(cp)) {
            continue;
        }
        lower_text(utf8_of({&cp, 1}), out);
        const std::string expected = utf8_of(reference_lowering().full_lower(cp));
        if (out.view() != expected) {
            mismatches.add(name_of(cp) + " lowers to the wrong text");
        }
    }
    EXPECT_EQ(mismatches.count(), 0u) << mismatches.text();
}

// The same code points behind a full 16-byte ASCII block and inside a domain.
TEST(CaseData, LoweringOfEveryCodePointInsideADomain) {
    Mismatches mismatches;
    for (char32_t cp = 0; cp < CODE_SPACE; ++cp) {
        if (is_surrogate(cp) || cp == U'.') {
            continue;
        }
        const std::string domain = "Sixteen-Bytes-AB" + utf8_of({&cp, 1}) + "x.Example";
        const auto normalized = normalize_domain(domain);
        const std::string expected = "sixteen-bytes-ab" + utf8_of(reference_lowering().full_lower(cp)) + "x.example";
        if (!normalized || normalized->lowered() != expected || normalized->label_count() != 2) {
            mismatches.add(name_of(cp) + " inside a domain");
        }
    }
    EXPECT_EQ(mismatches.count(), 0u) << mismatches.text();
}

}  // namespace
}  // namespace lookup
