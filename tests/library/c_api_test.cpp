// The C API of liblookup_psl (the shared library, as programs link it): its
// answers against the engine's over the corpus, the caller's buffer, the
// arguments it refuses, lists it cannot build, memory running out, and the
// C++ API over it.
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>
#include <vector>

#include "failing_allocator.h"
#include "lookup.h"
#include "lookup_psl/lookup_psl.hpp"
#include "test_paths.h"

namespace {

const lookup_psl_list* const BUILTIN = lookup_psl_builtin();

std::vector<std::string> corpus() {
    std::ifstream file(LOOKUP_DATA_DIR + "/bench/domains.txt");
    std::vector<std::string> names;
    for (std::string line; std::getline(file, line);) names.push_back(line);
    return names;
}

std::optional<std::string> text_answer(lookup_psl_status status, const char* out) {
    EXPECT_TRUE(status == LOOKUP_PSL_OK || status == LOOKUP_PSL_NONE) << lookup_psl_status_text(status);
    return status == LOOKUP_PSL_OK ? std::optional<std::string>(out) : std::nullopt;
}

TEST(CApi, AnswersAsTheEngineOverTheCorpusUnderEveryFlag) {
    char out[512];
    std::size_t needed = 0, in_front = 0;
    lookup_psl_view view;
    for (unsigned flags = 0; flags < 8; ++flags) {
        const bool accept_unknown = (flags & LOOKUP_PSL_REJECT_UNKNOWN) == 0, icann_only = (flags & LOOKUP_PSL_ICANN_ONLY) != 0;
        for (const std::string& name : corpus()) {
            const lookup::Lookup found = lookup::look_up(name, {accept_unknown, icann_only, (flags & LOOKUP_PSL_KEEP_CASE) != 0});
            const lookup::Lookup kept = lookup::look_up(name, {accept_unknown, icann_only, true});
            const auto parts = found.private_parts();
            const char* d = name.data();
            const std::size_t n = name.size();
            const auto answer = [&](lookup_psl_status status) { return text_answer(status, out); };
            SCOPED_TRACE(name + " flags " + std::to_string(flags));
            EXPECT_EQ(answer(lookup_psl_publicsuffix(BUILTIN, d, n, flags, out, sizeof out, &needed)), found.public_suffix());
            EXPECT_EQ(answer(lookup_psl_privatesuffix(BUILTIN, d, n, flags, out, sizeof out, &needed)), found.private_suffix());
            EXPECT_EQ(answer(lookup_psl_subdomain(BUILTIN, d, n, 1, flags, out, sizeof out, &needed)), found.subdomain(1));
            EXPECT_EQ(answer(lookup_psl_privateparts(BUILTIN, d, n, flags, out, sizeof out, &needed, &in_front)),
                      parts ? std::optional(parts->text) : std::nullopt);
            EXPECT_EQ(in_front, parts ? parts->labels_in_front : 0);
            EXPECT_EQ(lookup_psl_is_public(BUILTIN, d, n, flags), int(found.is_public()));
            EXPECT_EQ(lookup_psl_is_private(BUILTIN, d, n, flags), int(found.is_private()));
            lookup_psl_privatesuffix_view(BUILTIN, d, n, flags, &view);
            EXPECT_EQ(view.data, kept.private_suffix() ? kept.private_suffix()->data() : nullptr);
        }
    }
}

TEST(CApi, ThreadsQueryOneListAtOnce) {
    lookup_psl_list* built = nullptr;
    ASSERT_EQ(lookup_psl_list_from_file(LOOKUP_LIST_FILE.c_str(), nullptr, 0, &built, nullptr), LOOKUP_PSL_OK);
    EXPECT_STREQ(lookup_psl_list_checksum(built), lookup_psl_list_checksum(BUILTIN));
    const std::vector<std::string> names = corpus();
    for (const lookup_psl_list* list : {BUILTIN, const_cast<const lookup_psl_list*>(built)}) {
        const auto private_suffixes = [&] {  // of the corpus, "-" for none, as one text
            std::string answers;
            char out[512];
            for (const std::string& name : names)
                answers += text_answer(lookup_psl_privatesuffix(list, name.data(), name.size(), 0, out, sizeof out, nullptr), out).value_or("-") + '\n';
            return answers;
        };
        std::vector<std::string> answers(4);
        std::vector<std::jthread> threads;
        for (std::string& answer : answers) threads.emplace_back([&answer, &private_suffixes] { answer = private_suffixes(); });
        threads.clear();  // joins them
        EXPECT_EQ(answers, std::vector<std::string>(4, private_suffixes()));
    }
    lookup_psl_list_free(built);
}

TEST(CApi, AnswerTooLongForTheBufferIsReportedAndNotWritten) {
    const std::string_view name = "www.Example.co.uk";  // private suffix: 13 bytes
    char out[14];
    std::size_t needed = 0;
    for (const std::size_t size : {0, 1, 13}) {
        std::fill(std::begin(out), std::end(out), '#');
        EXPECT_EQ(lookup_psl_privatesuffix(BUILTIN, name.data(), name.size(), 0, size ? out : nullptr, size, &needed), LOOKUP_PSL_E_BUFFER);
        EXPECT_EQ(needed, 13u);
        EXPECT_EQ(std::string_view(out, sizeof out), std::string(sizeof out, '#'));
    }
    EXPECT_EQ(lookup_psl_privatesuffix(BUILTIN, name.data(), name.size(), 0, out, 14, nullptr), LOOKUP_PSL_OK);
    EXPECT_STREQ(out, "example.co.uk");
    EXPECT_EQ(lookup_psl_privatesuffix(BUILTIN, "uk", 2, 0, out, sizeof out, &needed), LOOKUP_PSL_NONE);
    EXPECT_EQ(needed, 0u);
    EXPECT_STREQ(out, "");
}

TEST(CApi, RefusesTheArgumentsItsHeaderRefusesAndTextThatIsNotUtf8) {
    char out[64];
    std::size_t needed = 0, in_front = 0;
    lookup_psl_view view;
    lookup_psl_list* made = nullptr;
    const char* null_rule[] = {nullptr};
    const std::pair<const char*, long> refused[] = {
        {"NULL list", lookup_psl_publicsuffix(nullptr, "a.com", 5, 0, out, sizeof out, &needed)},
        {"NULL list, yes/no", lookup_psl_is_public(nullptr, "a.com", 5, 0)},
        {"NULL domain with a length", lookup_psl_privatesuffix(BUILTIN, nullptr, 3, 0, out, sizeof out, &needed)},
        {"unknown flag", lookup_psl_is_private(BUILTIN, "a.com", 5, 8)},
        {"NULL view", lookup_psl_privatesuffix_view(BUILTIN, "a.com", 5, 0, nullptr)},
        {"NULL labels_in_front", lookup_psl_privateparts(BUILTIN, "a.com", 5, 0, out, sizeof out, &needed, nullptr)},
        {"NULL list out", lookup_psl_list_from_bytes("", 0, nullptr, 0, nullptr, nullptr)},
        {"NULL data with a size", lookup_psl_list_from_bytes(nullptr, 4, nullptr, 0, &made, nullptr)},
        {"NULL rules with a count", lookup_psl_list_from_bytes("com\n", 4, nullptr, 1, &made, nullptr)},
        {"NULL rule", lookup_psl_list_from_bytes("com\n", 4, null_rule, 1, &made, nullptr)},
        {"NULL path", lookup_psl_list_from_file(nullptr, nullptr, 0, &made, nullptr)},
    };
    for (const auto& [what, status] : refused) EXPECT_EQ(status, LOOKUP_PSL_E_ARGUMENT) << what;
    EXPECT_EQ(made, nullptr);
    // What the header allows: no domain (no answer), no `needed`, NULL and
    // the built-in list freed, a NULL list's strings.
    EXPECT_EQ(lookup_psl_privateparts(BUILTIN, nullptr, 0, 0, out, sizeof out, nullptr, &in_front), LOOKUP_PSL_NONE);
    EXPECT_EQ(lookup_psl_publicsuffix_view(BUILTIN, nullptr, 0, 0, &view), LOOKUP_PSL_NONE);
    lookup_psl_list_free(nullptr);
    lookup_psl_list_free(BUILTIN);
    EXPECT_EQ(lookup_psl_list_checksum(BUILTIN), lookup::compiled_table().checksum);
    EXPECT_EQ(lookup_psl_list_checksum(nullptr), nullptr);
    // Text that is not UTF-8: in the first eight bytes, alone, past the first eight, a surrogate.
    for (const std::string_view bad : {"a.\xff.com", "\xc3", "example.co\xff", "x.\xed\xa0\x80.com"}) {
        EXPECT_EQ(lookup_psl_is_public(BUILTIN, bad.data(), bad.size(), 0), LOOKUP_PSL_E_UTF8);
    }
}

// A list with a header, the compiled list's rules for "uk" and one rule
// that the extra rules or a broken line follow.
std::string small_list(std::string_view last_line) {
    return "// VERSION: 2026-01-02\n// COMMIT: abc123\n// ===BEGIN ICANN DOMAINS===\nuk\nco.uk\n" +
           std::string(last_line) + "\n// ===END ICANN DOMAINS===\n";
}

TEST(CApi, ListsThatCannotBeBuiltSayWhereAndWhy) {
    const std::string broken = small_list("foo..com"), good = small_list("com");
    const char* bad_rule[] = {"fine.com", "!x"};
    lookup_psl_list* list = reinterpret_cast<lookup_psl_list*>(&list);
    lookup_psl_error error{};
    EXPECT_EQ(lookup_psl_list_from_bytes(broken.data(), broken.size(), nullptr, 0, &list, &error), LOOKUP_PSL_E_LIST);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(error.line, 6u);
    EXPECT_STREQ(error.message, "line 6: \"foo..com\": empty label");
    EXPECT_EQ(lookup_psl_list_from_bytes(good.data(), good.size(), bad_rule, 2, &list, &error), LOOKUP_PSL_E_LIST);
    EXPECT_EQ(error.extra_rule, 2u);
    EXPECT_EQ(std::string(error.message).rfind("extra rule 2: ", 0), 0u) << error.message;
    EXPECT_EQ(lookup_psl_list_from_file("/nonexistent/list.dat", nullptr, 0, &list, &error), LOOKUP_PSL_E_FILE);
    EXPECT_EQ(error.system_error, ENOENT);
    EXPECT_NE(std::string(error.message).find("/nonexistent/list.dat"), std::string::npos);
}

TEST(CApi, MemoryRunningOutIsAStatusAtEveryAllocation) {
    const auto failing_at = [](long at, auto call) {  // allocation `at` (from 0) and those after it fail
        failing_allocator::fail_after = at;
        const lookup_psl_status status = call();
        failing_allocator::fail_after = -1;
        return status;
    };
    const char* rules[] = {"example.co.uk"};
    const std::string small = small_list("com");
    lookup_psl_list* list = nullptr;
    lookup_psl_error error{};
    // Every allocation of a small build fails in turn.
    const auto build_small = [&] { return lookup_psl_list_from_bytes(small.data(), small.size(), rules, 1, &list, &error); };
    long failed = 0;
    lookup_psl_status status;
    for (; (status = failing_at(failed, build_small)) == LOOKUP_PSL_E_NO_MEMORY; ++failed) {
        EXPECT_EQ(list, nullptr);
        EXPECT_EQ(error.status, LOOKUP_PSL_E_NO_MEMORY);
    }
    EXPECT_EQ(status, LOOKUP_PSL_OK);
    EXPECT_GE(failed, 10);
    lookup_psl_list_free(list);
    // The whole list: the first, a middle and the last of its allocations.
    const std::string list_file = LOOKUP_LIST_FILE;  // its path made before allocations are counted
    const auto build_whole = [&] { return lookup_psl_list_from_file(list_file.c_str(), nullptr, 0, &list, &error); };
    failing_allocator::allocations = 0;
    ASSERT_EQ(build_whole(), LOOKUP_PSL_OK);
    const long whole_build = failing_allocator::allocations;
    lookup_psl_list_free(list);
    for (const long at : {0L, whole_build / 2, whole_build - 1}) {
        EXPECT_EQ(failing_at(at, build_whole), LOOKUP_PSL_E_NO_MEMORY) << at << " of " << whole_build;
    }
    // A name too long for the inline buffer lowers into an allocation.
    const std::string long_name = std::string(300, 'A') + ".example.com";
    char out[512];
    EXPECT_EQ(failing_at(0, [&] { return lookup_psl_privatesuffix(BUILTIN, long_name.data(), long_name.size(), 0, out, sizeof out, nullptr); }),
              LOOKUP_PSL_E_NO_MEMORY);
}

TEST(CppApi, WrapsTheCApi) {
    static_assert(!std::is_copy_constructible_v<lookup_psl::List> && std::is_nothrow_move_constructible_v<lookup_psl::List>);
    // Extra rules, and the header's version and commit (the built-in list has none).
    const lookup_psl::List list = lookup_psl::List::from_bytes(small_list("com"), {"example.co.uk"});
    const auto parts = list.privateparts("A.b.Example.co.uk", lookup_psl::keep_case);
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->labels_in_front, (std::vector<std::string>{"A"}));
    EXPECT_EQ(parts->private_suffix, "b.Example.co.uk");
    EXPECT_EQ(list.version(), "2026-01-02");
    EXPECT_EQ(list.commit(), "abc123");
    EXPECT_EQ(lookup_psl::List::builtin().version(), std::nullopt);
    EXPECT_EQ(list.privatesuffix(std::string(300, 'x') + ".com"), std::string(300, 'x') + ".com");
    EXPECT_EQ(list.subdomain_view("www.A.example.co.uk.", 1), "www.A.example.co.uk");
    EXPECT_THROW((void)list.is_public("\xff"), lookup_psl::Error);
    try {
        (void)lookup_psl::List::from_bytes(small_list("foo..com"));
        ADD_FAILURE() << "built a broken list";
    } catch (const lookup_psl::Error& error) {
        EXPECT_EQ(error.status(), LOOKUP_PSL_E_LIST);
        EXPECT_EQ(error.line(), 6u);
    }
}

}  // namespace
