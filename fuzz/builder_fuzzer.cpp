// The table builder under arbitrary list text: it either refuses the text
// with a BuildError or builds a table that obeys every layout rule and whose
// lookups agree with trying the list's rules one by one. The run-time build
// (build_table, as lookup_psl.SuffixList makes it) must give the same table,
// and the lookups go through look_up over it, searched and through its child
// index, as the module and the package's queries do.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "build.h"
#include "build_error.h"
#include "builder/layout_validator.h"
#include "list_reader.h"
#include "lookup.h"
#include "naive_rules.h"

namespace {

[[noreturn]] void fail(const std::string& what, std::string_view list) {
    std::fprintf(stderr, "builder_fuzzer: %s\n--- list (%zu bytes) ---\n%.*s\n---\n", what.c_str(), list.size(),
                 static_cast<int>(list.size() < 2000 ? list.size() : 2000), list.data());
    std::abort();
}

// A small deterministic generator, seeded from the input, so a crash
// reproduces from its input alone.
struct Random {
    std::uint64_t state;
    std::uint64_t next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    std::size_t below(std::size_t bound) { return bound == 0 ? 0 : next() % bound; }
};

std::string join(const std::vector<std::string>& labels) {
    std::string out;
    for (const std::string& label : labels) {
        out.append(out.empty() ? "" : ".").append(label);
    }
    return out;
}

// Names made of the rules' own labels, whole rule names with labels added on
// the left, and labels no rule has.
std::vector<std::string> random_name(Random& random, const fuzz::NaiveRules& rules) {
    static const std::vector<std::string> strangers = {"zz", "a", "xn--zz", "0", "-", "\xc3\xa9"};
    auto any_label = [&]() -> const std::string& {
        if (rules.labels().empty() || random.below(5) == 0) {
            return strangers[random.below(strangers.size())];
        }
        return rules.labels()[random.below(rules.labels().size())];
    };
    std::vector<std::string> labels;
    if (!rules.names().empty() && random.below(3) != 0) {
        labels = rules.names()[random.below(rules.names().size())];
        if (random.below(4) == 0 && labels.size() > 1) {
            labels.erase(labels.begin());  // a proper suffix of a rule name
        }
    }
    for (std::size_t extra = random.below(4) + (labels.empty() ? 1 : 0); extra > 0; --extra) {
        labels.insert(labels.begin(), any_label());
    }
    return labels;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view list(reinterpret_cast<const char*>(data), size);
    builder::BuildResult built;
    try {
        built = builder::build_from_list(list);
    } catch (const builder::BuildError& error) {
        if (std::string_view(error.what()).empty()) {
            fail("BuildError without a message", list);
        }
        return 0;
    }

    const builder::TableBuild runtime = builder::build_table(list);
    if (runtime.checksum != built.checksum || runtime.table.pool != built.table.pool ||
        runtime.table.heads != built.table.heads || runtime.table.nodes.size() != built.table.nodes.size() ||
        runtime.table.edges.size() != built.table.edges.size()) {
        fail("the run-time build made another table", list);
    }
    for (std::size_t i = 0; i < runtime.table.nodes.size(); ++i) {
        const lookup::Node& a = runtime.table.nodes[i];
        const lookup::Node& b = built.table.nodes[i];
        if (a.first_edge != b.first_edge || a.edge_count != b.edge_count || a.flags != b.flags) {
            fail("the run-time build made another node " + std::to_string(i), list);
        }
    }
    for (std::size_t i = 0; i < runtime.table.edges.size(); ++i) {
        const lookup::Edge& a = runtime.table.edges[i];
        const lookup::Edge& b = built.table.edges[i];
        if (a.label_start != b.label_start || a.label_end != b.label_end || a.target != b.target) {
            fail("the run-time build made another edge " + std::to_string(i), list);
        }
    }

    const lookup::SuffixTable view = runtime.table.view(runtime.checksum);
    const lookup::SuffixTable indexed = runtime.view();
    const std::vector<std::string> problems = builder::testing::layout_violations(view);
    if (!problems.empty()) {
        fail("layout: " + problems.front(), list);
    }
    if (built.checksum.size() != 64 || built.checksum.find_first_not_of("0123456789abcdef") != std::string::npos) {
        fail("checksum is not 64 lowercase hex digits: " + built.checksum, list);
    }

    fuzz::NaiveRules rules;
    for (const builder::Rule& rule : builder::read_rules(list)) {
        if (!rules.add(rule)) {
            fail("a label without a Punycode form was built", list);
        }
    }

    Random random{0x9E3779B97F4A7C15ULL ^ size};
    for (std::size_t i = 0; i < size; ++i) {
        random.state = (random.state ^ data[i]) * 0x100000001B3ULL;
    }
    random.state |= 1;
    for (int round = 0; round < 48; ++round) {
        const std::vector<std::string> labels = random_name(random, rules);
        const std::string name = join(labels);
        for (const bool accept_unknown : {false, true}) {
            for (const bool icann_only : {false, true}) {
                const std::size_t want = rules.match(labels, accept_unknown, icann_only);
                // The table searched as the module searches it, and through its child index.
                for (const lookup::SuffixTable& searched : {view, indexed}) {
                    const lookup::Lookup found = lookup::look_up(searched, name, {accept_unknown, icann_only, false});
                    const std::size_t got = found.valid() ? found.suffix_label_count() : SIZE_MAX;
                    if (got != want) {
                        fail("look_up(\"" + name + "\", accept_unknown=" + std::to_string(accept_unknown) +
                                 ", icann_only=" + std::to_string(icann_only) + ")" +
                                 (searched.index != nullptr ? " through the index" : "") + " gave " +
                                 std::to_string(got) + ", the rules give " + std::to_string(want),
                             list);
                    }
                }
            }
        }
    }
    return 0;
}
