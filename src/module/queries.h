// The six query bodies: arguments bound and converted, one normalization,
// one match, a decision on the two counts and a cut of the domain's text.
#pragma once

#include "errors.h"

namespace lookup {

Result<PyObject*> publicsuffix_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
Result<PyObject*> privatesuffix_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
Result<PyObject*> is_public_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
Result<PyObject*> is_private_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
Result<PyObject*> privateparts_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
Result<PyObject*> subdomain_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

}  // namespace lookup
