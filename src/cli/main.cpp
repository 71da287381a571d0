// lookup-psl: Public Suffix List answers for domains, log lines and URLs,
// from arguments, files or standard input. See help_text() for the options.
#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <variant>

#include "input.h"
#include "list_file.h"
#include "lookup.h"
#include "options.h"
#include "output.h"
#include "pipeline.h"
#include "rows.h"

namespace {

constexpr int OK = 0;
constexpr int FAILED = 1;
constexpr int BAD_USAGE = 2;

void report(const std::string& prog, const std::string& message) {
    std::fputs((prog + ": " + message + "\n").c_str(), stderr);
}

std::string prog_name(const char* argv0) {
    const std::string path = argv0 != nullptr ? argv0 : "lookup-psl";
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int run(const std::string& prog, const cli::Options& options) {
    // Kept alive for the whole run: the table is a view of it.
    std::optional<builder::TableBuild> list;
    lookup::SuffixTable table = lookup::indexed_compiled_table();
    if (options.list_file) {
        try {
            list = cli::compile_list_file(*options.list_file);
        } catch (const cli::ListError& error) {
            report(prog, error.what());
            return FAILED;
        }
        table = list->view();
    }
    const cli::RowFormat format{&table, options.flags, options.depth.value_or(0), options.columns, options.json,
                                options.urls};
    cli::Output output(STDOUT_FILENO);
    cli::ByteBuffer header;
    if (options.header) {
        cli::append_header(format, header);
    }
    cli::InputReader reader(prog, options.domains, options.files, options.max_line);
    if (!output.write(header.view()) || !cli::answer_all(reader, format, output, options.jobs)) {
        report(prog, std::string("cannot write the output: ") + std::strerror(output.error()));
        return FAILED;
    }
    return reader.failed() ? FAILED : OK;
}

}  // namespace

int main(int argc, char** argv) {
    // Stop quietly when the reader goes away (e.g. `| head`), as other tools do.
    std::signal(SIGPIPE, SIG_DFL);
#if defined(__GLIBC__)
    // The buffers of long lines are grown on the worker threads. glibc keeps
    // what a thread frees in that thread's arena once a freed mapping has
    // raised its threshold, so that N threads would each hold room for the
    // longest lines; a fixed threshold maps such buffers and gives them back.
    mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
#endif
    const std::string prog = prog_name(argc > 0 ? argv[0] : nullptr);
    const auto parsed = cli::parse_options({argv + (argc > 0 ? 1 : 0), argv + argc});
    if (std::holds_alternative<cli::HelpRequested>(parsed)) {
        const std::string help = cli::help_text(prog);
        return std::fputs(help.c_str(), stdout) < 0 || std::fflush(stdout) != 0 ? FAILED : OK;
    }
    if (const auto* error = std::get_if<cli::UsageError>(&parsed)) {
        std::fputs((cli::usage_text(prog) + prog + ": error: " + error->message + "\n").c_str(), stderr);
        return BAD_USAGE;
    }
    try {
        return run(prog, std::get<cli::Options>(parsed));
    } catch (const std::bad_alloc&) {
        report(prog, "out of memory");
    } catch (const std::exception& error) {
        report(prog, std::string("internal fault: ") + error.what());
    }
    return FAILED;
}
