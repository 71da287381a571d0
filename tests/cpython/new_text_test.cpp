// new_text decodes answers beyond ASCII itself: the same str as the
// interpreter's strict decoder (value and kind), or that decoder's error.
#include <gtest/gtest.h>

#include <string_view>

#include "convert.h"
#include "interpreter.h"
#include "py_ref.h"

namespace lookup {
namespace {

TEST(NewText, MakesTheDecodersStrOrItsError) {
    // One Latin-1 character (the shared one), Latin-1, two bytes a character,
    // one character of three bytes, every width; cut short, a surrogate, overlong.
    for (const std::string_view text : {"\xC3\xA9", "stra\xC3\x9F" "e.de", "\xD0\xBF\xD1\x80.\xD1\x80\xD1\x84",
                                        "\xE4\xB8\xAD", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80.ws", "ab\xC3(",
                                        "ab\xED\xA0\x80", "\xC0\xAF" "ab"}) {
        const PyRef expected(PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "strict"));
        const std::string expected_error = testing::take_pending_text();
        const PyRef made(new_text(text));
        EXPECT_EQ(testing::take_pending_text(), expected_error) << text;
        ASSERT_EQ(made.get() == nullptr, expected.get() == nullptr) << text;
        if (made) {
            EXPECT_EQ(PyUnicode_KIND(made.get()), PyUnicode_KIND(expected.get())) << text;
            EXPECT_EQ(PyUnicode_Compare(made.get(), expected.get()), 0) << text;
        }
    }
}

}  // namespace
}  // namespace lookup
