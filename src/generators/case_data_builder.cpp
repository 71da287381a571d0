// case-data-builder UNICODE_DIR OUT_DIR
//
// Reads UnicodeData.txt, DerivedCoreProperties.txt and SpecialCasing.txt of
// one Unicode version and writes OUT_DIR/case_tables.cpp: the simple lowercase
// mappings and the properties Cased and Case_Ignorable as the two-stage tables
// that src/engine/case_tables.h describes. The same files always give the
// same bytes. On any error nothing is written and the exit status is 1.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "build_error.h"
#include "case_tables.h"

namespace {

namespace fs = std::filesystem;
namespace tables = lookup::case_tables;

constexpr char32_t CODE_POINTS = tables::CODE_POINT_LIMIT;
constexpr std::size_t BLOCK_SIZE = std::size_t{1} << tables::BLOCK_SHIFT;
constexpr std::size_t BLOCK_COUNT = CODE_POINTS >> tables::BLOCK_SHIFT;
constexpr std::int32_t DELTA_LIMIT = std::int32_t{1} << (31 - tables::DELTA_SHIFT);

using builder::BuildError;

// One input file, read whole, with its lines and the place of each.
class SourceFile {
public:
    explicit SourceFile(const fs::path& path) : path_(path) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            throw BuildError(0, path.string() + ": cannot be read");
        }
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            lines_.push_back(std::move(line));
        }
        if (in.bad()) {
            throw BuildError(0, path.string() + ": read error");
        }
    }

    const std::vector<std::string>& lines() const { return lines_; }
    std::string name() const { return path_.filename().string(); }

    // Calls `take(index, fields)` for each line that holds more than a
    // comment, with its ';'-separated fields.
    template <class Take>
    void for_each_entry(Take take) const;

    [[noreturn]] void fail(std::size_t index, const std::string& what) const {
        throw BuildError(0, path_.string() + ":" + std::to_string(index + 1) + ": " + what);
    }
    [[noreturn]] void fail(const std::string& what) const { throw BuildError(0, path_.string() + ": " + what); }

private:
    fs::path path_;
    std::vector<std::string> lines_;
};

std::string_view trim(std::string_view text) {
    const auto is_space = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && is_space(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && is_space(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    for (;;) {
        const std::size_t at = text.find(separator);
        pieces.push_back(text.substr(0, at));
        if (at == std::string_view::npos) {
            return pieces;
        }
        text.remove_prefix(at + 1);
    }
}

// The text before any '#', trimmed.
std::string_view strip_comment(std::string_view line) { return trim(line.substr(0, line.find('#'))); }

template <class Take>
void SourceFile::for_each_entry(Take take) const {
    for (std::size_t index = 0; index < lines_.size(); ++index) {
        const std::string_view content = strip_comment(lines_[index]);
        if (!content.empty()) {
            take(index, split(content, ';'));
        }
    }
}

std::string hex(char32_t cp) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(cp));
    return text;
}

bool parse_code_point(std::string_view text, char32_t& cp) {
    text = trim(text);
    if (text.size() < 4 || text.size() > 6) {
        return false;
    }
    std::uint32_t value = 0;
    for (const char c : text) {
        value <<= 4;
        if (c >= '0' && c <= '9') {
            value |= static_cast<std::uint32_t>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            value |= static_cast<std::uint32_t>(c - 'A' + 10);
        } else {
            return false;
        }
    }
    if (value >= CODE_POINTS) {
        return false;
    }
    cp = value;
    return true;
}

bool is_surrogate(char32_t cp) { return cp >= 0xD800 && cp <= 0xDFFF; }

// What the three files say about every code point.
struct CaseData {
    std::vector<char32_t> lowercase = std::vector<char32_t>(CODE_POINTS);
    std::vector<std::uint8_t> properties = std::vector<std::uint8_t>(CODE_POINTS, 0);
    std::string version;
    std::size_t mapped = 0;
    std::size_t cased = 0;
    std::size_t case_ignorable = 0;

    CaseData() {
        for (char32_t cp = 0; cp < CODE_POINTS; ++cp) {
            lowercase[cp] = cp;
        }
    }
};

// The version that the first line of a UCD file names ("# Name-17.0.0.txt").
std::string version_of(const SourceFile& file) {
    const std::string prefix = "# " + file.name().substr(0, file.name().size() - 4) + "-";
    if (file.lines().empty() || file.lines()[0].rfind(prefix, 0) != 0 || file.lines()[0].size() < prefix.size() + 5 ||
        file.lines()[0].substr(file.lines()[0].size() - 4) != ".txt") {
        file.fail(0, "expected the version line \"" + prefix + "<version>.txt\"");
    }
    const std::string& line = file.lines()[0];
    return line.substr(prefix.size(), line.size() - 4 - prefix.size());
}

