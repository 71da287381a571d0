#include <gtest/gtest.h>

#include <string>

#include "punycode.h"

namespace builder {
namespace {

struct Sample {
    const char* name;
    std::u32string_view input;
    std::string_view encoded;
};

// RFC 3492 section 7.1. The RFC prints sample (I) with one capital "D", a
// mixed-case annotation this encoder does not produce; its digits are given
// here in lowercase.
constexpr Sample RFC_SAMPLES[] = {
        {"A", U"\U00000644\U0000064A\U00000647\U00000645\U00000627\U00000628\U0000062A\U00000643\U00000644\U00000645\U00000648\U00000634\U00000639\U00000631\U00000628\U0000064A\U0000061F", "egbpdaj6bu4bxfgehfvwxn"},
        {"B", U"\U00004ED6\U00004EEC\U00004E3A\U00004EC0\U00004E48\U00004E0D\U00008BF4\U00004E2D\U00006587", "ihqwcrb4cv8a8dqg056pqjye"},
        {"C", U"\U00004ED6\U00005011\U00007232\U00004EC0\U00009EBD\U00004E0D\U00008AAA\U00004E2D\U00006587", "ihqwctvzc91f659drss3x8bo0yb"},
        {"D", U"Pro\U0000010Dprost\U0000011Bnemluv\U000000ED\U0000010Desky", "Proprostnemluvesky-uyb24dma41a"},
        {"E", U"\U000005DC\U000005DE\U000005D4\U000005D4\U000005DD\U000005E4\U000005E9\U000005D5\U000005D8\U000005DC\U000005D0\U000005DE\U000005D3\U000005D1\U000005E8\U000005D9\U000005DD\U000005E2\U000005D1\U000005E8\U000005D9\U000005EA", "4dbcagdahymbxekheh6e0a7fei0b"},
        {"F", U"\U0000092F\U00000939\U00000932\U0000094B\U00000917\U00000939\U0000093F\U00000928\U0000094D\U00000926\U00000940\U00000915\U0000094D\U0000092F\U0000094B\U00000902\U00000928\U00000939\U00000940\U00000902\U0000092C\U0000094B\U00000932\U00000938\U00000915\U00000924\U00000947\U00000939\U00000948\U00000902", "i1baa7eci9glrd9b2ae1bj0hfcgg6iyaf8o0a1dig0cd"},
        {"G", U"\U0000306A\U0000305C\U0000307F\U00003093\U0000306A\U000065E5\U0000672C\U00008A9E\U00003092\U00008A71\U00003057\U00003066\U0000304F\U0000308C\U0000306A\U00003044\U0000306E\U0000304B", "n8jok5ay5dzabd5bym9f0cm5685rrjetr6pdxa"},
        {"H", U"\U0000C138\U0000ACC4\U0000C758\U0000BAA8\U0000B4E0\U0000C0AC\U0000B78C\U0000B4E4\U0000C774\U0000D55C\U0000AD6D\U0000C5B4\U0000B97C\U0000C774\U0000D574\U0000D55C\U0000B2E4\U0000BA74\U0000C5BC\U0000B9C8\U0000B098\U0000C88B\U0000C744\U0000AE4C", "989aomsvi5e83db1d2a355cv1e0vak1dwrv93d5xbh15a0dt30a5jpsd879ccm6fea98c"},
        {"I", U"\U0000043F\U0000043E\U00000447\U00000435\U0000043C\U00000443\U00000436\U00000435\U0000043E\U0000043D\U00000438\U0000043D\U00000435\U00000433\U0000043E\U00000432\U0000043E\U00000440\U0000044F\U00000442\U0000043F\U0000043E\U00000440\U00000443\U00000441\U00000441\U0000043A\U00000438", "b1abfaaepdrnnbgefbadotcwatmq2g4l"},
        {"J", U"Porqu\U000000E9nopuedensimplementehablarenEspa\U000000F1ol", "PorqunopuedensimplementehablarenEspaol-fmd56a"},
        {"K", U"T\U00001EA1isaoh\U00001ECDkh\U000000F4ngth\U00001EC3ch\U00001EC9n\U000000F3iti\U00001EBFngVi\U00001EC7t", "TisaohkhngthchnitingVit-kjcr8268qyxafd2f1b9g"},
        {"L", U"3\U00005E74B\U00007D44\U000091D1\U0000516B\U00005148\U0000751F", "3B-ww4c5e180e575a65lsy2b"},
        {"M", U"\U00005B89\U00005BA4\U00005948\U00007F8E\U00006075-with-SUPER-MONKEYS", "-with-SUPER-MONKEYS-pc58ag80a8qai00g7n9n"},
        {"N", U"Hello-Another-Way-\U0000305D\U0000308C\U0000305E\U0000308C\U0000306E\U00005834\U00006240", "Hello-Another-Way--fc4qua05auwb3674vfr0b"},
        {"O", U"\U00003072\U00003068\U00003064\U00005C4B\U00006839\U0000306E\U00004E0B2", "2-u9tlzr9756bt3uc0v"},
        {"P", U"Maji\U00003067Koi\U00003059\U0000308B5\U000079D2\U0000524D", "MajiKoi5-783gue6qz075azm5e"},
        {"Q", U"\U000030D1\U000030D5\U000030A3\U000030FCde\U000030EB\U000030F3\U000030D0", "de-jg4avhby1noc0d"},
        {"R", U"\U0000305D\U0000306E\U000030B9\U000030D4\U000030FC\U000030C9\U00003067", "d9juau41awczczp"},
        {"S", U"-> $1.00 <-", "-> $1.00 <--"},
};

TEST(Punycode, EncodesTheRfcSamples) {
    for (const Sample& sample : RFC_SAMPLES) {
        const auto encoded = punycode_encode(sample.input);
        ASSERT_TRUE(encoded.has_value()) << "sample " << sample.name;
        EXPECT_EQ(*encoded, sample.encoded) << "sample " << sample.name;
    }
}

TEST(Punycode, EncodesListLabels) {
    EXPECT_EQ(punycode_encode(U"\u516C\u53F8"), "55qx5d");        // 公司
    EXPECT_EQ(punycode_encode(U"\u9999\u6E2F"), "j6w193g");       // 香港
    EXPECT_EQ(punycode_encode(U"\u0440\u0444"), "p1ai");          // рф
    EXPECT_EQ(punycode_encode(U"m\u00FCnchen"), "mnchen-3ya");     // basic code points first
    EXPECT_EQ(punycode_encode(U"\U0001F600"), "e28h");             // beyond the BMP
}

TEST(Punycode, BasicOnlyInputGetsTheDelimiter) {
    EXPECT_EQ(punycode_encode(U"abc"), "abc-");
    EXPECT_EQ(punycode_encode(U""), "");
}

TEST(Punycode, RefusesInputThatOverflows) {
    // The jump to the last code point is multiplied by the number of code
    // points handled before it: (0x10FFFF - 0x1488) * 5001 exceeds 32 bits.
    std::u32string input;
    for (char32_t c = 0x100; c < 0x100 + 5000; ++c) {
        input.push_back(c);
    }
    input.push_back(U'\U0010FFFF');
    EXPECT_FALSE(punycode_encode(input).has_value());
    input.pop_back();
    EXPECT_TRUE(punycode_encode(input).has_value());
}

}  // namespace
}  // namespace builder
