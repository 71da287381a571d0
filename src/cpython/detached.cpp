#include "detached.h"

#include <unistd.h>

#include <cxxabi.h>

namespace lookup {

void attach_again(PyThreadState* state) noexcept {
    try {
        PyEval_RestoreThread(state);
    } catch (abi::__forced_unwind&) {
        // Leaving this handler other than by rethrowing would abort; the
        // thread never leaves it, and the process's exit ends it.
        while (true) {
            ::pause();
        }
    }
}

}  // namespace lookup
