// The cheapest call that does what every text query must do: take one str,
// read its UTF-8 view and return a new str of it. The module's functions are
// timed against this floor.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace {

PyObject* echo(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
    if (nargs != 1) {
        PyErr_Format(PyExc_TypeError, "echo() takes exactly one argument (%zd given)", nargs);
        return nullptr;
    }
    if (!PyUnicode_Check(args[0])) {
        PyErr_SetString(PyExc_TypeError, "echo() argument must be str");
        return nullptr;
    }
    Py_ssize_t size = 0;
    const char* text = PyUnicode_AsUTF8AndSize(args[0], &size);
    if (text == nullptr) {
        return nullptr;
    }
    return PyUnicode_FromStringAndSize(text, size);
}

PyMethodDef methods[] = {
    {"echo", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(echo)), METH_FASTCALL,
     "echo(s)\n--\n\nA new str equal to s, made from its UTF-8 text."},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef_Slot slots[] = {
#ifdef Py_mod_multiple_interpreters
    {Py_mod_multiple_interpreters, Py_MOD_PER_INTERPRETER_GIL_SUPPORTED},
#endif
#ifdef Py_mod_gil
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
#endif
    {0, nullptr},
};

PyModuleDef definition = {
    PyModuleDef_HEAD_INIT, "_callfloor", "The call floor for the lookup benchmarks.", 0, methods, slots,
    nullptr, nullptr, nullptr,
};

}  // namespace

PyMODINIT_FUNC PyInit__callfloor() { return PyModuleDef_Init(&definition); }
