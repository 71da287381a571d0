#include "list_reader.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "build_error.h"
#include "suffix_table.h"
#include "lowered_text.h"
#include "normalize.h"
#include "punycode.h"
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

// What DNS allows: a label of up to 63 bytes, in its A-label form ("xn--"
// and Punycode) when it is not ASCII, and a name of up to 253 bytes. A rule
// beyond them can match no name that resolves; refusing it also keeps the
// Punycode of a hostile label from costing time with its square.
constexpr std::size_t MAX_LABEL_BYTES = 63;
constexpr std::size_t MAX_NAME_BYTES = 253;

// The size of `label` in DNS, or more than MAX_LABEL_BYTES when it is
// longer. An A-label holds "xn--" and at least one byte per code point.
std::size_t dns_label_size(std::string_view label) {
    if (lookup::utf8::is_ascii(label)) {
        return label.size();
    }
    std::size_t code_points = 0;
    for (const char byte : label) {
        code_points += !lookup::utf8::is_continuation(static_cast<unsigned char>(byte));
    }
    const std::size_t prefix = 4;
    if (prefix + code_points > MAX_LABEL_BYTES) {
        return prefix + code_points;
    }
    const auto decoded = lookup::utf8::decode_strict(label);
    const auto encoded = decoded ? punycode_encode(*decoded) : std::nullopt;
    return encoded ? prefix + encoded->size() : MAX_LABEL_BYTES + 1;
}

// The labels of `base`: none empty, no "*" or "!" in any, each and the whole
// name within the sizes of DNS.
void check_labels(std::string_view base, std::string_view rule, Origin origin) {
    std::size_t start = 0;
    std::size_t name_size = 0;
    while (true) {
        const std::size_t dot = base.find('.', start);
        const std::string_view label = base.substr(start, dot == std::string_view::npos ? base.npos : dot - start);
        if (label.empty()) {
            throw BuildError(origin, quoted(rule) + ": empty label");
        }
        if (label.find('*') != std::string_view::npos) {
            throw BuildError(origin, quoted(rule) + ": \"*\" is allowed only as the leftmost label of a wildcard rule");
        }
        if (label.find('!') != std::string_view::npos) {
            throw BuildError(origin, quoted(rule) + ": \"!\" is allowed only at the start of an exception rule");
        }
        const std::size_t label_size = dns_label_size(label);
        if (label_size > MAX_LABEL_BYTES) {
            throw BuildError(origin, "a label longer than " + std::to_string(MAX_LABEL_BYTES) +
                                         " bytes (as an A-label) cannot be a DNS label");
        }
        name_size += label_size + (start == 0 ? 0 : 1);
        if (name_size > MAX_NAME_BYTES) {
            throw BuildError(origin, "a name longer than " + std::to_string(MAX_NAME_BYTES) +
                                         " bytes (as A-labels) cannot be a DNS name");
        }
        if (dot == std::string_view::npos) {
            return;
        }
        start = dot + 1;
    }
}

// Lowers and classifies one rule's text and hands it on. `lowered` is a
// buffer reused from rule to rule.
void parse_rule(std::string_view text, Section section, Origin origin, lookup::LoweredText& lowered, RuleSink& sink) {
    lookup::lower_text(text, lowered);
    std::string_view base = lowered.view();
    std::uint8_t kind = lookup::FLAG_RULE;
    if (base.starts_with('!')) {
        kind = lookup::FLAG_EXCEPTION;
        base.remove_prefix(1);
        if (base.empty()) {
            throw BuildError(origin, quoted(text) + ": exception rule with nothing after \"!\"");
        }
    } else if (base.starts_with("*.")) {
        kind = lookup::FLAG_WILDCARD;
        base.remove_prefix(2);
        if (base.empty()) {
            throw BuildError(origin, quoted(text) + ": wildcard rule with nothing after \"*.\"");
        }
    } else if (base == "*") {
        throw BuildError(origin, quoted(text) + ": lone \"*\" (a wildcard needs a name after \"*.\")");
    }
    check_labels(base, text, origin);
    // An exception names a label in front of a suffix; with one label that
    // suffix would be empty and a match would yield no public suffix at all.
    if (kind == lookup::FLAG_EXCEPTION && base.find('.') == std::string_view::npos) {
        throw BuildError(origin, quoted(text) + ": an exception rule needs at least two labels");
    }
    sink.add(RuleText{kind, section, base, origin});
}

// The rule of a line that holds one: its text up to the first whitespace.
void parse_rule_line(std::string_view line_text, Section section, Origin origin, lookup::LoweredText& lowered,
                     RuleSink& sink) {
    std::size_t rule_end = 0;
    while (rule_end < line_text.size() && !is_space(line_text[rule_end])) {
        ++rule_end;
    }
    if (rule_end == 0) {
        throw BuildError(origin, "line begins with whitespace, so its rule would be empty");
    }
    parse_rule(line_text.substr(0, rule_end), section, origin, lowered, sink);
}

