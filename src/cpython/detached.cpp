#include "detached.h"

#include <unistd.h>

namespace lookup {

void attach_again(PyThreadState* state) noexcept {
    try {
        PyEval_RestoreThread(state);
    } catch (...) {
        // A C function throws nothing: what unwinds out of it is the forced
        // unwind of pthread_exit. Caught as such, abi::__forced_unwind& binds
        // to no object (UBSan reports it), hence the catch-all. Leaving this
        // handler other than by rethrowing would abort; the thread never
        // leaves it, and the process's exit ends it.
        while (true) {
            ::pause();
        }
    }
}

}  // namespace lookup
