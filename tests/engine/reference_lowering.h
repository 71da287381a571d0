// A plain lowering straight from the Unicode data files, to hold the engine's
// table-driven, block-wise lowering against (the gtest suite and the query
// fuzzer share it): one code point at a time, the simple mappings of
// UnicodeData.txt, the unconditional full mappings of SpecialCasing.txt
// (U+0130), and the final sigma from Cased and Case_Ignorable of
// DerivedCoreProperties.txt. Read with code of its own, not the generator's.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "utf8.h"

namespace lookup::testing {

class ReferenceLowering {
public:
    static constexpr char32_t CODE_SPACE = 0x110000;

    explicit ReferenceLowering(const std::string& unicode_dir)
        : simple_(CODE_SPACE), cased_(CODE_SPACE), ignorable_(CODE_SPACE) {
        for (char32_t cp = 0; cp < CODE_SPACE; ++cp) {
            simple_[cp] = cp;
        }
        read_unicode_data(unicode_dir + "/UnicodeData.txt");
        read_properties(unicode_dir + "/DerivedCoreProperties.txt");
        read_special_casing(unicode_dir + "/SpecialCasing.txt");
        if (mappings_ < 1000 || full_.empty()) {
            std::fprintf(stderr, "reference lowering: %s holds too little case data\n", unicode_dir.c_str());
            std::abort();
        }
    }

    // Code points beyond the code space have no case data.
    char32_t simple_lower(char32_t cp) const { return cp < CODE_SPACE ? simple_[cp] : cp; }
    bool cased(char32_t cp) const { return cp < CODE_SPACE && cased_[cp]; }
    bool case_ignorable(char32_t cp) const { return cp < CODE_SPACE && ignorable_[cp]; }
    std::size_t mapping_count() const { return mappings_; }
    const std::map<char32_t, std::u32string>& full_mappings() const { return full_; }

    // The full lowercase of one code point, without context.
    std::u32string full_lower(char32_t cp) const {
        const auto found = full_.find(cp);
        return found != full_.end() ? found->second : std::u32string(1, simple_lower(cp));
    }

    // Full lowercasing of a text (no language tailoring), final sigma included.
    std::u32string lower(std::u32string_view text) const {
        std::u32string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            out += text[i] == 0x3A3 ? std::u32string(1, final_sigma(text, i) ? 0x3C2 : 0x3C3) : full_lower(text[i]);
        }
        return out;
    }

    // The same over valid UTF-8.
    std::string lower_utf8(std::string_view text) const { return utf8::encode_all(lower(*utf8::decode_strict(text))); }

    // The lowered text of a domain (one trailing dot dropped), or nothing for
    // an empty text or an empty label.
    std::optional<std::string> lower_domain(std::u32string_view text) const {
        if (text.ends_with(U'.')) {
            text.remove_suffix(1);
        }
        if (text.empty() || text.front() == U'.' || text.back() == U'.' || text.find(U"..") != text.npos) {
            return std::nullopt;
        }
        return utf8::encode_all(lower(text));
    }

private:
    // Preceded by a cased letter and not followed by one, case-ignorable
    // characters passed over on both sides.
    bool final_sigma(std::u32string_view text, std::size_t at) const {
        std::size_t before = at;
        while (before > 0 && case_ignorable(text[before - 1])) {
            --before;
        }
        std::size_t after = at + 1;
        while (after < text.size() && case_ignorable(text[after])) {
            ++after;
        }
        return before > 0 && cased(text[before - 1]) && !(after < text.size() && cased(text[after]));
    }

    static std::vector<std::string> fields(const std::string& line) {
        std::vector<std::string> out;
        std::stringstream stream(line.substr(0, line.find('#')));
        std::string field;
        while (std::getline(stream, field, ';')) {
            const auto first = field.find_first_not_of(' ');
            const auto last = field.find_last_not_of(' ');
            out.push_back(first == std::string::npos ? "" : field.substr(first, last - first + 1));
        }
        return out;
    }

    static char32_t hex(const std::string& text) { return static_cast<char32_t>(std::stoul(text, nullptr, 16)); }

    // Calls `take` with the fields of each line of a file that has some.
    template <class Take>
    static void read_lines(const std::string& path, Take take) {
        std::ifstream in(path);
        std::string line;
        while (std::getline(in, line)) {
            const std::vector<std::string> f = fields(line);
            if (f.size() >= 2) {
                take(f);
            }
        }
    }

    void read_unicode_data(const std::string& path) {
        read_lines(path, [&](const std::vector<std::string>& f) {
            if (f.size() > 13 && !f[13].empty()) {
                simple_[hex(f[0])] = hex(f[13]);
                ++mappings_;
            }
        });
    }

    void read_properties(const std::string& path) {
        read_lines(path, [&](const std::vector<std::string>& f) {
            if (f[1] != "Cased" && f[1] != "Case_Ignorable") {
                return;
            }
            const auto dots = f[0].find("..");
            const char32_t first = hex(f[0].substr(0, dots));
            const char32_t last = dots == std::string::npos ? first : hex(f[0].substr(dots + 2));
            for (char32_t cp = first; cp <= last; ++cp) {
                (f[1] == "Cased" ? cased_ : ignorable_)[cp] = true;
            }
        });
    }

    // code; lower; title; upper; conditions (absent or empty when there are none)
    void read_special_casing(const std::string& path) {
        read_lines(path, [&](const std::vector<std::string>& f) {
            if (f.size() < 4 || (f.size() > 4 && !f[4].empty())) {
                return;
            }
            std::u32string lowered;
            std::istringstream items(f[1]);
            for (std::string item; items >> item;) {
                lowered += hex(item);
            }
            if (lowered != std::u32string(1, simple_lower(hex(f[0])))) {
                full_[hex(f[0])] = lowered;
            }
        });
    }

    std::vector<char32_t> simple_;
    std::vector<bool> cased_;
    std::vector<bool> ignorable_;
    std::map<char32_t, std::u32string> full_;  // unconditional mappings that differ from the simple one
    std::size_t mappings_ = 0;
};

}  // namespace lookup::testing
