#include "batch_functions.h"

#include <string_view>

#include "batch_bodies.h"
#include "guard.h"
#include "query_docs.h"

namespace lookup {
namespace {

template <Query query>
Result<PyObject*> batch_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return run_batch<query, ModuleFunctions>(indexed_compiled_table(), args, nargs, kwnames);
}

template <Body body>
const auto entry = reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(&guarded_call<body>));

// The record of one batch function: its name, body and docstring (a literal
// joined at compile time, hence a macro).
#define BATCH_FUNCTION(name, NAME)                                            \
    {#name "_batch", entry<batch_body<Query::name>>, METH_FASTCALL | METH_KEYWORDS, \
     LOOKUP_FUNCTION_DOC(#name "_batch", LOOKUP_##NAME##_BATCH_PARAMETERS, LOOKUP_BATCH_BODY(#name))}

PyMethodDef records[] = {
    BATCH_FUNCTION(publicsuffix, PUBLICSUFFIX),
    BATCH_FUNCTION(privatesuffix, PRIVATESUFFIX),
    BATCH_FUNCTION(is_public, IS_PUBLIC),
    BATCH_FUNCTION(is_private, IS_PRIVATE),
    BATCH_FUNCTION(privateparts, PRIVATEPARTS),
    BATCH_FUNCTION(subdomain, SUBDOMAIN),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyMethodDef* batch_function_records() noexcept { return records; }

}  // namespace lookup
