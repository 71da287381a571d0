// The docstrings of the Arrow forms of the six queries, joined at compile
// time like the others (query_docs.h).
#pragma once

#include "query_docs.h"

#define LOOKUP_ARROW_TEXT_FLAGS "*, threads=1, accept_unknown=True, icann_only=False, keep_case=False"
#define LOOKUP_ARROW_TRUTH_FLAGS "*, threads=1, accept_unknown=True, icann_only=False"
#define LOOKUP_PUBLICSUFFIX_ARROW_PARAMETERS "values, " LOOKUP_ARROW_TEXT_FLAGS
#define LOOKUP_PRIVATESUFFIX_ARROW_PARAMETERS "values, " LOOKUP_ARROW_TEXT_FLAGS
#define LOOKUP_IS_PUBLIC_ARROW_PARAMETERS "values, " LOOKUP_ARROW_TRUTH_FLAGS
#define LOOKUP_IS_PRIVATE_ARROW_PARAMETERS "values, " LOOKUP_ARROW_TRUTH_FLAGS
#define LOOKUP_PRIVATEPARTS_ARROW_PARAMETERS "values, " LOOKUP_ARROW_TEXT_FLAGS
#define LOOKUP_SUBDOMAIN_ARROW_PARAMETERS "values, depth, " LOOKUP_ARROW_TEXT_FLAGS
#define LOOKUP_ARROW_BODY(name)                                                          \
    "Return " name "() of each name in *values*, an Arrow array or stream of\n"          \
    "strings (any object with __arrow_c_array__ or __arrow_c_stream__), as an\n"         \
    "object exporting an array or a stream of the answers the same way; a null\n"        \
    "and a name without an answer are null. No Python object is made per name;\n"        \
    "the lookups run without the GIL on up to *threads* threads. A name that is\n"       \
    "not UTF-8 is a ValueError naming its index."
