#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "detached.h"

namespace lookup {
namespace {

// A thread coming back from detached work after finalization (a daemon thread
// at exit) stays parked, with no sanitizer report; the process exits normally.
TEST(DetachedDeathTest, ThreadComingBackAfterFinalizationStaysParked) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::atomic<int> stage{0};
            const auto wait_for = [&stage](int value) {
                while (stage.load() != value) {
                    std::this_thread::yield();
                }
            };
            PyThreadState* main_state = PyEval_SaveThread();
            std::thread([&] { PyGILState_Ensure(); Detached detached; stage = 1; wait_for(2); }).detach();
            wait_for(1);
            PyEval_RestoreThread(main_state);
            Py_FinalizeEx();
            stage = 2;
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace lookup
