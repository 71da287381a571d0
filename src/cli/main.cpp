// lookup-psl: Public Suffix List answers for domains, log lines and URLs,
// from arguments, files or standard input. See help_text() for the options.
#include <sys/stat.h>
#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "input.h"
#include "list_file.h"
#include "lookup.h"
#include "options.h"
#include "output.h"
#include "pipeline.h"
#include "progress.h"
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

std::string version_text(const std::string& prog) {
    return prog + " " LOOKUP_VERSION "\n" + "list compiled in: sha256 " +
           std::string(lookup::compiled_table().checksum) + ", " LOOKUP_LIST_ORIGIN "\n";
}

// The bytes that the files will give, when every one is a regular file
// ("-" for standard input redirected from one); unknown otherwise.
std::optional<std::uint64_t> input_size(const cli::Options& options) {
    std::vector<std::string_view> files = options.files;
    if (files.empty() && options.domains.empty()) {
        files.push_back("-");
    }
    std::uint64_t total = 0;
    for (const std::string_view file : files) {
        struct stat status {};
        const int found = file == "-" ? ::fstat(STDIN_FILENO, &status) : ::stat(std::string(file).c_str(), &status);
        if (found != 0 || !S_ISREG(status.st_mode)) {
            return std::nullopt;
        }
        total += static_cast<std::uint64_t>(status.st_size);
    }
    return total;
}

int run(const std::string& prog, const cli::Options& options) {
    // Kept alive for the whole run: the table is a view of it.
    std::optional<builder::TableBuild> list;
    lookup::SuffixTable table = lookup::indexed_compiled_table();
    if (options.list_file || options.default_list) {
        try {
            list = cli::compile_list_file(options.default_list ? cli::default_list_path()
                                                                : std::string(*options.list_file));
        } catch (const cli::ListError& error) {
            report(prog, std::string(error.what()) +
                             (options.default_list ? " (python -m lookup_psl update writes that file)" : ""));
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
    cli::ProgressCounts counts;
    std::optional<cli::ProgressReporter> progress;
    // Never into a pipe or a log: the lines are for a person watching.
    if (options.progress && ::isatty(STDERR_FILENO) == 1) {
        reader.count_into(counts);
        progress.emplace(counts, input_size(options), STDERR_FILENO, std::chrono::milliseconds(500));
    }
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
    if (std::holds_alternative<cli::VersionRequested>(parsed)) {
        return std::fputs(version_text(prog).c_str(), stdout) < 0 || std::fflush(stdout) != 0 ? FAILED : OK;
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
