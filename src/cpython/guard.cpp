#include "guard.h"

#include <exception>
#include <new>

#include "panic.h"
#include "fault.h"

namespace lookup {

void raise_current_fault() noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        // Exhausted memory is reported, not fatal: every buffer of the call
        // has been released by the time the exception got here.
        PyErr_NoMemory();
    } catch (const Fault& fault) {
        raise_panic(fault.message());
    } catch (const std::exception& error) {
        raise_panic(error.what());
    } catch (...) {
        raise_panic("internal fault without a message");
    }
}

}  // namespace lookup
