#include "options.h"

#include <algorithm>
#include <charconv>

namespace cli {
namespace {

enum class Id { help, version, file, header, json, fields, depth, urls, jobs, max_line, progress, list, icann_only, no_accept_unknown, keep_case };

struct Spec {
    Id id;
    std::string_view long_name;  // without "--"
    char short_name;             // 0: none
    std::string_view metavar;    // empty: a flag without a value
    bool value_optional = false;  // the value may be left out ("--list" alone)
};

constexpr Spec SPECS[] = {
    {Id::help, "help", 'h', ""},
    {Id::version, "version", 0, ""},
    {Id::file, "file", 'f', "FILE"},
    // output
    {Id::header, "header", 0, ""},
    {Id::json, "json", 0, ""},
    {Id::fields, "fields", 0, "LIST"},
    {Id::depth, "depth", 0, "N"},
    // input
    {Id::urls, "urls", 0, ""},
    {Id::jobs, "jobs", 'j', "N"},
    {Id::max_line, "max-line", 0, "BYTES"},
    {Id::progress, "progress", 0, ""},
    // rules
    {Id::list, "list", 0, "FILE", true},
    {Id::icann_only, "icann-only", 0, ""},
    {Id::no_accept_unknown, "no-accept-unknown", 0, ""},
    {Id::keep_case, "keep-case", 0, ""},
};

// How argparse names an option in its messages: "-f/--file" or "--depth".
std::string display_name(const Spec& spec) {
    std::string name;
    if (spec.short_name != 0) {
        name = std::string("-") + spec.short_name + "/";
    }
    return name + "--" + std::string(spec.long_name);
}

bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

// "-5" and "-1.5" are values, not options (no option of ours looks like one).
bool looks_negative(std::string_view argument) noexcept {
    if (argument.size() < 2 || argument[0] != '-') {
        return false;
    }
    const std::string_view rest = argument.substr(1);
    const std::size_t dot = rest.find('.');
    const auto all_digits = [](std::string_view text) { return std::all_of(text.begin(), text.end(), is_digit); };
    if (dot == std::string_view::npos) {
        return all_digits(rest);
    }
    return all_digits(rest.substr(0, dot)) && dot + 1 < rest.size() && all_digits(rest.substr(dot + 1));
}

bool looks_like_option(std::string_view argument) noexcept {
    return argument.size() > 1 && argument[0] == '-' && !looks_negative(argument);
}

std::string quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// The names of `items` joined by `separator`.
template <typename Items, typename Name>
std::string joined(const Items& items, std::string_view separator, Name name) {
    std::string out;
    for (const auto& item : items) {
        if (!out.empty()) {
            out.append(separator);
        }
        out.append(name(item));
    }
    return out;
}

struct ParseError {
    std::string message;
};

// A whole number in [low, high], written as Python's int() takes the plain
// forms: an optional sign and decimal digits.
std::uint64_t whole_number(std::string_view text, std::uint64_t low, std::uint64_t high, std::string_view range) {
    std::string_view digits = text;
    bool negative = false;
    if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
        negative = digits[0] == '-';
        digits.remove_prefix(1);
    }
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), is_digit)) {
        throw ParseError{"not a whole number: " + quoted(text)};
    }
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    const bool zero = error == std::errc() && value == 0;
    if (error != std::errc() || end != digits.data() + digits.size() || (negative && !zero) || value < low ||
        value > high) {
        throw ParseError{"out of range (" + std::string(range) + "): " + std::string(text)};
    }
    return value;
}

std::vector<Column> parse_fields(std::string_view list) {
    std::vector<Column> columns;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        const std::string_view name = list.substr(start, comma - start);
        const auto column = column_named(name);
        if (!column) {
            throw ParseError{"unknown column " + quoted(name) + " (choose from " + joined(ALL_COLUMNS, ", ", column_name) + ")"};
        }
        if (std::find(columns.begin(), columns.end(), *column) != columns.end()) {
            throw ParseError{"column " + quoted(name) + " given twice"};
        }
        columns.push_back(*column);
        if (comma == list.size()) {
            return columns;
        }
        start = comma + 1;
    }
}

