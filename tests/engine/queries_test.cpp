// Queries at the engine level: normalize, match, decide and cut.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "lookup.h"
#include "trie_walk.h"

namespace lookup {
namespace {

using Flags = QueryFlags;

using Text = std::optional<std::string>;

Text to_text(std::optional<std::string_view> view) { return view ? Text(std::string(*view)) : std::nullopt; }

struct Answers {
    Text public_suffix;
    Text private_suffix;
    bool is_public = false;
    bool is_private = false;
};

Answers ask(std::string_view domain, Flags flags = {}) {
    const Lookup found = look_up(domain, flags);
    return {to_text(found.public_suffix()), to_text(found.private_suffix()), found.is_public(), found.is_private()};
}

Text subdomain(std::string_view domain, std::uint64_t depth, Flags flags = {}) {
    const Lookup found = look_up(domain, flags);
    return to_text(found.subdomain(depth));
}

TEST(SkipLabels, CutsWholeLabels) {
    EXPECT_EQ(skip_labels("a.b.c", 0), "a.b.c");
    EXPECT_EQ(skip_labels("a.b.c", 1), "b.c");
    EXPECT_EQ(skip_labels("a.b.c", 2), "c");
    EXPECT_EQ(skip_labels("\xe1\xba\x9e.EXAMPLE.COM", 1), "EXAMPLE.COM");
}

// The scans by words against a byte loop: one or two dots at every place in
// texts of up to three words, among ASCII bytes and bytes that are a dot's
// but for the high bit.
TEST(SkipLabels, WordScansFindTheDotsAByteLoopFinds) {
    for (const char filler : {'a', '\xAE', '\xFF'}) {
        for (std::size_t size = 1; size <= 24; ++size) {
            for (std::size_t first = 0; first <= size; ++first) {
                for (std::size_t second = first; second <= size; ++second) {
                    std::string text(size, filler);
                    std::vector<std::size_t> ends;  // each label's end
                    for (const std::size_t dot : {first, second}) {
                        if (dot < size && text[dot] != '.') {
                            text[dot] = '.';
                            ends.push_back(dot);
                        }
                    }
                    ends.push_back(size);
                    for (std::size_t k = 0; k < ends.size(); ++k) {
                        const std::size_t start = k == 0 ? 0 : ends[k - 1] + 1;
                        EXPECT_EQ(skip_labels(text, k), std::string_view(text).substr(start)) << text << " " << k;
                        EXPECT_EQ(trie_walk::label_start_before(text.data(), text.data() + ends[k]), text.data() + start)
                            << text << " " << k;
                    }
                }
            }
        }
    }
}

TEST(Queries, PlainNames) {
    const Answers a = ask("a.b.example.com");
    EXPECT_EQ(a.public_suffix, "com");
    EXPECT_EQ(a.private_suffix, "example.com");
    EXPECT_FALSE(a.is_public);
    EXPECT_TRUE(a.is_private);
    const std::pair<const char*, const char*> entirely_public[] = {{"co.uk", "co.uk"}, {"com", "com"}, {"com.", "com"}};
    for (const auto& [name, suffix] : entirely_public) {
        const Answers b = ask(name);
        EXPECT_EQ(b.public_suffix, suffix);
        EXPECT_EQ(b.private_suffix, std::nullopt);
        EXPECT_TRUE(b.is_public);
        EXPECT_FALSE(b.is_private);
    }
}

TEST(Queries, WildcardsExceptionsAndUnknown) {
    EXPECT_EQ(ask("foo.ck").public_suffix, "foo.ck");
    EXPECT_TRUE(ask("foo.ck").is_public);
    EXPECT_EQ(ask("a.b.foo.ck").private_suffix, "b.foo.ck");
    EXPECT_EQ(ask("www.ck").public_suffix, "ck");
    EXPECT_EQ(ask("www.ck").private_suffix, "www.ck");
    EXPECT_TRUE(ask("ck", {.accept_unknown = false}).is_public);
    EXPECT_EQ(ask("example.test").private_suffix, "example.test");
    const Answers unknown = ask("example.test", {.accept_unknown = false});
    EXPECT_EQ(unknown.public_suffix, std::nullopt);
    EXPECT_EQ(unknown.private_suffix, std::nullopt);
    EXPECT_FALSE(unknown.is_public);
    EXPECT_FALSE(unknown.is_private);
    EXPECT_EQ(ask("example.za").public_suffix, "za");
    EXPECT_EQ(ask("example.za", {.accept_unknown = false}).public_suffix, std::nullopt);
}

TEST(Queries, IcannOnly) {
    EXPECT_EQ(ask("foo.blogspot.com").public_suffix, "blogspot.com");
    EXPECT_EQ(ask("foo.blogspot.com", {.icann_only = true}).public_suffix, "com");
    EXPECT_EQ(ask("foo.blogspot.com").private_suffix, "foo.blogspot.com");
    EXPECT_EQ(ask("foo.blogspot.com", {.icann_only = true}).private_suffix, "blogspot.com");
    EXPECT_TRUE(ask("blogspot.com").is_public);
    EXPECT_TRUE(ask("blogspot.com", {.icann_only = true}).is_private);
}

TEST(Queries, KeepCaseCutsTheCallersText) {
    EXPECT_EQ(ask("Mail.Example.CO.UK").public_suffix, "co.uk");
    EXPECT_EQ(ask("Mail.Example.CO.UK", {.keep_case = true}).public_suffix, "CO.UK");
    EXPECT_EQ(ask("Mail.Example.CO.UK", {.keep_case = true}).private_suffix, "Example.CO.UK");
    // U+1E9E shrinks by a byte when lowered; labels are counted, not bytes.
    EXPECT_EQ(ask("\xe1\xba\x9e.EXAMPLE.COM", {.keep_case = true}).private_suffix, "EXAMPLE.COM");
    EXPECT_EQ(ask("\xe1\xba\x9e.EXAMPLE.COM").private_suffix, "example.com");
    EXPECT_EQ(subdomain("\xe1\xba\x9e.EXAMPLE.COM", 1, {.keep_case = true}), "\xe1\xba\x9e.EXAMPLE.COM");
    EXPECT_EQ(subdomain("\xe1\xba\x9e.EXAMPLE.COM", 1), "\xc3\x9f.example.com");
    EXPECT_EQ(ask("a.b.example.com.", {.keep_case = true}).private_suffix, "example.com");
}

TEST(Queries, InvalidNamesAnswerNothing) {
    for (const char* name : {"", ".", "..", ".example.com", "example..com", "example.com.."}) {
        for (const bool keep_case : {false, true}) {
            const Answers a = ask(name, {.accept_unknown = keep_case, .keep_case = keep_case});
            EXPECT_EQ(a.public_suffix, std::nullopt) << name;
            EXPECT_FALSE(a.is_public) << name;
            EXPECT_EQ(subdomain(name, 0), std::nullopt) << name;
        }
    }
}

TEST(Queries, SubdomainDepths) {
    EXPECT_EQ(subdomain("a.b.example.co.uk", 0), "example.co.uk");
    EXPECT_EQ(subdomain("a.b.example.co.uk", 1), "b.example.co.uk");
    EXPECT_EQ(subdomain("a.b.example.co.uk", 2), "a.b.example.co.uk");
    EXPECT_EQ(subdomain("a.b.example.co.uk", 3), std::nullopt);
    EXPECT_EQ(subdomain("a.b.example.co.uk", UINT64_MAX), std::nullopt);
    EXPECT_EQ(subdomain("co.uk", 0), std::nullopt);
    EXPECT_EQ(subdomain("a.b.foo.ck", 1), "a.b.foo.ck");
    EXPECT_EQ(subdomain("a.b.foo.ck", 2), std::nullopt);
}

// The labels in front of the private suffix, taken one by one, then the
// private suffix itself; none for a name without one.
TEST(Queries, PrivateParts) {
    const auto found = look_up("Mail.B.Example.CO.UK.", {.keep_case = true});
    const auto parts = found.private_parts();
    ASSERT_TRUE(parts);
    ASSERT_EQ(parts->labels_in_front, 2u);
    std::string_view rest = parts->text;
    EXPECT_EQ(take_label(rest), "Mail");
    EXPECT_EQ(take_label(rest), "B");
    EXPECT_EQ(rest, "Example.CO.UK");
    const Lookup own = look_up("example.co.uk", {});
    EXPECT_EQ(own.private_parts()->labels_in_front, 0u);
    const Lookup entirely_public = look_up("co.uk", {});
    EXPECT_FALSE(entirely_public.private_parts());
}

}  // namespace
}  // namespace lookup
