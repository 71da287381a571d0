// The query path under arbitrary text: bytes made into valid UTF-8, then
// normalization, matching with every flag combination, and every decision
// and cut the six queries make, checked against the relations that hold for
// any input and against a plain reference lowering.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lib/cut.h"
#include "match/match_suffix.h"
#include "normalize/normalize.h"
#include "reference_lowering.h"
#include "utf8_repair.h"

namespace {

const fuzz::ReferenceLowering* reference = nullptr;

[[noreturn]] void fail(const char* what, std::string_view domain) {
    std::fprintf(stderr, "query_fuzzer: %s\n  domain (%zu bytes): ", what, domain.size());
    for (const char c : domain.substr(0, 200)) {
        std::fprintf(stderr, "%02x", static_cast<unsigned char>(c));
    }
    std::fprintf(stderr, "\n");
    std::abort();
}

#define CHECK(condition)                         \
    do {                                         \
        if (!(condition)) fail(#condition, domain); \
    } while (0)

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

// The pieces privateparts makes: k labels from the left, then the rest.
std::vector<std::string_view> private_parts(std::string_view source, std::size_t k) {
    std::vector<std::string_view> parts;
    for (std::size_t i = 0; i < k; ++i) {
        const std::size_t dot = source.find('.');
        if (dot == std::string_view::npos) {
            return {};
        }
        parts.push_back(source.substr(0, dot));
        source.remove_prefix(dot + 1);
    }
    parts.push_back(source);
    return parts;
}

void check_cuts(std::string_view domain, std::string_view source, std::size_t n, std::size_t p) {
    using namespace lookup;
    const std::vector<std::string_view> labels = split_labels(source);
    CHECK(labels.size() == n);

    const auto public_suffix = public_suffix_of(source, n, p);
    CHECK(public_suffix.has_value() == (p != 0));
    if (public_suffix) {
        CHECK(*public_suffix == rightmost(labels, p));
    }

    const auto private_suffix = private_suffix_of(source, n, p);
    CHECK(private_suffix.has_value() == decide_is_private(n, p));
    CHECK(decide_is_public(n, p) == (p == n));
    CHECK(!(decide_is_public(n, p) && decide_is_private(n, p)));
    for (const auto& answer : {public_suffix, private_suffix}) {
        if (answer) {
            CHECK(!answer->empty() && answer->front() != '.' && answer->back() != '.');
        }
    }
    if (!private_suffix) {
        CHECK(!subdomain_of(source, n, p, 0).has_value());
        CHECK(!subdomain_of(source, n, p, std::numeric_limits<std::uint64_t>::max()).has_value());
        return;
    }
    CHECK(*private_suffix == rightmost(labels, p + 1));

    const std::size_t k = n - p - 1;
    const auto parts = private_parts(source, k);
    CHECK(parts.size() == k + 1);
    CHECK(parts.back() == *private_suffix);
    std::string joined;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        CHECK(!parts[i].empty());
        if (i < k) {
            CHECK(parts[i] == labels[i]);
        }
        joined.append(i == 0 ? "" : ".").append(parts[i]);
    }
    CHECK(joined == source);

    CHECK(subdomain_of(source, n, p, 0) == private_suffix);
    CHECK(subdomain_of(source, n, p, k) == std::optional<std::string_view>(source));
    CHECK(subdomain_of(source, n, p, k / 2) == std::optional<std::string_view>(rightmost(labels, p + 1 + k / 2)));
    CHECK(!subdomain_of(source, n, p, std::uint64_t{k} + 1).has_value());
    CHECK(!subdomain_of(source, n, p, std::numeric_limits<std::uint64_t>::max()).has_value());
    CHECK(!subdomain_of(source, n, p, std::uint64_t{1} << 63).has_value());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* shared = std::getenv("LOOKUP_SHARED_DIR");
    reference = new fuzz::ReferenceLowering(std::string(shared != nullptr ? shared : LOOKUP_SHARED_DIR) +
                                            "/unicode/17.0.0");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<char32_t> code_points =
        fuzz::decode_lenient(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string text = fuzz::encode_utf8(code_points);
    const std::string_view domain = text;

    const std::optional<lookup::NormalizedDomain> normalized = lookup::normalize_domain(domain);
    const std::optional<std::string> expected = reference->lower_domain(code_points);
    CHECK(normalized.has_value() == expected.has_value());
    if (!normalized) {
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
            const std::size_t p = lookup::match_suffix(*normalized, accept_unknown, icann_only);
            CHECK(p <= n);
            CHECK(p != 0 || !accept_unknown);
            CHECK(p == lookup::match_suffix(lookup::compiled_table(), normalized->lowered(), n, accept_unknown,
                                            icann_only));
            check_cuts(domain, normalized->lowered(), n, p);
            check_cuts(domain, original, n, p);
        }
    }
    return 0;
}
