#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "detached.h"

namespace lookup {
namespace {

// A thread that comes back from detached work after the interpreter has
// finalized (a daemon thread at exit) stays parked: the interpreter ends it
// (pthread_exit on 3.11-3.13, a hang later) and nothing unwinds through our
// frames or trips a sanitizer. The process then exits normally.
TEST(DetachedDeathTest, ThreadComingBackAfterFinalizationStaysParked) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::atomic<int> stage{0};
            PyThreadState* main_state = PyEval_SaveThread();
            std::thread daemon([&stage] {
                PyGILState_Ensure();
                Detached detached;
                stage = 1;
                while (stage.load() != 2) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            });
            while (stage.load() != 1) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            PyEval_RestoreThread(main_state);
            Py_FinalizeEx();
            stage = 2;
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            daemon.detach();
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace lookup
