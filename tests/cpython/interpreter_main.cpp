#include <gtest/gtest.h>

#include "interpreter.h"
#include "py_ref.h"
#include "text_rule.h"

namespace lookup::testing {

std::string take_pending_text() {
    PyRef raised(PyErr_GetRaisedException());
    if (!raised) {
        return "";
    }
    return qualified_name_text(Py_TYPE(raised.get())) + ": " + display_text(raised.get());
}

std::string raised_text(PyError error) {
    std::move(error).restore();
    return take_pending_text();
}

}  // namespace lookup::testing

// Under LeakSanitizer: the interpreter keeps some of its memory past
// finalization; leaks of the test program itself are still reported.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    return "leak:libpython";
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    PyConfig config;
    PyConfig_InitIsolatedConfig(&config);
    const PyStatus status = Py_InitializeFromConfig(&config);
    PyConfig_Clear(&config);
    if (PyStatus_Exception(status)) {
        Py_ExitStatusException(status);
    }
    const int result = RUN_ALL_TESTS();
    return Py_FinalizeEx() < 0 ? 1 : result;
}
