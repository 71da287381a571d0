#include "methods.h"

#include <string_view>

#include "guard.h"
#include "query_bodies.h"
#include "query_docs.h"

namespace lookup {
namespace {

template <Query query>
Result<PyObject*> body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return run_query<query, ModuleFunctions>(compiled_table(), args, nargs, kwnames);
}

// Signature line, "--", an empty line, then the body: the interpreter splits
// this into __text_signature__ and __doc__.
constexpr const char PUBLICSUFFIX_DOC[] =
    LOOKUP_FUNCTION_DOC("publicsuffix", LOOKUP_PUBLICSUFFIX_PARAMETERS, LOOKUP_PUBLICSUFFIX_BODY);
constexpr const char PRIVATESUFFIX_DOC[] =
    LOOKUP_FUNCTION_DOC("privatesuffix", LOOKUP_PRIVATESUFFIX_PARAMETERS, LOOKUP_PRIVATESUFFIX_BODY);
constexpr const char IS_PUBLIC_DOC[] = LOOKUP_FUNCTION_DOC("is_public", LOOKUP_IS_PUBLIC_PARAMETERS, LOOKUP_IS_PUBLIC_BODY);
constexpr const char IS_PRIVATE_DOC[] =
    LOOKUP_FUNCTION_DOC("is_private", LOOKUP_IS_PRIVATE_PARAMETERS, LOOKUP_IS_PRIVATE_BODY);
constexpr const char PRIVATEPARTS_DOC[] =
    LOOKUP_FUNCTION_DOC("privateparts", LOOKUP_PRIVATEPARTS_PARAMETERS, LOOKUP_PRIVATEPARTS_BODY);
constexpr const char SUBDOMAIN_DOC[] = LOOKUP_FUNCTION_DOC("subdomain", LOOKUP_SUBDOMAIN_PARAMETERS, LOOKUP_SUBDOMAIN_BODY);

// The entry point of a body, in the form that a method record stores.
template <Body body>
const auto entry = reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(&guarded_call<body>));

constexpr int FAST_WITH_KEYWORDS = METH_FASTCALL | METH_KEYWORDS;

PyMethodDef methods[] = {
    {"publicsuffix", entry<body<Query::publicsuffix>>, FAST_WITH_KEYWORDS, PUBLICSUFFIX_DOC},
    {"privatesuffix", entry<body<Query::privatesuffix>>, FAST_WITH_KEYWORDS, PRIVATESUFFIX_DOC},
    {"is_public", entry<body<Query::is_public>>, FAST_WITH_KEYWORDS, IS_PUBLIC_DOC},
    {"is_private", entry<body<Query::is_private>>, FAST_WITH_KEYWORDS, IS_PRIVATE_DOC},
    {"privateparts", entry<body<Query::privateparts>>, FAST_WITH_KEYWORDS, PRIVATEPARTS_DOC},
    {"subdomain", entry<body<Query::subdomain>>, FAST_WITH_KEYWORDS, SUBDOMAIN_DOC},
};

}  // namespace

std::span<PyMethodDef> module_methods() noexcept { return methods; }

}  // namespace lookup
