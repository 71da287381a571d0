// A plain lowering of domains straight from the Unicode data files, to hold
// the engine's table-driven, block-wise lowering against: one code point at a
// time, simple mappings from UnicodeData.txt, U+0130 and the final sigma by
// hand, Cased and Case_Ignorable from DerivedCoreProperties.txt.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "utf8_repair.h"

namespace fuzz {

class ReferenceLowering {
public:
    explicit ReferenceLowering(const std::string& unicode_dir) : cased_(0x110000), ignorable_(0x110000) {
        read_unicode_data(unicode_dir + "/UnicodeData.txt");
        read_properties(unicode_dir + "/DerivedCoreProperties.txt");
        if (lower_.size() < 1000) {
            std::fprintf(stderr, "reference lowering: %s holds too few mappings\n", unicode_dir.c_str());
            std::abort();
        }
    }

    // The lowered text of a domain (one trailing dot dropped), or nothing for
    // an empty text or an empty label.
    std::optional<std::string> lower_domain(std::vector<char32_t> text) const {
        if (!text.empty() && text.back() == U'.') {
            text.pop_back();
        }
        if (text.empty()) {
            return std::nullopt;
        }
        std::vector<char32_t> lowered;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char32_t cp = text[i];
            if (cp == 0x130) {
                lowered.push_back(U'i');
                lowered.push_back(0x307);
            } else if (cp == 0x3A3) {
                lowered.push_back(final_sigma(text, i) ? 0x3C2 : 0x3C3);
            } else if (const auto found = lower_.find(cp); found != lower_.end()) {
                lowered.push_back(found->second);
            } else {
                lowered.push_back(cp);
            }
        }
        char32_t previous = U'.';
        for (const char32_t cp : lowered) {
            if (cp == U'.' && previous == U'.') {
                return std::nullopt;
            }
            previous = cp;
        }
        if (previous == U'.') {
            return std::nullopt;
        }
        return encode_utf8(lowered);
    }

private:
    bool final_sigma(const std::vector<char32_t>& text, std::size_t at) const {
        std::size_t i = at;
        bool before = false;
        while (i > 0) {
            --i;
            if (!ignorable_[text[i]]) {
                before = cased_[text[i]];
                break;
            }
        }
        bool after = false;
        for (std::size_t k = at + 1; k < text.size(); ++k) {
            if (!ignorable_[text[k]]) {
                after = cased_[text[k]];
                break;
            }
        }
        return before && !after;
    }

    static std::vector<std::string> fields(const std::string& line, char separator) {
        std::vector<std::string> out;
        std::stringstream stream(line);
        std::string field;
        while (std::getline(stream, field, separator)) {
            const auto first = field.find_first_not_of(' ');
            const auto last = field.find_last_not_of(' ');
            out.push_back(first == std::string::npos ? "" : field.substr(first, last - first + 1));
        }
        return out;
    }

    void read_unicode_data(const std::string& path) {
        std::ifstream in(path);
        std::string line;
        while (std::getline(in, line)) {
            const auto f = fields(line, ';');
            if (f.size() > 13 && !f[13].empty()) {
                lower_[static_cast<char32_t>(std::stoul(f[0], nullptr, 16))] =
                    static_cast<char32_t>(std::stoul(f[13], nullptr, 16));
            }
        }
    }

    void read_properties(const std::string& path) {
        std::ifstream in(path);
        std::string line;
        while (std::getline(in, line)) {
            line = line.substr(0, line.find('#'));
            const auto f = fields(line, ';');
            if (f.size() < 2 || (f[1] != "Cased" && f[1] != "Case_Ignorable")) {
                continue;
            }
            const auto dots = f[0].find("..");
            const unsigned long first = std::stoul(f[0].substr(0, dots), nullptr, 16);
            const unsigned long last = dots == std::string::npos ? first : std::stoul(f[0].substr(dots + 2), nullptr, 16);
            auto& property = f[1] == "Cased" ? cased_ : ignorable_;
            for (unsigned long cp = first; cp <= last; ++cp) {
                property[cp] = true;
            }
        }
    }

    std::unordered_map<char32_t, char32_t> lower_;
    std::vector<bool> cased_;
    std::vector<bool> ignorable_;
};

}  // namespace fuzz
