#include "suffix_table.h"
#include "psl_table.h"

namespace lookup {

SuffixTable compiled_table() noexcept {
    return SuffixTable{
        std::string_view(generated::LabelPool, generated::LABEL_POOL_SIZE),
        std::span<const Node>(generated::NodeTable, generated::NODE_COUNT),
        std::span<const Edge>(generated::EdgeTable, generated::EDGE_COUNT),
        std::string_view(generated::Checksum, generated::CHECKSUM_LENGTH),
        std::span<const std::uint32_t>(generated::EdgeHeads, generated::EDGE_COUNT),
    };
}

}  // namespace lookup
