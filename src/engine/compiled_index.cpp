#include "suffix_table.h"
#include "psl_index.h"

namespace lookup {

SuffixTable indexed_compiled_table() noexcept {
    SuffixTable table = compiled_table();
    table.index = ChildIndexView{
        std::span<const IndexedNode>(generated::IndexedNodes, generated::INDEXED_NODE_COUNT),
        std::span<const IndexSlot>(generated::IndexSlots, generated::INDEX_SLOT_COUNT),
    };
    return table;
}

}  // namespace lookup
