// What one pass over a line finds (well-formed UTF-8, separators to escape),
// against a byte-by-byte reading, with the telling byte at every place of
// lines long and short, so that the words' ends and the last word that
// overlaps the one before are each met.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "escapes.h"
#include "utf8.h"

namespace {

bool has_separator(std::string_view text) { return text.find_first_of("\t\n\r\\") != std::string_view::npos; }

TEST(TraitsOf, AgreeWithAByteByByteReadingAtEveryPlace) {
    const std::string_view telling[] = {"\t", "\n", "\r", "\\", "\xc3\xa9", "\xff", "\xed\xa0\x80", "x"};
    for (std::size_t size = 1; size <= 25; ++size) {
        for (std::size_t at = 0; at < size; ++at) {
            for (const std::string_view insert : telling) {
                const std::string line = std::string(at, 'a') + std::string(insert) + std::string(size - at - 1, 'b');
                const cli::TextTraits traits = cli::traits_of(line);
                const bool utf8 = lookup::utf8::is_valid(line);
                EXPECT_EQ(traits.utf8, utf8) << line;
                EXPECT_EQ(traits.separators, has_separator(line)) << line;
                EXPECT_EQ(cli::is_utf8(line), utf8) << line;
            }
        }
    }
}

}  // namespace
