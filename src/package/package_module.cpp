// lookup_psl._suffix_list, the package's extension: the class SuffixList and
// the batch and Arrow forms of the six queries over the list compiled in. Like _lookup
// it keeps no state of its own and needs no GIL.
#include "arrow_functions.h"
#include "arrow_python.h"
#include "batch_functions.h"
#include "guard.h"
#include "panic.h"
#include "suffix_list.h"

namespace lookup {
namespace {

Status fill_module(PyObject* module) {
    if (PyModule_AddFunctions(module, batch_function_records()) < 0 ||
        PyModule_AddFunctions(module, arrow_function_records()) < 0) {
        return take_pending_exception();
    }
    // The classes of the Arrow forms' answers, shown for isinstance() and
    // the stubs; made once per process, like the answers' own code.
    if (PyModule_AddObjectRef(module, "ArrowAnswers", arrow::answer_array_class()) < 0 ||
        PyModule_AddObjectRef(module, "ArrowAnswerStream", arrow::answer_stream_class()) < 0) {
        return take_pending_exception();
    }
    PyRef type(make_suffix_list_type(module));
    if (!type || PyModule_AddType(module, reinterpret_cast<PyTypeObject*>(type.get())) < 0) {
        return take_pending_exception();
    }
    return Status();
}

int module_exec(PyObject* module) { return guarded_exec<fill_module>(module); }

// Classic multi-phase initialisation: the exec step, and (where the
// interpreter knows the slot) no need for the GIL.
#if LOOKUP_HAS_GIL_SLOT
PyModuleDef_Slot definition_slots[] = {{Py_mod_exec, reinterpret_cast<void*>(&module_exec)},
                                       {Py_mod_gil, Py_MOD_GIL_NOT_USED}, {0, nullptr}};
#else
PyModuleDef_Slot definition_slots[] = {{Py_mod_exec, reinterpret_cast<void*>(&module_exec)}, {0, nullptr}};
#endif

constexpr char MODULE_DOC[] =
    "Public Suffix Lists built at run time, and the batch functions; use them through lookup_psl.";
PyModuleDef definition = {PyModuleDef_HEAD_INIT, "lookup_psl._suffix_list", MODULE_DOC, 0, nullptr, definition_slots,
                          nullptr, nullptr, nullptr};

}  // namespace
}  // namespace lookup

PyMODINIT_FUNC PyInit__suffix_list(void) { return PyModuleDef_Init(&lookup::definition); }
