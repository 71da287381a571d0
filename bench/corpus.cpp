#include "corpus.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace bench {
namespace {

std::string take_corpus_path(int& argc, char** argv) {
    constexpr std::string_view flag = "--corpus=";
    std::string path;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with(flag)) {
            path = arg.substr(flag.size());
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    if (!path.empty()) {
        return path;
    }
    if (const char* env = std::getenv("LOOKUP_BENCH_CORPUS"); env != nullptr && *env != '\0') {
        return env;
    }
    return LOOKUP_BENCH_CORPUS;
}

Corpus load_corpus(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot open corpus " + path);
    }
    Corpus corpus{path, std::string(std::istreambuf_iterator<char>(in), {}), {}};
    std::string_view rest = corpus.text;
    while (!rest.empty()) {
        const std::size_t eol = rest.find('\n');
        std::string_view line = rest.substr(0, eol);
        rest = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (!line.empty()) {
            corpus.names.push_back(line);
        }
    }
    if (corpus.names.empty()) {
        throw std::runtime_error("corpus " + path + " holds no name");
    }
    return corpus;
}

}  // namespace

Corpus start_with_corpus(const char* program, int& argc, char** argv) {
    const std::string path = take_corpus_path(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        std::exit(2);
    }
    try {
        return load_corpus(path);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", program, e.what());
        std::exit(2);
    }
}

}  // namespace bench
