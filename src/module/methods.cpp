#include "methods.h"

#include <array>

#include "guard.h"
#include "query_bodies.h"
#include "query_table.h"

namespace lookup {
namespace {

template <Query query>
Result<PyObject*> body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return run_query<query, Owner::module>(compiled_table(), args, nargs, kwnames);
}

std::array<PyMethodDef, QUERY_COUNT> methods =
    query_records<Form::call, Owner::module>([]<Query query>() { return call_entry<body<query>>(); });

}  // namespace

std::span<PyMethodDef> module_methods() noexcept { return methods; }

}  // namespace lookup
