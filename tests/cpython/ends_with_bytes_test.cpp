// ends_with_bytes decides whether a batch answer is cut from the caller's
// text: a wrong "yes" would answer with the wrong bytes.
#include <gtest/gtest.h>

#include <string>

#include "batch_bodies.h"

namespace lookup {
namespace {

TEST(EndsWithBytes, EveryLengthAndEveryPlaceOfADifference) {
    const std::string whole = "www.Example-Of-A-Long-Name.example.com";
    for (std::size_t size = 0; size <= whole.size(); ++size) {
        std::string tail = whole.substr(whole.size() - size);
        EXPECT_TRUE(ends_with_bytes(whole, tail)) << size;
        for (std::size_t at = 0; at < size; ++at) {
            std::string changed = tail;
            changed[at] ^= 0x20;
            EXPECT_FALSE(ends_with_bytes(whole, changed)) << size << " " << at;
        }
    }
    EXPECT_FALSE(ends_with_bytes("com", "a.com"));
}

}  // namespace
}  // namespace lookup
