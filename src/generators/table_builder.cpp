// table-builder [--json] LIST [OUT_DIR]
//
// Compiles one Public Suffix List file into generated/psl_table.{h,cpp} and
// prints the table's figures. Without OUT_DIR only the figures are printed.
// Any line that cannot become a table entry stops the build before anything
// is written.
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "build.h"
#include "build_error.h"
#include "list_reader.h"
#include "writer.h"

namespace {

constexpr const char* USAGE = "usage: table-builder [--json] LIST [OUT_DIR]\n";

struct Arguments {
    bool json = false;
    std::string list;
    std::optional<std::string> out_dir;
};

std::optional<Arguments> parse_arguments(int argc, char** argv) {
    Arguments arguments;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--json") {
            arguments.json = true;
        } else if (argument.starts_with("-") && argument.size() > 1) {
            return std::nullopt;
        } else if (positional == 0) {
            arguments.list = argument;
            ++positional;
        } else if (positional == 1) {
            arguments.out_dir = std::string(argument);
            ++positional;
        } else {
            return std::nullopt;
        }
    }
    if (positional == 0) {
        return std::nullopt;
    }
    return arguments;
}

}  // namespace

int main(int argc, char** argv) {
    const auto arguments = parse_arguments(argc, argv);
    if (!arguments) {
        std::fputs(USAGE, stderr);
        return 2;
    }
    try {
        const std::string bytes = builder::read_list_file(arguments->list);
        const builder::BuildResult result = builder::build_from_list(bytes);
        if (arguments->out_dir) {
            builder::write_table(*arguments->out_dir, builder::render_table(result.table, result.checksum));
        }
        const std::string figures = arguments->json ? builder::figures_json(result.figures) + "\n"
                                                    : builder::figures_text(result.figures);
        std::fputs(figures.c_str(), stdout);
        return 0;
    } catch (const builder::BuildError& error) {
        std::fprintf(stderr, "table-builder: %s: %s\n", arguments->list.c_str(), error.what());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "table-builder: %s\n", error.what());
    }
    return 1;
}
