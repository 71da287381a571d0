// The benchmark corpus: one domain per line, read into one buffer.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace bench {

struct Corpus {
    std::string path;
    std::string text;                     // the whole file
    std::vector<std::string_view> names;  // one view per non-empty line, into `text`
};

// The corpus path: a `--corpus=PATH` argument (removed from argv), else the
// LOOKUP_BENCH_CORPUS environment variable, else the path built in.
std::string take_corpus_path(int& argc, char** argv);

// Throws std::runtime_error when the file cannot be read or holds no name.
Corpus load_corpus(const std::string& path);

}  // namespace bench