void read_unicode_data(const SourceFile& file, CaseData& data) {
    bool seen_any = false;
    char32_t previous = 0;
    bool in_range = false;
    std::string range_name;
    const auto& lines = file.lines();
    for (std::size_t index = 0; index < lines.size(); ++index) {
        const std::vector<std::string_view> fields = split(lines[index], ';');
        if (fields.size() != 15) {
            file.fail(index, "expected 15 fields, found " + std::to_string(fields.size()));
        }
        char32_t cp = 0;
        if (!parse_code_point(fields[0], cp)) {
            file.fail(index, "bad code point \"" + std::string(fields[0]) + "\"");
        }
        if (seen_any && cp <= previous) {
            file.fail(index, hex(cp) + " is out of order");
        }
        const std::string_view name = fields[1];
        const bool is_first = name.ends_with(", First>");
        const bool is_last = name.ends_with(", Last>");
        if (in_range != is_last) {
            file.fail(index, in_range ? "a range's First line is not followed by its Last line"
                                      : "a range's Last line without its First line");
        }
        if (is_last && name.substr(0, name.size() - 7) != range_name) {
            file.fail(index, "the Last line names another range than its First line");
        }
        char32_t lower = cp;
        if (!trim(fields[13]).empty() && !parse_code_point(fields[13], lower)) {
            file.fail(index, "bad simple lowercase mapping \"" + std::string(fields[13]) + "\"");
        }
        if (lower != cp && (is_surrogate(lower) || lower == U'.')) {
            file.fail(index, hex(cp) + " lowercases to " + hex(lower) + ", which lowering cannot produce");
        }
        const std::int32_t delta = static_cast<std::int32_t>(lower) - static_cast<std::int32_t>(cp);
        if (delta >= DELTA_LIMIT || delta < -DELTA_LIMIT) {
            file.fail(index, "the mapping of " + hex(cp) + " is too far for the table records");
        }
        if (is_first) {
            in_range = true;
            range_name = std::string(name.substr(0, name.size() - 8));
            if (lower != cp) {
                file.fail(index, "a range with a lowercase mapping");
            }
        } else {
            if (lower != cp) {
                if (is_last) {
                    file.fail(index, "a range with a lowercase mapping");
                }
                data.lowercase[cp] = lower;
                ++data.mapped;
            }
            in_range = false;
        }
        seen_any = true;
        previous = cp;
    }
    if (in_range) {
        file.fail(lines.size() - 1, "the file ends inside a range");
    }
    if (!seen_any) {
        file.fail("no code points");
    }
}

void read_core_properties(const SourceFile& file, CaseData& data) {
    bool seen_cased = false;
    bool seen_ignorable = false;
    file.for_each_entry([&](std::size_t index, const std::vector<std::string_view>& fields) {
        if (fields.size() < 2) {
            file.fail(index, "expected \"code points ; property\"");
        }
        const std::string_view range = trim(fields[0]);
        const std::size_t dots = range.find("..");
        char32_t first = 0;
        char32_t last = 0;
        const bool parsed = dots == std::string_view::npos
                                ? parse_code_point(range, first) && parse_code_point(range, last)
                                : parse_code_point(range.substr(0, dots), first) &&
                                      parse_code_point(range.substr(dots + 2), last);
        if (!parsed || last < first) {
            file.fail(index, "bad code point range \"" + std::string(range) + "\"");
        }
        const std::string_view property = trim(fields[1]);
        std::uint8_t bit = 0;
        if (property == "Cased") {
            bit = tables::CASED;
            seen_cased = true;
        } else if (property == "Case_Ignorable") {
            bit = tables::CASE_IGNORABLE;
            seen_ignorable = true;
        } else {
            return;
        }
        for (char32_t cp = first; cp <= last; ++cp) {
            if ((data.properties[cp] & bit) != 0) {
                file.fail(index, hex(cp) + " is listed twice for " + std::string(property));
            }
            data.properties[cp] |= bit;
            ++(bit == tables::CASED ? data.cased : data.case_ignorable);
        }
    });
    if (!seen_cased || !seen_ignorable) {
        file.fail("no Cased or no Case_Ignorable property");
    }
}

