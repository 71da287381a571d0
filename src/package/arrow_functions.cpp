#include "arrow_functions.h"

#include "arrow_calls.h"
#include "arrow_docs.h"
#include "guard.h"

namespace lookup {
namespace {

template <Query query>
Result<PyObject*> arrow_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return arrow::run_arrow<query, ModuleFunctions>(compiled_table(), nullptr, args, nargs, kwnames);
}

template <Body body>
const auto entry = reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(&guarded_call<body>));

// The record of one Arrow function: its name, body and docstring (a literal
// joined at compile time, hence a macro).
#define ARROW_FUNCTION(name, NAME)                                            \
    {#name "_arrow", entry<arrow_body<Query::name>>, METH_FASTCALL | METH_KEYWORDS, \
     LOOKUP_FUNCTION_DOC(#name "_arrow", LOOKUP_##NAME##_ARROW_PARAMETERS, LOOKUP_ARROW_BODY(#name))}

PyMethodDef records[] = {
    ARROW_FUNCTION(publicsuffix, PUBLICSUFFIX),
    ARROW_FUNCTION(privatesuffix, PRIVATESUFFIX),
    ARROW_FUNCTION(is_public, IS_PUBLIC),
    ARROW_FUNCTION(is_private, IS_PRIVATE),
    ARROW_FUNCTION(privateparts, PRIVATEPARTS),
    ARROW_FUNCTION(subdomain, SUBDOMAIN),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyMethodDef* arrow_function_records() noexcept { return records; }

}  // namespace lookup
