// The command line of lookup-psl: options in the manner of Python's argparse
// (long options by unique prefix, --name=value, "--" before domains that
// start with "-"), and the help and usage texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "columns.h"
#include "lookup.h"

namespace cli {

inline constexpr std::size_t DEFAULT_MAX_LINE = 1 << 20;
inline constexpr std::size_t MAX_MAX_LINE = std::size_t{1} << 30;
inline constexpr unsigned MAX_JOBS = 256;

struct Options {
    std::vector<std::string_view> domains;  // the DOMAIN arguments, as given
    std::vector<std::string_view> files;    // -f FILE, in order; "-" is standard input
    bool header = false;
    bool json = false;
    bool urls = false;
    std::optional<std::uint64_t> depth;
    lookup::QueryFlags flags;
    std::vector<Column> columns;
    std::optional<std::string_view> list_file;
    bool default_list = false;  // --list without FILE: default_list_path()
    unsigned jobs = 1;
    std::size_t max_line = DEFAULT_MAX_LINE;
    bool progress = false;  // on standard error, when it is a terminal
};

struct HelpRequested {};
struct VersionRequested {};
struct UsageError {
    std::string message;
};

// `arguments` are argv[1..]; the views in Options point into them.
std::variant<Options, HelpRequested, VersionRequested, UsageError> parse_options(std::span<char* const> arguments);

std::string usage_text(std::string_view prog);
std::string help_text(std::string_view prog);

}  // namespace cli
