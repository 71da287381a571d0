// The fast paths against the general ones under arbitrary text: the
// word-at-a-time ASCII lowering against lowering character by character,
// and lookups through the child index against the binary search, for the
// name's labels under any node of the compiled table and for whole lookups
// with every flag combination.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "child_index.h"
#include "dot_bits.h"
#include "fault.h"
#include "fuzz_failure.h"
#include "lookup.h"
#include "utf8.h"

namespace {

[[noreturn]] void fail(const char* what, std::string_view domain) {
    fuzz::report_failure("fast_path_fuzzer", what, "domain", domain);
}

#define CHECK(condition) FUZZ_CHECK(condition, fail, domain)

template <class Search>
std::string outcome(Search search) {
    try {
        return std::to_string(search());
    } catch (const lookup::Fault& fault) {
        return fault.message();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    // The first two bytes pick a node; the rest, made into valid UTF-8, is the name.
    const std::uint32_t picked = static_cast<std::uint32_t>(data[0]) << 8 | data[1];
    const std::string text = lookup::utf8::repair(std::string_view(reinterpret_cast<const char*>(data) + 2, size - 2));
    const std::string_view domain = text;

    const auto fast = lookup::normalize_domain(domain);
    const auto general = lookup::normalize_domain_by_characters(domain);
    CHECK(fast.has_value() == general.has_value());
    if (fast) {
        CHECK(fast->lowered() == general->lowered());
        CHECK(fast->label_count() == general->label_count());
        // The dots, where noted, are the text's.
        const std::uint64_t* dots = fast->dot_bits();
        for (std::size_t k = 0; dots != nullptr && k < fast->label_count(); ++k) {
            CHECK(fast->lowered().substr(lookup::dot_bits::label_start(*dots, k)) ==
                  lookup::skip_labels(fast->lowered(), k));
        }
    }

    const lookup::SuffixTable plain = lookup::compiled_table();
    const lookup::SuffixTable indexed = lookup::indexed_compiled_table();
    const std::uint32_t node = picked % plain.nodes.size();
    // Every label of the name as given (dots split it, case kept: labels no
    // lowering would make), and the name whole.
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = domain.find('.', start);
        const std::string_view label = domain.substr(start, dot == std::string_view::npos ? dot : dot - start);
        CHECK(outcome([&] { return lookup::find_child_indexed(indexed, node, label); }) ==
              outcome([&] { return lookup::find_child(plain, node, label); }));
        if (dot == std::string_view::npos) {
            break;
        }
        start = dot + 1;
    }
    CHECK(lookup::find_child_indexed(indexed, node, domain) == lookup::find_child(plain, node, domain));

    for (const bool accept_unknown : {false, true}) {
        for (const bool icann_only : {false, true}) {
            const lookup::QueryFlags flags{accept_unknown, icann_only, false};
            const lookup::Lookup through_index = lookup::look_up(indexed, domain, flags);
            const lookup::Lookup searched = lookup::look_up(plain, domain, flags);
            CHECK(through_index.valid() == searched.valid());
            CHECK(through_index.suffix_label_count() == searched.suffix_label_count());
            CHECK(through_index.private_suffix() == searched.private_suffix());
        }
    }
    return 0;
}
