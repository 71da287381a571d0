// How a harness stops on a broken relation: the check that failed and the
// start of the input in hex on standard error, then abort(), which libFuzzer
// records as a crash with the input saved.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace fuzz {

[[noreturn]] inline void report_failure(const char* harness, const char* what, const char* input_name,
                                        std::string_view input) {
    std::fprintf(stderr, "%s: %s\n  %s (%zu bytes): ", harness, what, input_name, input.size());
    for (const char c : input.substr(0, 200)) {
        std::fprintf(stderr, "%02x", static_cast<unsigned char>(c));
    }
    std::fprintf(stderr, "\n");
    std::abort();
}

}  // namespace fuzz

// CHECK in a harness: FUZZ_CHECK(condition, its fail function, the input).
#define FUZZ_CHECK(condition, fail, input)  \
    do {                                    \
        if (!(condition)) fail(#condition, input); \
    } while (0)
