#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "round_helpers.h"

namespace lookup {
namespace {

// Rounds published one after another, the next before the last one's
// results are read, as a batch call does: every item of every round is
// looked up exactly once, by whichever part, and a round is complete when
// complete() returns.
TEST(RoundHelpers, EveryItemOfEveryRoundOnceAndCompleteOnReturn) {
    constexpr std::uint32_t ROUNDS = 40;
    for (const std::size_t helpers : {0u, 1u, 3u}) {
        for (const std::size_t count : {1u, 7u, 1000u}) {
            std::vector<std::vector<std::atomic<int>>> seen(ROUNDS + 1);
            for (auto& round : seen) {
                round = std::vector<std::atomic<int>>(count);
            }
            auto work = [&](std::uint32_t round, std::size_t begin, std::size_t end, std::size_t) {
                for (std::size_t i = begin; i < end; ++i) {
                    seen[round][i].fetch_add(1, std::memory_order_relaxed);
                }
            };
            RoundHelpers round_helpers(helpers, 16, work);
            round_helpers.publish(1, count);
            for (std::uint32_t round = 1; round <= ROUNDS; ++round) {
                ASSERT_TRUE(round_helpers.complete(round, [] { return false; }));
                if (round < ROUNDS) {
                    round_helpers.publish(round + 1, count);
                }
                for (std::size_t i = 0; i < count; ++i) {
                    ASSERT_EQ(seen[round][i].load(), 1) << helpers << " helpers, round " << round << ", item " << i;
                }
            }
        }
    }
}

// A part that throws ends the round early; its exception comes out of
// complete() once every helper has ended. A stop asked for ends it with false.
TEST(RoundHelpers, AFaultIsRethrownAndAStopEndsTheRound) {
    auto faulty = [](std::uint32_t, std::size_t begin, std::size_t, std::size_t) {
        if (begin == 64) {
            throw std::runtime_error("chunk at 64");
        }
    };
    RoundHelpers with_fault(2, 16, faulty);
    with_fault.publish(1, 1000);
    EXPECT_THROW((void)with_fault.complete(1, [] { return false; }), std::runtime_error);

    std::atomic<std::size_t> looked_up{0};
    auto counting = [&](std::uint32_t, std::size_t begin, std::size_t end, std::size_t) { looked_up += end - begin; };
    RoundHelpers stopped(0, 16, counting);
    stopped.publish(1, 1000);
    int asked = 0;
    EXPECT_FALSE(stopped.complete(1, [&] { return ++asked == 3; }));
    EXPECT_EQ(looked_up.load(), 32u);
}

}  // namespace
}  // namespace lookup
