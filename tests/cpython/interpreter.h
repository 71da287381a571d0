// The test program embeds an isolated interpreter (see interpreter_main.cpp);
// the tests run on its main thread, attached.
#pragma once

#include <string>

#include "errors.h"

namespace lookup::testing {

// "Class: message" of the pending exception, which it clears; "" when none
// is pending.
std::string take_pending_text();

// "Class: message" of `error` as it would be raised.
std::string raised_text(PyError error);

}  // namespace lookup::testing
