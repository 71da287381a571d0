// libpsl against this engine over the same names, in one binary: per name,
// libpsl lowers (psl_str_to_utf8lower), finds the registrable domain and tests
// for a public suffix; the engine normalizes, matches and cuts the private
// suffix. Both load the same list file (libpsl at run time, the engine at
// build time). Prints each side's median ns per name with the spread, and
// the ratio.
#include <benchmark/benchmark.h>
#include <libpsl.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "corpus.h"
#include "lookup.h"

namespace {

std::size_t engine_private_suffix(std::string_view name) {
    const lookup::Lookup found = lookup::look_up(name, {});
    const auto answer = found.private_suffix();
    return answer ? answer->size() : 0;
}

std::size_t libpsl_private_suffix(const psl_ctx_t* psl, const char* name) {
    char* lower = nullptr;
    // The encoding named: without it libpsl takes the locale's, ASCII in a
    // C locale, and refuses every non-ASCII name.
    if (psl_str_to_utf8lower(name, "utf-8", nullptr, &lower) != PSL_SUCCESS) {
        return 0;
    }
    const char* registrable = psl_registrable_domain(psl, lower);
    std::size_t result = registrable != nullptr ? std::char_traits<char>::length(registrable) : 0;
    result += static_cast<std::size_t>(psl_is_public_suffix(psl, lower));
    psl_free_string(lower);
    return result;
}

void report_per_name(benchmark::State& state, std::size_t names) {
    state.counters["ns_per_name"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(names),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Passes every run to the console and keeps each repetition's ns per name.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, std::vector<double>> per_name;

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration) {
                const auto found = run.counters.find("ns_per_name");
                if (found != run.counters.end()) {
                    per_name[run.run_name.function_name].push_back(found->second.value * 1e9);  // seconds to ns
                }
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

struct Summary {
    double median = 0;
    double spread = 0;
};

Summary summarize(std::vector<double> samples) {
    Summary s;
    if (samples.empty()) {
        return s;
    }
    std::sort(samples.begin(), samples.end());
    const std::size_t n = samples.size();
    s.median = n % 2 == 1 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    s.spread = s.median > 0 ? (samples.back() - samples.front()) / s.median : 0;
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    const bench::Corpus corpus = bench::start_with_corpus("psl_bench", argc, argv);
    std::string list_path = LOOKUP_BENCH_LIST;
    if (const char* env = std::getenv("LOOKUP_BENCH_LIST"); env != nullptr && *env != '\0') {
        list_path = env;
    }
    psl_ctx_t* psl = psl_load_file(list_path.c_str());
    if (psl == nullptr) {
        std::fprintf(stderr, "psl_bench: libpsl cannot load %s\n", list_path.c_str());
        return 2;
    }
    // libpsl takes NUL-terminated names.
    std::vector<std::string> terminated(corpus.names.begin(), corpus.names.end());
    const std::vector<std::string_view>& names = corpus.names;
    std::size_t unlowered = 0;
    for (const std::string& name : terminated) {
        char* lower = nullptr;
        if (psl_str_to_utf8lower(name.c_str(), "utf-8", nullptr, &lower) == PSL_SUCCESS) {
            psl_free_string(lower);
        } else {
            ++unlowered;
        }
    }
    std::printf("libpsl %s, list %s (%d rules), corpus %s: %zu names, %zu that libpsl cannot lower\n",
                psl_get_version(), list_path.c_str(), psl_suffix_count(psl), corpus.path.c_str(), names.size(),
                unlowered);
    std::fflush(stdout);

    benchmark::RegisterBenchmark("libpsl/lower+registrable_domain+is_public_suffix", [&](benchmark::State& state) {
        for (auto _ : state) {
            std::size_t sum = 0;
            for (const std::string& name : terminated) {
                sum += libpsl_private_suffix(psl, name.c_str());
            }
            benchmark::DoNotOptimize(sum);
        }
        report_per_name(state, terminated.size());
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("engine/normalize+match+private_cut", [&](benchmark::State& state) {
        for (auto _ : state) {
            std::size_t sum = 0;
            for (const std::string_view name : names) {
                sum += engine_private_suffix(name);
            }
            benchmark::DoNotOptimize(sum);
        }
        report_per_name(state, names.size());
    })->Unit(benchmark::kMillisecond);

    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    psl_free(psl);

    const Summary theirs = summarize(reporter.per_name["libpsl/lower+registrable_domain+is_public_suffix"]);
    const Summary ours = summarize(reporter.per_name["engine/normalize+match+private_cut"]);
    std::printf("\nper name, median of repetitions (spread = (max - min) / median):\n");
    std::printf("  libpsl  %8.1f ns  (%5.1f%%)\n", theirs.median, theirs.spread * 100);
    std::printf("  engine  %8.1f ns  (%5.1f%%)\n", ours.median, ours.spread * 100);
    if (ours.median > 0) {
        std::printf("  engine is %.2fx faster than libpsl (target 6x)\n", theirs.median / ours.median);
    }
    return 0;
}
