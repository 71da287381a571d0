// The query path under arbitrary text: bytes made into valid UTF-8, then
// normalization, matching with every flag combination, and every decision
// and cut the six queries make, checked against the relations that hold for
// any input and against a plain reference lowering.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/reference_lowering.h"
#include "fuzz_failure.h"
#include "lookup.h"
#include "utf8.h"

namespace {

const lookup::testing::ReferenceLowering* reference = nullptr;

[[noreturn]] void fail(const char* what, std::string_view domain) {
    fuzz::report_failure("query_fuzzer", what, "domain", domain);
}

#define CHECK(condition) FUZZ_CHECK(condition, fail, domain)

std::vector<std::string_view> split_labels(std::string_view text) {
    std::vector<std::string_view> labels;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = text.find('.', start);
        labels.push_back(text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
        if (dot == std::string_view::npos) {
            return labels;
        }
        start = dot + 1;
    }
}

// The last `count` labels of `labels`, joined by dots.
std::string rightmost(const std::vector<std::string_view>& labels, std::size_t count) {
    std::string out;
    for (std::size_t i = labels.size() - count; i < labels.size(); ++i) {
        if (!out.empty() || i != labels.size() - count) {
            out += '.';
        }
        out += labels[i];
    }
    return out;
}

// Every answer of one lookup against the labels of its result source.
void check_answers(std::string_view domain, const lookup::Lookup& found) {
    const std::string_view source = found.source();
    const std::size_t n = found.label_count();
    const std::size_t p = found.suffix_label_count();
    const std::vector<std::string_view> labels = split_labels(source);
    CHECK(labels.size() == n);

    const auto public_suffix = found.public_suffix();
    CHECK(public_suffix.has_value() == (p != 0));
    if (public_suffix) {
        CHECK(*public_suffix == rightmost(labels, p));
    }

    const auto private_suffix = found.private_suffix();
    CHECK(private_suffix.has_value() == found.is_private());
    CHECK(found.is_public() == (p == n));
    CHECK(!(found.is_public() && found.is_private()));
    for (const auto& answer : {public_suffix, private_suffix}) {
        if (answer) {
            CHECK(!answer->empty() && answer->front() != '.' && answer->back() != '.');
        }
    }
    const auto parts = found.private_parts();
    CHECK(parts.has_value() == private_suffix.has_value());
    if (!private_suffix) {
        CHECK(!found.subdomain(0).has_value());
        CHECK(!found.subdomain(std::numeric_limits<std::uint64_t>::max()).has_value());
        return;
    }
    CHECK(*private_suffix == rightmost(labels, p + 1));

    const std::size_t k = n - p - 1;
    CHECK(parts->labels_in_front == k);
    std::string_view rest = parts->text;
    std::string joined;
    for (std::size_t i = 0; i < k; ++i) {
        const std::string_view label = lookup::take_label(rest);
        CHECK(!label.empty() && label == labels[i]);
        joined.append(label).append(".");
    }
    CHECK(rest == *private_suffix);
    CHECK(joined + std::string(rest) == source);

    CHECK(found.subdomain(0) == private_suffix);
    CHECK(found.subdomain(k) == std::optional<std::string_view>(source));
    CHECK(found.subdomain(k / 2) == std::optional<std::string_view>(rightmost(labels, p + 1 + k / 2)));
    CHECK(!found.subdomain(std::uint64_t{k} + 1).has_value());
    CHECK(!found.subdomain(std::numeric_limits<std::uint64_t>::max()).has_value());
    CHECK(!found.subdomain(std::uint64_t{1} << 63).has_value());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* data = std::getenv("LOOKUP_DATA_DIR");
    const std::filesystem::path data_dir =
        data != nullptr ? std::filesystem::path(data)
                        : std::filesystem::canonical("/proc/self/exe").parent_path() / LOOKUP_DATA_FROM_FUZZERS;
    reference = new lookup::testing::ReferenceLowering((data_dir / "unicode/17.0.0").lexically_normal().string());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Any bytes, made into valid UTF-8.
    const std::string text = lookup::utf8::repair(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::u32string code_points = *lookup::utf8::decode_strict(text);
    const std::string_view domain = text;

    const std::optional<lookup::NormalizedDomain> normalized = lookup::normalize_domain(domain);
    const std::optional<std::string> expected = reference->lower_domain(code_points);
    CHECK(normalized.has_value() == expected.has_value());
    if (!normalized) {
        const lookup::Lookup invalid = lookup::look_up(domain, {});
        CHECK(!invalid.valid() && !invalid.public_suffix() && !invalid.is_public() && !invalid.is_private());
        return 0;
    }
    CHECK(normalized->lowered() == *expected);

    const std::string_view original = normalized->original();
    CHECK(original.data() == domain.data());
    CHECK(original.size() == (domain.ends_with('.') ? domain.size() - 1 : domain.size()));
    const std::size_t n = normalized->label_count();
    CHECK(n >= 1);
    CHECK(split_labels(normalized->lowered()).size() == n);
    CHECK(split_labels(original).size() == n);

    for (const bool accept_unknown : {false, true}) {
        for (const bool icann_only : {false, true}) {
            for (const bool keep_case : {false, true}) {
                const lookup::Lookup found = lookup::look_up(domain, {accept_unknown, icann_only, keep_case});
                CHECK(found.valid());
                const std::size_t p = found.suffix_label_count();
                CHECK(found.label_count() == n);
                CHECK(p <= n);
                CHECK(p != 0 || !accept_unknown);
                CHECK(p == lookup::match_suffix(lookup::compiled_table(), normalized->lowered(), n, accept_unknown,
                                                icann_only));
                CHECK(found.source() == (keep_case ? original : normalized->lowered()));
                check_answers(domain, found);
            }
        }
    }
    return 0;
}
