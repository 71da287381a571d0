#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

#include "parallel_parts.h"

namespace lookup {
namespace {

TEST(ParallelParts, PartsCoverEveryItemOnceInOrder) {
    for (const std::size_t count : {0u, 1u, 5u, 64u, 1001u}) {
        for (const std::size_t parts : {0u, 1u, 2u, 3u, 8u}) {
            std::vector<int> seen(count, 0);
            std::vector<std::size_t> begins(parts == 0 ? 1 : parts, SIZE_MAX);
            auto work = [&](std::size_t begin, std::size_t end, std::size_t part) {
                begins[part] = begin;
                for (std::size_t i = begin; i < end; ++i) {
                    ++seen[i];
                }
            };
            run_in_parts(count, parts, work);
            EXPECT_EQ(seen, std::vector<int>(count, 1)) << count << " items, " << parts << " parts";
            for (std::size_t part = 1; part < begins.size(); ++part) {
                EXPECT_LE(begins[part - 1], begins[part]);
            }
        }
    }
}

// A part that throws does not stop the others; its exception comes out once
// all have ended.
TEST(ParallelParts, RethrowsTheFirstFailingPartAfterAllEnded) {
    std::atomic<int> ended{0};
    auto work = [&](std::size_t, std::size_t, std::size_t part) {
        if (part == 1 || part == 3) {
            throw std::runtime_error("part " + std::to_string(part));
        }
        ++ended;
    };
    try {
        run_in_parts(100, 4, work);
        FAIL() << "nothing thrown";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "part 1");
    }
    EXPECT_EQ(ended.load(), 2);
}

}  // namespace
}  // namespace lookup
