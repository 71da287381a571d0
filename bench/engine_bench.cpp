// Time and heap allocations per name of the engine's stages over the corpus,
// and time per byte over names of many labels.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdio>
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "allocation_counter.h"
#include "corpus.h"
#include "long_names.h"
#include "lookup.h"

namespace {

using lookup::compiled_table;
using lookup::match_suffix;
using lookup::normalize_domain;

// Default flags of every query: accept_unknown, not icann_only, not keep_case.
constexpr lookup::QueryFlags DEFAULT_FLAGS;

std::size_t normalize_only(std::string_view name) {
    const auto domain = normalize_domain(name);
    return domain ? domain->label_count() : 0;
}

std::size_t normalize_match(std::string_view name) {
    const auto domain = normalize_domain(name);
    return domain ? match_suffix(compiled_table(), domain->lowered(), domain->label_count(), DEFAULT_FLAGS.accept_unknown,
                                 DEFAULT_FLAGS.icann_only)
                  : 0;
}

std::size_t normalize_match_cut(std::string_view name) {
    const lookup::Lookup found = lookup::look_up(name, DEFAULT_FLAGS);
    const auto answer = found.private_suffix();
    return answer ? answer->size() : 0;
}

// The same through the child index, as bulk callers look names up.
std::size_t indexed_normalize_match_cut(const lookup::SuffixTable& indexed, std::string_view name) {
    const lookup::Lookup found = lookup::look_up(indexed, name, DEFAULT_FLAGS);
    const auto answer = found.private_suffix();
    return answer ? answer->size() : 0;
}

// Lowered names packed into one buffer, as the match stage's input.
struct PreNormalized {
    std::string text;
    std::vector<std::string_view> lowered;
    std::vector<std::size_t> label_counts;
    std::size_t invalid = 0;
};

PreNormalized pre_normalize(const std::vector<std::string_view>& names) {
    PreNormalized out;
    std::vector<std::size_t> offsets;
    for (const std::string_view name : names) {
        const auto domain = normalize_domain(name);
        if (!domain) {
            ++out.invalid;
            continue;
        }
        offsets.push_back(out.text.size());
        out.text += domain->lowered();
        out.label_counts.push_back(domain->label_count());
    }
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        const std::size_t end = i + 1 < offsets.size() ? offsets[i + 1] : out.text.size();
        out.lowered.push_back(std::string_view(out.text).substr(offsets[i], end - offsets[i]));
    }
    return out;
}

// One "input" of a stage is one call of `step` with an index below `count`.
struct Stage {
    std::string name;
    std::size_t count;
    std::function<std::size_t(std::size_t)> step;
};

struct AllocationFigures {
    std::size_t total = 0;
    std::size_t most_in_one = 0;
    std::size_t under_inline = 0;  // allocations for inputs shorter than the inline buffer
};

AllocationFigures count_allocations(const Stage& stage, const std::function<std::size_t(std::size_t)>& length_of) {
    AllocationFigures figures;
    for (std::size_t i = 0; i < stage.count; ++i) {
        const std::size_t before = bench::allocation_count();
        benchmark::DoNotOptimize(stage.step(i));
        const std::size_t made = bench::allocation_count() - before;
        figures.total += made;
        figures.most_in_one = std::max(figures.most_in_one, made);
        if (length_of(i) < lookup::LoweredText::INLINE_CAPACITY) {
            figures.under_inline += made;
        }
    }
    return figures;
}

