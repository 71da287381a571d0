#include "batch_functions.h"

#include <array>

#include "batch_bodies.h"
#include "guard.h"
#include "query_table.h"

namespace lookup {
namespace {

template <Query query>
Result<PyObject*> batch_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return run_batch<query, Owner::module>(indexed_compiled_table(), args, nargs, kwnames);
}

auto records = join_records(
    query_records<Form::batch, Owner::module>([]<Query query>() { return call_entry<batch_body<query>>(); }),
    END_OF_RECORDS);

}  // namespace

PyMethodDef* batch_function_records() noexcept { return records.data(); }

}  // namespace lookup
