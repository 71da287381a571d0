// libpsl against this engine over the same names, in one binary: per name,
// libpsl lowers (psl_str_to_utf8lower), finds the registrable domain and tests
// for a public suffix; the engine normalizes, matches and cuts the private
// suffix. Both load the same list file (libpsl at run time, the engine at
// build time). Then the loading itself: libpsl's psl_load_file against the
// builder's run-time path (read, check, SHA-256, table: what
// lookup_psl.SuffixList.from_file does), and lookups through that table
// against the compiled one. The C API of liblookup_psl (the shared library,
// as C programs call it) beside each: lookup_psl_privatesuffix per name into
// a buffer, and lookup_psl_list_from_file per load. Prints each side's median with the spread, and
// the ratios.
#include <benchmark/benchmark.h>
#include <libpsl.h>
#include <lookup_psl/lookup_psl.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "build.h"
#include "corpus.h"
#include "list_reader.h"
#include "lookup.h"

namespace {

std::size_t engine_private_suffix(const lookup::SuffixTable& table, std::string_view name) {
    const lookup::Lookup found = lookup::look_up(table, name, {});
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

std::size_t c_api_private_suffix(const lookup_psl_list* list, std::string_view name) {
    char out[256];
    std::size_t needed = 0;
    return lookup_psl_privatesuffix(list, name.data(), name.size(), 0, out, sizeof out, &needed) == LOOKUP_PSL_OK
               ? needed
               : 0;
}

void report_per_name(benchmark::State& state, std::size_t names) {
    state.counters["ns_per_name"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(names),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// For the loads, "per name" is per load: one name each.
void report_per_load(benchmark::State& state) { report_per_name(state, 1); }

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
    // The engine over the compiled table, and over the same list built at
    // run time.
    const builder::TableBuild runtime = builder::build_table(builder::read_list_file(list_path));
    const lookup::SuffixTable tables[] = {lookup::compiled_table(), runtime.table.view(runtime.checksum)};
    const char* const table_names[] = {"engine/normalize+match+private_cut", "engine/run-time table"};
    for (std::size_t t = 0; t < 2; ++t) {
        const lookup::SuffixTable& table = tables[t];
        benchmark::RegisterBenchmark(table_names[t], [&names, &table](benchmark::State& state) {
            for (auto _ : state) {
                std::size_t sum = 0;
                for (const std::string_view name : names) {
                    sum += engine_private_suffix(table, name);
                }
                benchmark::DoNotOptimize(sum);
            }
            report_per_name(state, names.size());
        })->Unit(benchmark::kMillisecond);
    }

    benchmark::RegisterBenchmark("c_api/lookup_psl_privatesuffix", [&names](benchmark::State& state) {
        const lookup_psl_list* builtin = lookup_psl_builtin();
        for (auto _ : state) {
            std::size_t sum = 0;
            for (const std::string_view name : names) {
                sum += c_api_private_suffix(builtin, name);
            }
            benchmark::DoNotOptimize(sum);
        }
        report_per_name(state, names.size());
    })->Unit(benchmark::kMillisecond);

    benchmark::RegisterBenchmark("libpsl/psl_load_file", [&](benchmark::State& state) {
        for (auto _ : state) {
            psl_ctx_t* loaded = psl_load_file(list_path.c_str());
            benchmark::DoNotOptimize(loaded);
            psl_free(loaded);
        }
        report_per_load(state);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("builder/read+build_table", [&](benchmark::State& state) {
        for (auto _ : state) {
            const builder::TableBuild loaded = builder::build_table(builder::read_list_file(list_path));
            benchmark::DoNotOptimize(loaded.table.nodes.data());
        }
        report_per_load(state);
    })->Unit(benchmark::kMillisecond);

    benchmark::RegisterBenchmark("c_api/lookup_psl_list_from_file", [&](benchmark::State& state) {
        for (auto _ : state) {
            lookup_psl_list* loaded = nullptr;
            if (lookup_psl_list_from_file(list_path.c_str(), nullptr, 0, &loaded, nullptr) != LOOKUP_PSL_OK) {
                state.SkipWithError("lookup_psl_list_from_file failed");
                break;
            }
            benchmark::DoNotOptimize(loaded);
            lookup_psl_list_free(loaded);
        }
        report_per_load(state);
    })->Unit(benchmark::kMillisecond);

    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    psl_free(psl);

    const Summary theirs = summarize(reporter.per_name["libpsl/lower+registrable_domain+is_public_suffix"]);
    const Summary ours = summarize(reporter.per_name["engine/normalize+match+private_cut"]);
    const Summary ours_runtime = summarize(reporter.per_name["engine/run-time table"]);
    const Summary c_api = summarize(reporter.per_name["c_api/lookup_psl_privatesuffix"]);
    const Summary psl_load = summarize(reporter.per_name["libpsl/psl_load_file"]);
    const Summary c_api_load = summarize(reporter.per_name["c_api/lookup_psl_list_from_file"]);
    const Summary build = summarize(reporter.per_name["builder/read+build_table"]);
    std::printf("\nper name, median of repetitions (spread = (max - min) / median):\n");
    std::printf("  libpsl  %8.1f ns  (%5.1f%%)\n", theirs.median, theirs.spread * 100);
    std::printf("  engine  %8.1f ns  (%5.1f%%)\n", ours.median, ours.spread * 100);
    std::printf("  engine, run-time table  %8.1f ns  (%5.1f%%)\n", ours_runtime.median, ours_runtime.spread * 100);
    std::printf("  C API lookup_psl_privatesuffix  %8.1f ns  (%5.1f%%)\n", c_api.median, c_api.spread * 100);
    if (ours.median > 0 && c_api.median > 0) {
        std::printf("  C API is %.2fx faster than libpsl; C API / engine: %.3f\n", theirs.median / c_api.median,
                    c_api.median / ours.median);
    }
    if (ours.median > 0) {
        std::printf("  engine is %.2fx faster than libpsl (target 6x)\n", theirs.median / ours.median);
        std::printf("  run-time table / compiled table: %.3f (target <= 1.05)\n", ours_runtime.median / ours.median);
    }
    std::printf("per load of %s (median of repetitions):\n", list_path.c_str());
    std::printf("  psl_load_file  %8.3f ms  (%5.1f%%)\n", psl_load.median / 1e6, psl_load.spread * 100);
    std::printf("  build_table    %8.3f ms  (%5.1f%%)\n", build.median / 1e6, build.spread * 100);
    std::printf("  lookup_psl_list_from_file  %8.3f ms  (%5.1f%%)\n", c_api_load.median / 1e6,
                c_api_load.spread * 100);
    std::printf("  table: %zu bytes (pool %zu, %zu nodes, %zu edges with heads)\n",
                runtime.table.pool.size() + runtime.table.nodes.size() * sizeof(lookup::Node) +
                    runtime.table.edges.size() * (sizeof(lookup::Edge) + sizeof(std::uint32_t)),
                runtime.table.pool.size(), runtime.table.nodes.size(), runtime.table.edges.size());
    return 0;
}
