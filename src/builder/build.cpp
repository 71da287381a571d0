#include "build.h"

#include "list_reader.h"
#include "sha256.h"

namespace builder {

BuildResult build_from_list(std::string_view list_bytes, const Limits& limits) {
    BuildResult result;
    result.table = compile_rules(read_rules(list_bytes), limits);
    result.checksum = sha256_hex(list_bytes);
    result.figures = compute_figures(result.table, result.checksum);
    return result;
}

}  // namespace builder