bool is_utf8(std::string_view text) {
    return lookup::utf8::is_ascii(text) || lookup::utf8::is_valid(text);
}

// The text of a "// NAME: text" header line, when `line_text` is one.
std::optional<std::string> header_value(std::string_view line_text, std::string_view name) {
    std::string_view rest = line_text.substr(2);
    while (!rest.empty() && is_space(rest.front())) {
        rest.remove_prefix(1);
    }
    if (!rest.starts_with(name) || rest.substr(name.size(), 1) != ":") {
        return std::nullopt;
    }
    rest.remove_prefix(name.size() + 1);
    while (!rest.empty() && is_space(rest.front())) {
        rest.remove_prefix(1);
    }
    while (!rest.empty() && is_space(rest.back())) {
        rest.remove_suffix(1);
    }
    if (rest.empty()) {
        return std::nullopt;
    }
    return std::string(rest);
}

// Which section a line opens or closes, tracked across the file.
class SectionTracker {
public:
    // Updates the state from a comment line.
    void comment(std::string_view line_text, std::size_t line) {
        if (line_text.find("===") == std::string_view::npos) {
            return;
        }
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

// Counts the rules per section on their way to the sink.
class CountingSink final : public RuleSink {
public:
    CountingSink(RuleSink& next, ListInfo& info) : next_(next), info_(info) {}
    void add(const RuleText& rule) override {
        ++(rule.section == Section::icann ? info_.icann_rules : info_.private_rules);
        next_.add(rule);
    }

private:
    RuleSink& next_;
    ListInfo& info_;
};

void scan_extra_rules(std::span<const std::string_view> extra_rules, lookup::LoweredText& lowered, RuleSink& sink) {
    for (std::size_t i = 0; i < extra_rules.size(); ++i) {
        const std::string_view text = extra_rules[i];
        const Origin origin{0, i + 1};
        if (!is_utf8(text)) {
            throw BuildError(origin, "text is not valid UTF-8");
        }
        if (text.find_first_of("\n\r") != std::string_view::npos) {
            throw BuildError(origin, "a rule is one line; this one holds a line break");
        }
        if (is_blank(text) || text.starts_with("//")) {
            throw BuildError(origin, "holds no rule");
        }
        parse_rule_line(text, Section::private_domains, origin, lowered, sink);
    }
}

class Collector final : public RuleSink {
public:
    std::vector<Rule> rules;
    void add(const RuleText& rule) override {
        Rule& kept = rules.emplace_back(Rule{rule.kind, rule.section, {}, rule.origin.line});
        std::size_t start = 0;
        while (true) {
            const std::size_t dot = rule.base.find('.', start);
            kept.labels.emplace_back(rule.base.substr(start, dot == std::string_view::npos ? rule.base.npos : dot - start));
            if (dot == std::string_view::npos) {
                return;
            }
            start = dot + 1;
        }
    }
};

}  // namespace

ListInfo scan_list(std::string_view list_text, std::span<const std::string_view> extra_rules, RuleSink& sink) {
    if (list_text.starts_with(BYTE_ORDER_MARK)) {
        list_text.remove_prefix(BYTE_ORDER_MARK.size());
    }
    ListInfo info;
    CountingSink counting(sink, info);
    lookup::LoweredText lowered;
    SectionTracker sections;
    std::size_t line = 0;
    std::size_t start = 0;
    while (start < list_text.size()) {
        ++line;
        const std::size_t newline = list_text.find('\n', start);
        const std::size_t end = newline == std::string_view::npos ? list_text.size() : newline;
        const std::string_view text = list_text.substr(start, end - start);
        start = end + 1;

        if (!is_utf8(text)) {
            throw BuildError(line, "text is not valid UTF-8");
        }
        if (is_blank(text)) {
            continue;
        }
        if (text.starts_with("//")) {
            sections.comment(text, line);
            if (!info.version) {
                info.version = header_value(text, "VERSION");
            }
            if (!info.commit) {
                info.commit = header_value(text, "COMMIT");
            }
            continue;
        }
        if (is_space(text.front())) {
            throw BuildError(line, "line begins with whitespace, so its rule would be empty");
        }
        parse_rule_line(text, sections.current(line), Origin{line, 0}, lowered, counting);
    }
    sections.finish();
    scan_extra_rules(extra_rules, lowered, counting);
    return info;
}

std::vector<Rule> read_rules(std::string_view list_text) {
    Collector collector;
    scan_list(list_text, {}, collector);
    return std::move(collector.rules);
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
