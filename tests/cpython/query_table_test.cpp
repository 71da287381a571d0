#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "batch_bodies.h"
#include "query_table.h"

namespace lookup {
namespace {

// The batch forms' docstrings state the thread policy that threads_for applies.
TEST(QueryTable, BatchDocstringsStateTheThreadLimits) {
    const std::string policy = "one per " + std::to_string(MIN_DOMAINS_PER_THREAD) + " domains at most, and " +
                               std::to_string(MAX_THREADS) + " at most";
    for (const std::string_view doc : {std::string_view(QUERY_DOC<Query::privatesuffix, Form::batch, Owner::module>.data()),
                                       std::string_view(QUERY_DOC<Query::subdomain, Form::batch, Owner::suffix_list>.data())}) {
        EXPECT_NE(std::string(doc).find(policy), std::string::npos) << doc;
    }
    EXPECT_EQ(threads_for(100 * MIN_DOMAINS_PER_THREAD, 1000), MAX_THREADS);
    EXPECT_EQ(threads_for(3 * MIN_DOMAINS_PER_THREAD, 1000), 3u);
    EXPECT_EQ(threads_for(100 * MIN_DOMAINS_PER_THREAD, 2), 2u);
}

}  // namespace
}  // namespace lookup
