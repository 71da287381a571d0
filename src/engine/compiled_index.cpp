#include "match_suffix.h"
#include "suffix_table.h"
#include "psl_index.h"
#include "psl_table.h"

namespace lookup {
namespace {

const ChildIndexView COMPILED_INDEX{
    std::span<const IndexedNode>(generated::IndexedNodes, generated::INDEXED_NODE_COUNT),
    std::span<const IndexSlot>(generated::IndexSlots, generated::INDEX_SLOT_COUNT),
    std::span<const std::uint16_t>(generated::NodeEntries, generated::NODE_COUNT),
    match_suffix_indexed,
};

}  // namespace

SuffixTable indexed_compiled_table() noexcept {
    SuffixTable table = compiled_table();
    table.index = &COMPILED_INDEX;
    return table;
}

}  // namespace lookup
