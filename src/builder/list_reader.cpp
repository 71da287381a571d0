#include "list_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "build_error.h"
#include "suffix_table.h"
#include "normalize.h"
#include "utf8.h"

namespace builder {
namespace {

constexpr std::string_view BEGIN_ICANN = "===BEGIN ICANN DOMAINS===";
constexpr std::string_view END_ICANN = "===END ICANN DOMAINS===";
constexpr std::string_view BEGIN_PRIVATE = "===BEGIN PRIVATE DOMAINS===";
constexpr std::string_view END_PRIVATE = "===END PRIVATE DOMAINS===";
constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF";

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool is_blank(std::string_view line) {
    for (const char c : line) {
        if (!is_space(c)) {
            return false;
        }
    }
    return true;
}

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

std::string lowered(std::string_view text) {
    lookup::LoweredText out;
    lookup::lower_text(text, out);
    return std::string(out.view());
}

std::vector<std::string> split_labels(std::string_view base, std::string_view rule, std::size_t line) {
    std::vector<std::string> labels;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = base.find('.', start);
        const std::string_view label = base.substr(start, dot == std::string_view::npos ? base.npos : dot - start);
        if (label.empty()) {
            throw BuildError(line, quoted(rule) + ": empty label");
        }
        if (label.find('*') != std::string_view::npos) {
            throw BuildError(line, quoted(rule) + ": \"*\" is allowed only as the leftmost label of a wildcard rule");
        }
        if (label.find('!') != std::string_view::npos) {
            throw BuildError(line, quoted(rule) + ": \"!\" is allowed only at the start of an exception rule");
        }
        labels.emplace_back(label);
        if (dot == std::string_view::npos) {
            return labels;
        }
        start = dot + 1;
    }
}

Rule parse_rule(std::string_view text, Section section, std::size_t line) {
    if (!lookup::utf8::is_valid(text)) {
        throw BuildError(line, "rule is not valid UTF-8");
    }
    const std::string lower = lowered(text);
    std::string_view base = lower;
    std::uint8_t kind = lookup::FLAG_RULE;
    if (base.starts_with('!')) {
        kind = lookup::FLAG_EXCEPTION;
        base.remove_prefix(1);
        if (base.empty()) {
            throw BuildError(line, quoted(text) + ": exception rule with nothing after \"!\"");
        }
    } else if (base.starts_with("*.")) {
        kind = lookup::FLAG_WILDCARD;
        base.remove_prefix(2);
        if (base.empty()) {
            throw BuildError(line, quoted(text) + ": wildcard rule with nothing after \"*.\"");
        }
    } else if (base == "*") {
        throw BuildError(line, quoted(text) + ": lone \"*\" (a wildcard needs a name after \"*.\")");
    }
    Rule rule{kind, section, split_labels(base, text, line), line};
    // An exception names a label in front of a suffix; with one label that
    // suffix would be empty and a match would yield no public suffix at all.
    if (kind == lookup::FLAG_EXCEPTION && rule.labels.size() < 2) {
        throw BuildError(line, quoted(text) + ": an exception rule needs at least two labels");
    }
    return rule;
}

// Which section a line opens or closes, tracked across the file.
class SectionTracker {
public:
    // Updates the state from a comment line.
    void comment(std::string_view line_text, std::size_t line) {
        if (line_text.find(BEGIN_ICANN) != std::string_view::npos) {
            open(Section::icann, "ICANN", line);
        } else if (line_text.find(END_ICANN) != std::string_view::npos) {
            close(Section::icann, "ICANN", line);
        } else if (line_text.find(BEGIN_PRIVATE) != std::string_view::npos) {
            open(Section::private_domains, "PRIVATE", line);
        } else if (line_text.find(END_PRIVATE) != std::string_view::npos) {
            close(Section::private_domains, "PRIVATE", line);
        }
    }

    Section current(std::size_t line) const {
        if (!inside_) {
            // A rule outside both sections has no section whose view it could
            // belong to; dropping it silently would hide a broken list.
            throw BuildError(line, "rule outside the ICANN and PRIVATE sections");
        }
        return current_;
    }

    void finish() const {
        if (inside_) {
            throw BuildError(opened_at_, "section opened here is never closed");
        }
    }

private:
    void open(Section section, const char* name, std::size_t line) {
        if (inside_) {
            throw BuildError(line, std::string("BEGIN ") + name + " marker inside another section");
        }
        inside_ = true;
        current_ = section;
        opened_at_ = line;
    }

    void close(Section section, const char* name, std::size_t line) {
        if (!inside_ || current_ != section) {
            throw BuildError(line, std::string("END ") + name + " marker without its BEGIN marker");
        }
        inside_ = false;
    }

    bool inside_ = false;
    Section current_ = Section::icann;
    std::size_t opened_at_ = 0;
};

}  // namespace

std::vector<Rule> read_rules(std::string_view list_text) {
    if (list_text.starts_with(BYTE_ORDER_MARK)) {
        list_text.remove_prefix(BYTE_ORDER_MARK.size());
    }
    std::vector<Rule> rules;
    SectionTracker sections;
    std::size_t line = 0;
    std::size_t start = 0;
    while (start < list_text.size()) {
        ++line;
        const std::size_t newline = list_text.find('\n', start);
        const std::size_t end = newline == std::string_view::npos ? list_text.size() : newline;
        const std::string_view text = list_text.substr(start, end - start);
        start = end + 1;

        if (is_blank(text)) {
            continue;
        }
        if (text.starts_with("//")) {
            sections.comment(text, line);
            continue;
        }
        std::size_t rule_end = 0;
        while (rule_end < text.size() && !is_space(text[rule_end])) {
            ++rule_end;
        }
        if (rule_end == 0) {
            throw BuildError(line, "line begins with whitespace, so its rule would be empty");
        }
        const Section section = sections.current(line);
        rules.push_back(parse_rule(text.substr(0, rule_end), section, line));
    }
    sections.finish();
    return rules;
}

std::string read_list_file(const std::string& path) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        throw BuildError(0, "cannot open " + path + ": " + std::strerror(errno));
    }
    std::string bytes;
    char buffer[65536];
    while (true) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
        bytes.append(buffer, got);
        if (got < sizeof buffer) {
            break;
        }
    }
    if (std::ferror(file.get())) {
        throw BuildError(0, "cannot read " + path + ": " + std::strerror(errno));
    }
    return bytes;
}

}  // namespace builder
