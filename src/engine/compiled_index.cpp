#include "suffix_table.h"
#include "psl_index.h"
#include "psl_table.h"

namespace lookup {

SuffixTable indexed_compiled_table() noexcept {
    SuffixTable table = compiled_table();
    table.index = ChildIndexView{
        std::span<const IndexedNode>(generated::IndexedNodes, generated::INDEXED_NODE_COUNT),
        std::span<const IndexSlot>(generated::IndexSlots, generated::INDEX_SLOT_COUNT),
        std::span<const std::uint16_t>(generated::NodeEntries, generated::NODE_COUNT),
    };
    return table;
}

}  // namespace lookup
