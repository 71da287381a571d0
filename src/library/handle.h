// What a lookup_psl_list handle holds: the table the engine reads and the
// texts that the list's accessors hand out. A list built at run time owns
// its build; the compiled-in list borrows the static arrays.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "build.h"
#include "suffix_table.h"

struct lookup_psl_list {
    lookup::SuffixTable table;
    const char* checksum;
    const char* version;  // null when the list has no such header line
    const char* commit;
    std::unique_ptr<const builder::TableBuild> built;  // null for the compiled-in list
};

namespace lookup_psl_library {

// A list around a finished build, its texts pointing into it.
std::unique_ptr<lookup_psl_list> make_list(builder::TableBuild&& build);

}  // namespace lookup_psl_library
