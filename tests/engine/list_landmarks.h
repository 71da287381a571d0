// Landmarks of the list compiled into the module, the same in the committed
// table and in a table built from the list file: known nodes, their numbers
// and flags, and the checksum.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>

#include "table_helpers.h"

namespace lookup::testing {

inline void expect_list_landmarks(const SuffixTable& table) {
    const struct {
        std::string_view name;
        std::uint32_t node;  // 0: the number is not checked
        std::uint8_t flags;
    } landmarks[] = {
        {"ck", 240, 0x12},          {"com", 259, 0x09},       {"jp", 618, 0x09},
        {"uk", 1185, 0x09},         {"www.ck", 2341, 0x24},   {"co.uk", 7096, 0x09},
        {"za", 0, 0x00},            {"co.za", 0, 0x09},       {"kawasaki.jp", 0, 0x12},
        {"city.kawasaki.jp", 0, 0x24}, {"blogspot.com", 0, 0x01}, {"\xD1\x80\xD1\x84", 0, 0x09},  // рф
        {"xn--p1ai", 0, 0x09},
    };
    for (const auto& landmark : landmarks) {
        const std::uint32_t node = node_of(table, landmark.name);
        ASSERT_NE(node, NO_NODE) << landmark.name;
        if (landmark.node != 0) {
            EXPECT_EQ(node, landmark.node) << landmark.name;
        }
        EXPECT_EQ(table.nodes[node].flags, landmark.flags) << landmark.name;
    }
    EXPECT_NE(node_of(table, "\xD1\x80\xD1\x84"), node_of(table, "xn--p1ai"));
    EXPECT_EQ(table.checksum, "fe6adc7fb8014f57d28d69b18d0aa3e581efb432544922e12131a5d4a87bd954");
}

}  // namespace lookup::testing
