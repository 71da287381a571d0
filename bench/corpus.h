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

// The start of a benchmark program: Google Benchmark takes its arguments,
// and the corpus is read from a `--corpus=PATH` argument (removed from argv),
// else the LOOKUP_BENCH_CORPUS environment variable, else the path built in.
// An unknown argument, or a corpus that cannot be read or holds no name,
// ends the program with status 2 (and a message on stderr).
Corpus start_with_corpus(const char* program, int& argc, char** argv);

}  // namespace bench