void apply(Options& options, std::optional<std::vector<Column>>& fields, Id id, std::optional<std::string_view> given) {
    const std::string_view value = given.value_or("");
    switch (id) {
    case Id::help:
    case Id::version: break;
    case Id::file: options.files.push_back(value); break;
    case Id::header: options.header = true; break;
    case Id::json: options.json = true; break;
    case Id::fields: fields = parse_fields(value); break;
    case Id::depth: options.depth = whole_number(value, 0, UINT64_MAX, "0 to 2**64-1"); break;
    case Id::urls: options.urls = true; break;
    case Id::jobs:
        options.jobs = static_cast<unsigned>(whole_number(value, 1, MAX_JOBS, "1 to " + std::to_string(MAX_JOBS)));
        break;
    case Id::max_line:
        options.max_line = whole_number(value, 1, MAX_MAX_LINE, "1 to " + std::to_string(MAX_MAX_LINE));
        break;
    case Id::progress: options.progress = true; break;
    case Id::list:
        options.list_file = given;
        options.default_list = !given;
        break;
    case Id::icann_only: options.flags.icann_only = true; break;
    case Id::no_accept_unknown: options.flags.accept_unknown = false; break;
    case Id::keep_case: options.flags.keep_case = true; break;
    }
}

// The long option that `name` (after "--") spells out or begins uniquely.
const Spec* find_long(std::string_view name) {
    std::vector<const Spec*> matches;
    for (const Spec& spec : SPECS) {
        if (spec.long_name == name) {
            return &spec;
        }
        if (spec.long_name.starts_with(name)) {
            matches.push_back(&spec);
        }
    }
    if (matches.size() > 1) {
        const auto long_name = [](const Spec* spec) { return "--" + std::string(spec->long_name); };
        throw ParseError{"ambiguous option: --" + std::string(name) + " could match " + joined(matches, ", ", long_name)};
    }
    return matches.empty() ? nullptr : matches.front();
}

const Spec* find_short(char name) {
    const auto found = std::find_if(std::begin(SPECS), std::end(SPECS), [name](const Spec& s) { return s.short_name == name; });
    return found == std::end(SPECS) ? nullptr : found;
}

// Checks between options, once all are read.
void check_together(Options& options, const std::optional<std::vector<Column>>& fields) {
    if (options.header && options.json) {
        throw ParseError{"--header applies to the tab-separated output, not to --json"};
    }
    if (!fields) {
        options.columns = default_columns(options.urls, options.depth.has_value());
        return;
    }
    const auto has = [&](Column c) { return std::find(fields->begin(), fields->end(), c) != fields->end(); };
    if (!options.urls && (has(Column::host) || has(Column::address))) {
        throw ParseError{"the host and address columns need --urls"};
    }
    if (has(Column::subdomain) != options.depth.has_value()) {
        throw ParseError{options.depth ? "--depth applies to the subdomain column, which --fields leaves out"
                                       : "the subdomain column needs --depth"};
    }
    options.columns = *fields;
}

}  // namespace

std::variant<Options, HelpRequested, VersionRequested, UsageError> parse_options(std::span<char* const> arguments) {
    Options options;
    std::optional<std::vector<Column>> fields;
    std::vector<std::string_view> unrecognized;
    bool only_domains = false;
    try {
        for (std::size_t i = 0; i < arguments.size(); ++i) {
            const std::string_view argument = arguments[i];
            if (only_domains || !looks_like_option(argument)) {
                options.domains.push_back(argument);
                continue;
            }
            if (argument == "--") {
                only_domains = true;
                continue;
            }
            const Spec* spec = nullptr;
            std::optional<std::string_view> value;
            if (argument.starts_with("--")) {
                const std::size_t equals = argument.find('=');
                spec = find_long(argument.substr(2, equals == std::string_view::npos ? equals : equals - 2));
                if (equals != std::string_view::npos) {
                    value = argument.substr(equals + 1);
                }
            } else {
                spec = find_short(argument[1]);
                if (argument.size() > 2) {
                    value = argument.substr(2);
                }
                if (spec != nullptr && spec->metavar.empty() && value) {
                    spec = nullptr;  // "-hx": no combined flags here
                }
            }
            if (spec == nullptr) {
                unrecognized.push_back(argument);
                continue;
            }
            if (spec->id == Id::help) {
                return HelpRequested{};
            }
            if (spec->id == Id::version) {
                return VersionRequested{};
            }
            if (spec->metavar.empty() && value) {
                throw ParseError{"argument " + display_name(*spec) + ": ignored explicit argument " + quoted(*value)};
            }
            if (!spec->metavar.empty() && !value) {
                if (i + 1 == arguments.size() || looks_like_option(arguments[i + 1])) {
                    if (spec->value_optional) {
                        apply(options, fields, spec->id, std::nullopt);
                        continue;
                    }
                    throw ParseError{"argument " + display_name(*spec) + ": expected one argument"};
                }
                value = arguments[++i];
            }
            try {
                apply(options, fields, spec->id, value.value_or(""));
            } catch (const ParseError& error) {
                throw ParseError{"argument " + display_name(*spec) + ": " + error.message};
            }
        }
        if (!unrecognized.empty()) {
            const auto itself = [](std::string_view argument) { return argument; };
            throw ParseError{"unrecognized arguments: " + joined(unrecognized, " ", itself)};
        }
        check_together(options, fields);
    } catch (const ParseError& error) {
        return UsageError{error.message};
    }
    return options;
}

