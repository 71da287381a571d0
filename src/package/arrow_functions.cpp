#include "arrow_functions.h"

#include <array>

#include "arrow_calls.h"
#include "guard.h"
#include "query_table.h"

namespace lookup {
namespace {

template <Query query>
Result<PyObject*> arrow_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return arrow::run_arrow<query, Owner::module>(indexed_compiled_table(), nullptr, args, nargs, kwnames);
}

auto records = join_records(
    query_records<Form::arrow, Owner::module>([]<Query query>() { return call_entry<arrow_body<query>>(); }),
    END_OF_RECORDS);

}  // namespace

PyMethodDef* arrow_function_records() noexcept { return records.data(); }

}  // namespace lookup