// Lowering hard-codes the only full mapping that differs from the simple one
// (U+0130) and the Final_Sigma context of U+03A3; this refuses any data that
// adds another, so that a newer Unicode cannot slip past unnoticed.
void check_special_casing(const SourceFile& file, const CaseData& data) {
    bool seen_dotted_i = false;
    bool seen_final_sigma = false;
    file.for_each_entry([&](std::size_t index, const std::vector<std::string_view>& fields) {
        if ((fields.size() != 5 && fields.size() != 6) || !trim(fields.back()).empty()) {
            file.fail(index, "expected \"code; lower; title; upper; [conditions;]\"");
        }
        char32_t cp = 0;
        if (!parse_code_point(fields[0], cp)) {
            file.fail(index, "bad code point \"" + std::string(fields[0]) + "\"");
        }
        // An empty mapping (the character is dropped) occurs in tailorings.
        std::vector<char32_t> lower;
        const std::string_view lower_field = trim(fields[1]);
        for (const std::string_view item : lower_field.empty() ? std::vector<std::string_view>{} : split(lower_field, ' ')) {
            char32_t value = 0;
            if (item.empty() || !parse_code_point(item, value)) {
                file.fail(index, "bad lowercase mapping \"" + std::string(fields[1]) + "\"");
            }
            lower.push_back(value);
        }
        if (fields.size() == 6) {
            const std::string_view conditions = trim(fields[4]);
            bool language_specific = false;
            for (const std::string_view condition : split(conditions, ' ')) {
                // Language tags (tr, az, lt) are lowercase; contexts are capitalised.
                language_specific |= !condition.empty() && condition.front() >= 'a' && condition.front() <= 'z';
            }
            if (language_specific) {
                return;
            }
            if (conditions == "Final_Sigma" && cp == 0x03A3 && lower == std::vector<char32_t>{0x03C2}) {
                seen_final_sigma = true;
                return;
            }
            file.fail(index, "unexpected context-dependent lowercase mapping of " + hex(cp) + " (" +
                                 std::string(conditions) + ") that applies to every language");
        }
        if (cp == 0x0130 && lower == std::vector<char32_t>{0x0069, 0x0307}) {
            seen_dotted_i = true;
        } else if (lower.size() != 1 || lower[0] != data.lowercase[cp]) {
            file.fail(index, "the full lowercase mapping of " + hex(cp) +
                                 " differs from its simple mapping; only U+0130 is expected to");
        }
    });
    if (!seen_dotted_i) {
        file.fail("no lowercase mapping U+0130 -> U+0069 U+0307");
    }
    if (!seen_final_sigma) {
        file.fail("no Final_Sigma mapping U+03A3 -> U+03C2");
    }
}

struct Tables {
    std::vector<std::uint32_t> records;
    std::vector<std::uint8_t> block_of;
    std::vector<std::uint8_t> record_of;

    std::size_t bytes() const { return records.size() * 4 + block_of.size() + record_of.size(); }
};

// Numbers records and blocks in order of first appearance; record 0 is the
// empty one, which every code point beyond the data also gets.
Tables build_tables(const CaseData& data) {
    Tables out;
    std::map<std::uint32_t, std::size_t> record_numbers{{0, 0}};
    out.records.push_back(0);
    std::map<std::string, std::size_t> block_numbers;
    std::string block(BLOCK_SIZE, '\0');
    for (std::size_t b = 0; b < BLOCK_COUNT; ++b) {
        for (std::size_t i = 0; i < BLOCK_SIZE; ++i) {
            const char32_t cp = static_cast<char32_t>(b * BLOCK_SIZE + i);
            const std::int32_t delta = static_cast<std::int32_t>(data.lowercase[cp]) - static_cast<std::int32_t>(cp);
            const std::uint32_t record =
                (static_cast<std::uint32_t>(delta) << tables::DELTA_SHIFT) | data.properties[cp];
            const auto [at, added] = record_numbers.emplace(record, out.records.size());
            if (added) {
                out.records.push_back(record);
            }
            if (at->second > 0xFF) {
                throw BuildError(0, "more than 256 distinct case records; widen RECORD_OF in case_tables.h");
            }
            block[i] = static_cast<char>(at->second);
        }
        const auto [at, added] = block_numbers.emplace(block, block_numbers.size());
        if (added) {
            for (const char record : block) {
                out.record_of.push_back(static_cast<std::uint8_t>(record));
            }
        }
        if (at->second > 0xFF) {
            throw BuildError(0, "more than 256 distinct blocks; widen BLOCK_OF in case_tables.h");
        }
        out.block_of.push_back(static_cast<std::uint8_t>(at->second));
    }
    return out;
}

// Values `per_row` to a row; `row_note(i)` ("" for none) ends the row that
// begins with value i. All rows of an array but its last have one shape, so
// that no run of them reads as a repeat of another.
void write_rows(std::ostream& out, const std::vector<std::string>& values, std::size_t per_row,
                const std::function<std::string(std::size_t)>& row_note) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        out << (i % per_row == 0 ? "    " : " ") << values[i] << ',';
        if (i % per_row == per_row - 1 || i + 1 == values.size()) {
            const std::string note = row_note(i - i % per_row);
            out << (note.empty() ? "" : "  // " + note) << '\n';
        }
    }
}

// Five digits, so that every note has the same shape.
std::string code_point_note(std::size_t cp) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%05X", static_cast<unsigned>(cp));
    return text;
}

