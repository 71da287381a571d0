// The fast paths that bulk callers take give exactly the general paths'
// answers: over the benchmark corpus and names of awkward shapes, the
// word-at-a-time ASCII lowering against lowering character by character, and
// lookups through the generated child index against the binary search.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "lookup.h"

namespace lookup {
namespace {

std::vector<std::string> names_to_check() {
    std::vector<std::string> names = {
        "", ".", "..", "a..b", "COM", "com.", "Example.CO.UK", "www.example.co.uk.", std::string(300, 'A') + ".com",
        "a.b.c.d.e.f.g.h.i.j.k.l.m.n.o.p.q.r.s.t.u.v.w.x.y.z.jp", "x.kawasaki.jp", "city.kawasaki.jp",
        "ÉCOLE.fr", "İ.example.com", "ΟΔΟΣ.gr", std::string("a\0b.com", 7), "abcdefgh.abcdefghi.com",
        "12345678.1234567.123456789.co.jp", ".com", "com..", "\xE2\x80\xA8.com"};
    std::ifstream corpus(std::string(LOOKUP_DATA_DIR) + "/bench/domains.txt");
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
        if (fast) {
            ASSERT_EQ(fast->lowered(), general->lowered()) << name;
            ASSERT_EQ(fast->label_count(), general->label_count()) << name;
        }
        for (const QueryFlags flags : {QueryFlags{false, false, false}, QueryFlags{true, false, false},
                                       QueryFlags{false, true, false}, QueryFlags{true, true, false}}) {
            ASSERT_EQ(look_up(indexed, name, flags).suffix_label_count(), look_up(plain, name, flags).suffix_label_count())
                << name << " accept_unknown=" << flags.accept_unknown << " icann_only=" << flags.icann_only;
        }
    }
}

}  // namespace
}  // namespace lookup
