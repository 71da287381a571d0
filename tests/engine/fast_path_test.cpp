// The fast paths that bulk callers take give exactly the general paths'
// answers: over the benchmark corpus and names of awkward shapes, the
// word-at-a-time ASCII lowering against lowering character by character (and
// the dots it notes against the text's), and lookups through the
// generated child index, with the dots noted, against the binary search
// without them.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "dot_bits.h"
#include "lookup.h"
#include "test_paths.h"

namespace lookup {
namespace {

std::vector<std::string> names_to_check() {
    std::vector<std::string> names = {
        "", ".", "..", "a..b", "COM", "com.", "Example.CO.UK", "www.example.co.uk.", std::string(300, 'A') + ".com",
        "a.b.c.d.e.f.g.h.i.j.k.l.m.n.o.p.q.r.s.t.u.v.w.x.y.z.jp", "x.kawasaki.jp", "city.kawasaki.jp",
        "ÉCOLE.fr", "İ.example.com", "ΟΔΟΣ.gr", std::string("a\0b.com", 7), "abcdefgh.abcdefghi.com",
        "12345678.1234567.123456789.co.jp", ".com", "com..", "\xE2\x80\xA8.com"};
    // Either side of the limit of the noted dots, 63 bytes, with a trailing dot or without.
    for (const std::size_t size : {62, 63, 64}) {
        names.push_back(std::string(size - 11, 'a') + ".B.C.CO.UK.");
        names.push_back(std::string(size - 10, 'a') + ".B.C.CO.UK");
    }
    std::ifstream corpus(LOOKUP_DATA_DIR + "/bench/domains.txt");
    for (std::string line; std::getline(corpus, line);) {
        names.push_back(line);
    }
    return names;
}

TEST(FastPaths, AnswerAsTheGeneralPaths) {
    const SuffixTable plain = compiled_table();
    const SuffixTable indexed = indexed_compiled_table();
    const std::vector<std::string> names = names_to_check();
    ASSERT_GT(names.size(), 1000u);
    for (const std::string& name : names) {
        const auto fast = normalize_domain(name);
        const auto general = normalize_domain_by_characters(name);
        ASSERT_EQ(fast.has_value(), general.has_value()) << name;
        if (!fast) {
            continue;
        }
        ASSERT_EQ(fast->lowered(), general->lowered()) << name;
        ASSERT_EQ(fast->label_count(), general->label_count()) << name;
        const std::string_view lowered = fast->lowered();
        const std::uint64_t* dots = fast->dot_bits();
        const bool ascii = std::all_of(lowered.begin(), lowered.end(), [](char c) { return (c & 0x80) == 0; });
        ASSERT_EQ(dots != nullptr, ascii && lowered.size() < dot_bits::LIMIT) << name;
        for (std::size_t k = 0; dots != nullptr && k < fast->label_count(); ++k) {
            ASSERT_EQ(lowered.substr(dot_bits::label_start(*dots, k)), skip_labels(lowered, k)) << name << " label " << k;
        }
        for (const bool accept_unknown : {false, true}) {
            for (const bool icann_only : {false, true}) {
                ASSERT_EQ(match_suffix(indexed, lowered, fast->label_count(), dots, accept_unknown, icann_only),
                          match_suffix(plain, lowered, fast->label_count(), nullptr, accept_unknown, icann_only))
                    << name << " accept_unknown=" << accept_unknown << " icann_only=" << icann_only;
            }
        }
    }
}

}  // namespace
}  // namespace lookup