template <class Value>
std::vector<std::string> formatted(const std::vector<Value>& values, const char* format) {
    std::vector<std::string> texts;
    for (const Value value : values) {
        char text[16];
        std::snprintf(text, sizeof text, format, static_cast<unsigned>(value));
        texts.push_back(text);
    }
    return texts;
}

std::string render(const CaseData& data, const Tables& t) {
    std::ostringstream out;
    out << "// Unicode " << data.version << " case data for lowering domains, written by case-data-builder\n"
        << "// from UnicodeData.txt, DerivedCoreProperties.txt and SpecialCasing.txt.\n"
        << "// Do not edit: run the regenerate-case-data target.\n"
        << "// " << data.mapped << " simple lowercase mappings, " << data.cased << " Cased and "
        << data.case_ignorable << " Case_Ignorable code points.\n"
        << "// " << t.records.size() << " records, " << t.record_of.size() / BLOCK_SIZE << " blocks, "
        << t.bytes() << " bytes.\n"
        << "#include \"case_tables.h\"\n\n"
        << "namespace lookup::case_tables {\n\n"
        << "static_assert(BLOCK_SHIFT == " << tables::BLOCK_SHIFT << " && DELTA_SHIFT == " << tables::DELTA_SHIFT
        << " && CASED == " << tables::CASED << " && CASE_IGNORABLE == " << tables::CASE_IGNORABLE
        << ", \"case_tables.h no longer matches this data; run the regenerate-case-data target\");\n\n"
        << "// Each record: the distance to the simple lowercase mapping, shifted left by\n"
        << "// DELTA_SHIFT, above the bits CASED and CASE_IGNORABLE.\n"
        << "const std::uint32_t RECORDS[" << t.records.size() << "] = {\n";
    write_rows(out, formatted(t.records, "0x%08Xu"), 8, [](std::size_t) { return std::string(); });
    out << "};\n\n// The block of each run of 128 code points; a row covers 16 runs, from the\n"
        << "// code point named at its end.\n"
        << "const std::uint8_t BLOCK_OF[" << t.block_of.size() << "] = {\n";
    write_rows(out, formatted(t.block_of, "%u"), 16, [](std::size_t i) { return code_point_note(i * BLOCK_SIZE); });
    out << "};\n\n// The distinct blocks one after another, the record of each code point of a\n"
        << "// run; a row holds the records from the block and offset named at its end.\n"
        << "const std::uint8_t RECORD_OF[" << t.record_of.size() << "] = {\n";
    write_rows(out, formatted(t.record_of, "%u"), 32, [](std::size_t i) {
        return "block " + std::to_string(i / BLOCK_SIZE) + " + " + std::to_string(i % BLOCK_SIZE);
    });
    out << "};\n\n}  // namespace lookup::case_tables\n";
    return out.str();
}

void write_file(const fs::path& folder, const std::string& content) {
    if (!fs::is_directory(folder)) {
        throw BuildError(0, folder.string() + ": no such folder");
    }
    const fs::path target = folder / "case_tables.cpp";
    const fs::path partial = folder / "case_tables.cpp.partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out << content;
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(partial, ignored);
            throw BuildError(0, partial.string() + ": cannot be written");
        }
    }
    std::error_code error;
    fs::rename(partial, target, error);
    if (error) {
        fs::remove(partial, error);
        throw BuildError(0, target.string() + ": cannot be written");
    }
}

int run(const fs::path& unicode_dir, const fs::path& out_dir) {
    const SourceFile unicode_data(unicode_dir / "UnicodeData.txt");
    const SourceFile core_properties(unicode_dir / "DerivedCoreProperties.txt");
    const SourceFile special_casing(unicode_dir / "SpecialCasing.txt");

    CaseData data;
    data.version = version_of(core_properties);
    if (version_of(special_casing) != data.version) {
        special_casing.fail(0, "is of another Unicode version than DerivedCoreProperties.txt");
    }
    read_unicode_data(unicode_data, data);
    read_core_properties(core_properties, data);
    check_special_casing(special_casing, data);

    const Tables t = build_tables(data);
    write_file(out_dir, render(data, t));
    std::cout << "case-data-builder: Unicode " << data.version << ": " << data.mapped << " lowercase mappings, "
              << data.cased << " Cased, " << data.case_ignorable << " Case_Ignorable; " << t.records.size()
              << " records, " << t.record_of.size() / BLOCK_SIZE << " blocks, " << t.bytes()
              << " bytes of tables in " << (out_dir / "case_tables.cpp").string() << '\n';
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: case-data-builder UNICODE_DIR OUT_DIR\n";
        return 2;
    }
    try {
        return run(argv[1], argv[2]);
    } catch (const BuildError& error) {
        std::cerr << "case-data-builder: " << error.what() << '\n';
    } catch (const std::exception& error) {
        std::cerr << "case-data-builder: " << error.what() << '\n';
    }
    return 1;
}
