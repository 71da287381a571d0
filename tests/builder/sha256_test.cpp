#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "builder_helpers.h"
#include "sha256.h"

namespace builder {
namespace {

// FIPS 180-4 / NIST example messages.
TEST(Sha256, MatchesTheNistVectors) {
    EXPECT_EQ(sha256_hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256_hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(sha256_hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(sha256_hex(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

// Lengths around the padding boundary: 55 bytes still fit the length into
// the last block, 56 need one more; 64 and 120 end exactly on or near block
// edges. Digests from an independent implementation.
TEST(Sha256, PadsMessagesAroundBlockBoundaries) {
    const std::pair<std::size_t, const char*> cases[] = {
        {55, "e7313d333c272e639f790978283f9eb392e843d0f29b7016828bb1daa4aac70b"},
        {56, "4324d65f3c103567f5589c710bc08f8523f929a9272e3af36fc968e52abc6c27"},
        {63, "81c80242132f230c3bd41b3e63bbcff16107339549214a99614ff26664625055"},
        {64, "39e3d7b6b5d075d37d053ad89b24b41bef4f3c29760c84447cab3f3be1882241"},
        {119, "9ce7368e4daf32341631b492e80359dc9f594b48453cd0dd5bf0b19279cc177e"},
        {120, "7836b787757e95e58b3ca5aec90b1b004e8deba1e50e9675af9cabf1a13a04b5"},
    };
    for (const auto& [length, digest] : cases) {
        std::string message;
        for (std::size_t i = 0; i < length; ++i) {
            message.push_back(static_cast<char>((i * 7 + 3) % 256));
        }
        EXPECT_EQ(sha256_hex(message), digest) << length << " bytes";
    }
}

TEST(Sha256, IdentifiesTheSharedList) {
    if (!std::filesystem::exists(testing::list_path())) {
        GTEST_SKIP() << "no list at " << testing::list_path();
    }
    EXPECT_EQ(sha256_hex(testing::read_file(testing::list_path())),
              "fe6adc7fb8014f57d28d69b18d0aa3e581efb432544922e12131a5d4a87bd954");
}

}  // namespace
}  // namespace builder
