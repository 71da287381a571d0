// The six query bodies: arguments bound and converted, one normalization,
// one match, a decision on the two counts and a cut of the domain's text.
#pragma once

#include "errors.h"

namespace lookup {

// The six functions, in registration order.
enum class Query { publicsuffix, privatesuffix, is_public, is_private, privateparts, subdomain };

// The body of one function (each is instantiated beside the queries).
template <Query query>
Result<PyObject*> query_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

}  // namespace lookup
