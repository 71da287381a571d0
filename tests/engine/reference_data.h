// The reference lowering over the repository's Unicode files, for the engine
// tests (the fuzzers read them from a path of their own).
#pragma once

#include <string>

#include "reference_lowering.h"
#include "test_paths.h"

namespace lookup::testing {

// Read once.
inline const ReferenceLowering& reference_lowering() {
    static const ReferenceLowering reference(LOOKUP_DATA_DIR + "/unicode/17.0.0");
    return reference;
}

}  // namespace lookup::testing