// Each iteration is one pass over all inputs; the counters give the time per
// input (and per byte when `bytes_per_pass` is set). Allocations are counted
// apart, after the runs.
void run_stage(benchmark::State& state, const Stage& stage, std::size_t bytes_per_pass) {
    for (auto _ : state) {
        std::size_t sum = 0;
        for (std::size_t i = 0; i < stage.count; ++i) {
            sum += stage.step(i);
        }
        benchmark::DoNotOptimize(sum);
    }
    const auto passes = static_cast<double>(state.iterations());
    state.counters["ns_per_name"] = benchmark::Counter(passes * static_cast<double>(stage.count),
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    if (bytes_per_pass != 0) {
        state.counters["ns_per_byte"] = benchmark::Counter(passes * static_cast<double>(bytes_per_pass),
                                                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    }
}

struct Budget {
    std::size_t most_per_name;
    bool none_under_inline;
};

bool report_allocations(const Stage& stage, const std::function<std::size_t(std::size_t)>& length_of, Budget budget) {
    const AllocationFigures f = count_allocations(stage, length_of);
    const bool within = f.most_in_one <= budget.most_per_name && (!budget.none_under_inline || f.under_inline == 0);
    std::printf("  %-52s %6.4f per name, at most %zu in one, %zu for names under %zu bytes  [%s]\n",
                stage.name.c_str(), static_cast<double>(f.total) / static_cast<double>(stage.count), f.most_in_one,
                f.under_inline, lookup::LoweredText::INLINE_CAPACITY, within ? "ok" : "OVER BUDGET");
    return within;
}

}  // namespace

int main(int argc, char** argv) {
    const bench::Corpus corpus = bench::start_with_corpus("engine_bench", argc, argv);
    const std::vector<std::string_view>& names = corpus.names;
    const PreNormalized prepared = pre_normalize(names);
    std::size_t bytes = 0;
    std::size_t non_ascii = 0;
    for (const std::string_view name : names) {
        bytes += name.size();
        for (const char c : name) {
            if (static_cast<unsigned char>(c) >= 0x80) {
                ++non_ascii;
                break;
            }
        }
    }
    std::printf("corpus %s: %zu names, %.1f bytes on average, %zu not ASCII, %zu invalid\n", corpus.path.c_str(),
                names.size(), static_cast<double>(bytes) / static_cast<double>(names.size()), non_ascii,
                prepared.invalid);
    std::fflush(stdout);

    const lookup::SuffixTable table = compiled_table();
    const lookup::SuffixTable indexed = lookup::indexed_compiled_table();
    const std::vector<Stage> corpus_stages = {
        {"normalize", names.size(), [&](std::size_t i) { return normalize_only(names[i]); }},
        {"match (pre-normalized)", prepared.lowered.size(),
         [&](std::size_t i) {
             return match_suffix(table, prepared.lowered[i], prepared.label_counts[i], DEFAULT_FLAGS.accept_unknown, DEFAULT_FLAGS.icann_only);
         }},
        {"normalize+match", names.size(), [&](std::size_t i) { return normalize_match(names[i]); }},
        {"normalize+match+private_cut", names.size(), [&](std::size_t i) { return normalize_match_cut(names[i]); }},
        {"indexed/match (pre-normalized)", prepared.lowered.size(),
         [&](std::size_t i) {
             return match_suffix(indexed, prepared.lowered[i], prepared.label_counts[i], DEFAULT_FLAGS.accept_unknown,
                                 DEFAULT_FLAGS.icann_only);
         }},
        {"indexed/normalize+match+private_cut", names.size(),
         [&](std::size_t i) { return indexed_normalize_match_cut(indexed, names[i]); }},
    };
    for (const Stage& stage : corpus_stages) {
        benchmark::RegisterBenchmark(("corpus/" + stage.name).c_str(),
                                     [&stage](benchmark::State& state) { run_stage(state, stage, 0); })
            ->Unit(benchmark::kMillisecond);
    }

    struct LongName {
        std::string label;
        std::string text;
    };
    std::vector<LongName> long_names;
    for (const auto kind : {bench::LabelText::Ascii, bench::LabelText::NonAscii}) {
        for (const std::size_t labels : {10, 100, 1000, 10000}) {
            long_names.push_back({std::string(kind == bench::LabelText::Ascii ? "ascii" : "non_ascii") + "/" +
                                      std::to_string(labels) + "_labels",
                                  bench::make_long_name(labels, kind)});
        }
    }
    std::vector<Stage> long_stages;
    long_stages.reserve(long_names.size());
    for (const LongName& name : long_names) {
        const std::string_view text = name.text;
        long_stages.push_back({"long/" + name.label + "/normalize+match+private_cut", 1,
                               [text](std::size_t) { return normalize_match_cut(text); }});
    }
    for (std::size_t i = 0; i < long_stages.size(); ++i) {
        const Stage& stage = long_stages[i];
        const std::size_t size = long_names[i].text.size();
        benchmark::RegisterBenchmark(stage.name.c_str(),
                                     [&stage, size](benchmark::State& state) { run_stage(state, stage, size); });
    }

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    // Budgets: matching allocates nothing; normalization at most once per
    // name, and never for a name that fits the inline buffer.
    std::printf("\nheap allocations per name:\n");
    const auto corpus_length = [&](std::size_t i) { return names[i].size(); };
    const auto prepared_length = [&](std::size_t i) { return prepared.lowered[i].size(); };
    bool within = true;
    within &= report_allocations(corpus_stages[0], corpus_length, {1, true});
    within &= report_allocations(corpus_stages[1], prepared_length, {0, true});
    within &= report_allocations(corpus_stages[2], corpus_length, {1, true});
    within &= report_allocations(corpus_stages[3], corpus_length, {1, true});
    within &= report_allocations(corpus_stages[4], prepared_length, {0, true});
    within &= report_allocations(corpus_stages[5], corpus_length, {1, true});
    for (std::size_t i = 0; i < long_stages.size(); ++i) {
        const std::size_t size = long_names[i].text.size();
        within &= report_allocations(long_stages[i], [size](std::size_t) { return size; }, {1, true});
    }
    return within ? 0 : 1;
}
