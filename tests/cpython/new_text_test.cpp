// new_text decodes non-ASCII answers itself: it must make exactly the str
// that the interpreter's strict decoder makes (value and kind), and leave
// text that is not well formed to that decoder's error.
#include <gtest/gtest.h>

#include <string_view>

#include "convert.h"
#include "interpreter.h"
#include "py_ref.h"

namespace lookup {
namespace {

using testing::take_pending_text;

TEST(NewText, MakesTheDecodersStrOrItsError) {
    const std::string_view texts[] = {
        "\xC3\xA9",                                     // one Latin-1 character: the shared one
        "stra\xC3\x9F" "e.de",                          // Latin-1
        "\xD0\xBF\xD1\x80\xD0\xB8.\xD1\x80\xD1\x84",    // two bytes a character
        "\xE4\xB8\xAD",                                 // one character of three bytes
        "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80.ws",      // every width at once
        "ab\xC3(",                                      // cut short
        "ab\xED\xA0\x80",                               // a surrogate
        "\xC0\xAF" "ab",                                // overlong
    };
    for (const std::string_view text : texts) {
        const PyRef expected(PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "strict"));
        const std::string expected_error = take_pending_text();
        const PyRef made(new_text(text));
        EXPECT_EQ(take_pending_text(), expected_error) << text;
        ASSERT_EQ(made.get() == nullptr, expected.get() == nullptr) << text;
        if (made) {
            EXPECT_EQ(PyUnicode_KIND(made.get()), PyUnicode_KIND(expected.get())) << text;
            EXPECT_EQ(PyUnicode_Compare(made.get(), expected.get()), 0) << text;
        }
    }
}

}  // namespace
}  // namespace lookup
