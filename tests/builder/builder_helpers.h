// Helpers for the builder tests: small list files, scratch folders and runs
// of the real table-builder.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "build.h"
#include "suffix_table.h"
#include "test_paths.h"

namespace builder::testing {

// A list file with the given rule lines in its ICANN and private sections.
inline std::string list_text(std::initializer_list<std::string_view> icann,
                             std::initializer_list<std::string_view> private_rules = {}) {
    std::string text = "// test list\n\n// ===BEGIN ICANN DOMAINS===\n\n";
    for (const std::string_view rule : icann) {
        text.append(rule).append("\n");
    }
    text += "\n// ===END ICANN DOMAINS===\n// ===BEGIN PRIVATE DOMAINS===\n";
    for (const std::string_view rule : private_rules) {
        text.append(rule).append("\n");
    }
    text += "// ===END PRIVATE DOMAINS===\n";
    return text;
}

inline std::string label_of(const CompiledTable& table, const lookup::Edge& edge) {
    return table.pool.substr(edge.label_start, edge.label_end - edge.label_start);
}

// The node of a dotted name, by a plain scan of each run; -1 when absent.
inline long node_of(const CompiledTable& table, std::string_view name) {
    long node = 0;
    while (!name.empty()) {
        const auto dot = name.rfind('.');
        const std::string_view label = dot == std::string_view::npos ? name : name.substr(dot + 1);
        const lookup::Node& entry = table.nodes.at(static_cast<std::size_t>(node));
        long next = -1;
        for (std::uint32_t e = entry.first_edge; e < entry.first_edge + entry.edge_count; ++e) {
            if (label_of(table, table.edges.at(e)) == label) {
                next = table.edges[e].target;
            }
        }
        if (next < 0) {
            return -1;
        }
        node = next;
        name = dot == std::string_view::npos ? std::string_view() : name.substr(0, dot);
    }
    return node;
}

inline std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

inline void write_file(const std::filesystem::path& path, std::string_view content) {
    std::ofstream out(path, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

inline std::filesystem::path list_path() {
    return std::filesystem::path(LOOKUP_DATA_DIR) / "psl" / "public_suffix_list.dat";
}

// A fresh folder, removed with everything in it at the end of the test.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "builder-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

    // Names of the entries of `folder` (relative to this scratch folder).
    std::vector<std::string> entries(std::string_view folder) const {
        std::vector<std::string> names;
        if (std::filesystem::exists(path_ / folder)) {
            for (const auto& entry : std::filesystem::directory_iterator(path_ / folder)) {
                names.push_back(entry.path().filename().string());
            }
        }
        return names;
    }

private:
    std::filesystem::path path_;
};

struct RunResult {
    int exit_code;
    std::string out;
    std::string err;
};

// `text` in single quotes, for a shell command line.
inline std::string quoted(std::string_view text) {
    std::string quoted_text = "'";
    quoted_text.append(text);
    quoted_text += '\'';
    return quoted_text;
}

// Runs a shell command with stdout and stderr captured in `scratch`.
inline RunResult run_command(const ScratchDir& scratch, const std::string& command) {
    const auto out = scratch / ".stdout";
    const auto err = scratch / ".stderr";
    const int status = std::system((command + " >'" + out.string() + "' 2>'" + err.string() + "'").c_str());
    RunResult result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(out), read_file(err)};
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return result;
}

inline RunResult run_builder(const ScratchDir& scratch, const std::string& arguments) {
    return run_command(scratch, testing::quoted(TABLE_BUILDER_PATH) + " " + arguments);
}

}  // namespace builder::testing
