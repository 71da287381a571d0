// The case data and the lowering of single characters, checked for every code
// point against the Unicode files themselves, read here with code of the
// test's own.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "case_data.h"
#include "normalize.h"

namespace lookup {
namespace {

constexpr char32_t CODE_SPACE = 0x110000;

std::string unicode_file(const std::string& name) { return std::string(LOOKUP_DATA_DIR) + "/unicode/17.0.0/" + name; }

std::vector<std::string> fields_of(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, ';')) {
        const auto first = field.find_first_not_of(' ');
        const auto last = field.find_last_not_of(' ');
        fields.push_back(first == std::string::npos ? "" : field.substr(first, last - first + 1));
    }
    return fields;
}

std::vector<char32_t> code_points_of(const std::string& text) {
    std::vector<char32_t> cps;
    std::istringstream in(text);
    std::string item;
    while (in >> item) {
        cps.push_back(static_cast<char32_t>(std::stoul(item, nullptr, 16)));
    }
    return cps;
}

std::string utf8_of(const std::vector<char32_t>& cps) {
    std::string out;
    for (const char32_t cp : cps) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::string name_of(char32_t cp) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(cp));
    return text;
}

// What the three files say, read plainly.
struct UnicodeFacts {
    std::vector<char32_t> simple_lower = std::vector<char32_t>(CODE_SPACE);
    std::vector<bool> cased = std::vector<bool>(CODE_SPACE);
    std::vector<bool> case_ignorable = std::vector<bool>(CODE_SPACE);
    std::map<char32_t, std::vector<char32_t>> full_lower;  // unconditional SpecialCasing entries
    std::size_t mappings = 0;

    UnicodeFacts() {
        for (char32_t cp = 0; cp < CODE_SPACE; ++cp) {
            simple_lower[cp] = cp;
        }
        std::ifstream data(unicode_file("UnicodeData.txt"));
        std::string line;
        while (std::getline(data, line)) {
            const auto fields = fields_of(line);
            if (fields.size() > 13 && !fields[13].empty()) {
                simple_lower[std::stoul(fields[0], nullptr, 16)] = std::stoul(fields[13], nullptr, 16);
                ++mappings;
            }
        }
        std::ifstream properties(unicode_file("DerivedCoreProperties.txt"));
        while (std::getline(properties, line)) {
            const auto fields = fields_of(line.substr(0, line.find('#')));
            if (fields.size() < 2 || (fields[1] != "Cased" && fields[1] != "Case_Ignorable")) {
                continue;
            }
            const auto dots = fields[0].find("..");
            const char32_t first = std::stoul(fields[0].substr(0, dots), nullptr, 16);
            const char32_t last = dots == std::string::npos ? first : std::stoul(fields[0].substr(dots + 2), nullptr, 16);
            auto& property = fields[1] == "Cased" ? cased : case_ignorable;
            for (char32_t cp = first; cp <= last; ++cp) {
                property[cp] = true;
            }
        }
        std::ifstream special(unicode_file("SpecialCasing.txt"));
        while (std::getline(special, line)) {
            const auto fields = fields_of(line.substr(0, line.find('#')));
            // code; lower; title; upper; conditions (absent or empty when there are none)
            const bool conditional = fields.size() > 4 && !fields[4].empty();
            if (fields.size() >= 4 && !conditional) {
                full_lower[std::stoul(fields[0], nullptr, 16)] = code_points_of(fields[1]);
            }
        }
    }

    std::vector<char32_t> lowercase(char32_t cp) const {
        const auto special_entry = full_lower.find(cp);
        return special_entry != full_lower.end() ? special_entry->second : std::vector<char32_t>{simple_lower[cp]};
    }
};

const UnicodeFacts& facts() {
    static const UnicodeFacts read;
    return read;
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
    EXPECT_GT(facts().mappings, 1400u);
    EXPECT_EQ(facts().simple_lower[U'A'], U'a');
    EXPECT_TRUE(facts().cased[0x1E921]);  // ADLAM SMALL LETTER SHA, near the end of the cased letters
    EXPECT_TRUE(facts().case_ignorable[0xE01EF]);  // the last variation selector
    ASSERT_EQ(facts().full_lower.count(0x0130), 1u);
    EXPECT_EQ(facts().full_lower.at(0x0130), (std::vector<char32_t>{0x0069, 0x0307}));
}

TEST(CaseData, SimpleLowercaseOfEveryCodePoint) {
    Mismatches mismatches;
    for (char32_t cp = 0; cp < CODE_SPACE; ++cp) {
        if (!is_surrogate(cp) && simple_lowercase(cp) != facts().simple_lower[cp]) {
            mismatches.add(name_of(cp) + " -> " + name_of(simple_lowercase(cp)) + ", expected " +
                           name_of(facts().simple_lower[cp]));
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
        if (is_cased(cp) != facts().cased[cp]) {
            mismatches.add(name_of(cp) + (is_cased(cp) ? " is" : " is not") + " Cased");
        }
        if (is_case_ignorable(cp) != facts().case_ignorable[cp]) {
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
        lower_text(utf8_of({cp}), out);
        const std::string expected = utf8_of(facts().lowercase(cp));
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
        const std::string domain = "Sixteen-Bytes-AB" + utf8_of({cp}) + "x.Example";
        const auto normalized = normalize_domain(domain);
        const std::string expected = "sixteen-bytes-ab" + utf8_of(facts().lowercase(cp)) + "x.example";
        if (!normalized || normalized->lowered() != expected || normalized->label_count() != 2) {
            mismatches.add(name_of(cp) + " inside a domain");
        }
    }
    EXPECT_EQ(mismatches.count(), 0u) << mismatches.text();
}

}  // namespace
}  // namespace lookup