std::string usage_text(std::string_view prog) {
    const std::string indent(7 + prog.size() + 1, ' ');
    return "usage: " + std::string(prog) + " [-h] [--version] [-f FILE] [--header] [--json] [--fields LIST]\n" +
           indent + "[--depth N] [--urls] [-j N] [--max-line BYTES] [--progress]\n" + indent +
           "[--list [FILE]] [--icann-only] [--no-accept-unknown] [--keep-case]\n" + indent + "[DOMAIN ...]\n";
}

std::string help_text(std::string_view prog) {
    std::string text = usage_text(prog);
    text += R"(
Answers Public Suffix List lookups from the command line.

positional arguments:
  DOMAIN                domains to look up (put -- before one that starts with -)

options:
  -h, --help            show this help message and exit
  --version             show the version and the list compiled in, and exit
  -f FILE, --file FILE  read domains from FILE, one per line ('-' for standard
                        input); may be repeated; read after the DOMAIN arguments

output:
  --header              print the column names first (tab-separated output only)
  --json                print one JSON object per domain instead of columns
  --fields LIST         the columns to print, comma-separated, in this order:
                        domain, host, address, publicsuffix, privatesuffix,
                        privateparts, subdomain (e.g. --fields privatesuffix)
  --depth N             add the subdomain column: the suffix reaching N labels
                        beyond the private suffix (0 is the private suffix)

input:
  --urls                each line is a URL or a host with a port: the host is
                        taken from the authority (scheme, user info, port, path,
                        query and fragment removed; [v6] literals recognised);
                        adds the columns host and address, which is ipv4 or
                        ipv6 for an address (an address gets no answers)
  -j N, --jobs N        look up on N threads (default 1); the output keeps the
                        input order
  --max-line BYTES      report and skip lines longer than BYTES (default
                        1048576)
  --progress            on a terminal, show lines done, lines per second and
                        the share of the files read on standard error, about
                        twice a second (nothing when it is not a terminal)

rules (the module's keyword flags):
  --list [FILE]         answer from the Public Suffix List in FILE, compiled
                        at start, instead of the copy built in; without FILE,
                        from the copy that `python -m lookup_psl update` wrote
                        ($XDG_DATA_HOME/lookup-psl/public_suffix_list.dat,
                        ~/.local/share/... when unset)
  --icann-only          use only the rules of the list's ICANN section
                        (icann_only=True)
  --no-accept-unknown   an unlisted top-level label is not a public suffix, so
                        such names have no answers (accept_unknown=False)
  --keep-case           answer with the domain's own letters instead of
                        lowercase ones (keep_case=True)

output: one line per domain, in input order; blank input lines are skipped
and surrounding white space is removed. Tab-separated columns: domain,
publicsuffix, privatesuffix, privateparts (joined by ","), and subdomain with
--depth; "-" stands for no answer; a tab, newline, carriage return or
backslash inside a column is written as \t, \n, \r or \\. With --json each
line is an object with the same keys, null for no answer and a list for
privateparts.

An invalid domain (empty label, as in "a..b") has no answers; nor has a line
that is not UTF-8, which is echoed as it is (with --json, each ill-formed
byte sequence in it as U+FFFD, as Python's decode(errors="replace") does).

exit status: 0 when every input was read and answered; 1 when a file could
not be read or a line was too long (reported; the other inputs are still
processed), when the --list file cannot be used, or when the output cannot
be written; 2 for bad usage.

examples:
  PROG www.example.co.uk
  PROG --header --depth 1 a.b.example.co.uk
  PROG --json -f domains.txt
  zcat domains.gz | PROG --icann-only > answers.tsv
  PROG --urls --fields privatesuffix -j 2 -f urls.txt
)";
    for (std::size_t at = text.find("PROG"); at != std::string::npos; at = text.find("PROG", at)) {
        text.replace(at, 4, prog);
        at += prog.size();
    }
    return text;
}

}  // namespace cli
