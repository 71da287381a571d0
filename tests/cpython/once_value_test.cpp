// OnceValue with makers that fail on purpose or need their own value. A
// failure is reported by the thread whose maker failed, whatever another
// thread makes meanwhile: make() decides on this thread's own outcome, since
// the interleaving in which another thread's success overtakes it cannot be
// forced from here.
#include <gtest/gtest.h>

#include "interpreter.h"
#include "once_value.h"

namespace lookup {
namespace {

using testing::take_pending_text;

PyObject* forced_failure() {
    PyErr_SetString(PyExc_RuntimeError, "forced failure");
    return nullptr;
}

int fail_first_calls = 0;
OnceValue fail_first([] { return ++fail_first_calls == 1 ? forced_failure() : PyUnicode_FromString("made"); });

TEST(OnceValue, AFailureIsReportedAndTheNextCallMakesIt) {
    EXPECT_EQ(fail_first.get(), nullptr);
    EXPECT_EQ(take_pending_text(), "RuntimeError: forced failure");
    PyObject* made = fail_first.get();
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(take_pending_text(), "");
    EXPECT_EQ(fail_first.get(), made);
    EXPECT_EQ(fail_first_calls, 2);
}

// A maker that needs its own value gets an error at once instead of waiting
// for itself for ever.
PyObject* needs_itself();
OnceValue reentrant(needs_itself);
PyObject* needs_itself() { return reentrant.get(); }

TEST(OnceValue, AMakerThatNeedsItsOwnValueFailsInsteadOfWaiting) {
    EXPECT_EQ(reentrant.get(), nullptr);
    EXPECT_EQ(take_pending_text(), "RuntimeError: a once-made value was needed while it was being made");
}

}  // namespace
}  // namespace lookup
