// The module as the interpreter sees it: the export entries, the definition
// and its slots, and the execution step that fills a new module object.
#include <cstdint>
#include <string_view>

#include "errors.h"
#include "guard.h"
#include "interned_names.h"
#include "methods.h"
#include "panic.h"
#include "fault.h"
#include "suffix_table.h"

namespace lookup {
namespace {

constexpr char MODULE_NAME[] = "_lookup";
constexpr char MODULE_DOC[] = "";

// Appends `name` to the module's __all__ (made on first use), then sets the
// attribute: the name is listed before the attribute exists.
Status add_member(PyObject* module, PyObject* name, PyObject* value) {
    PyObject* all_name = interned_all_name();
    if (all_name == nullptr) {
        return take_pending_exception();
    }
    PyRef all(PyObject_GetAttr(module, all_name));
    if (!all) {
        PyError error = take_pending_exception();
        PyObject* raised = error.object();
        if (raised == nullptr || !PyErr_GivenExceptionMatches(raised, PyExc_AttributeError)) {
            return error;
        }
        all = PyRef(PyList_New(0));
        if (!all) {
            fault_from_null();
        }
        if (PyObject_SetAttr(module, all_name, all.get()) < 0) {
            return take_pending_exception();
        }
    } else if (!PyList_Check(all.get())) {
        return not_instance_error(all.get(), reinterpret_cast<PyObject*>(&PyList_Type));
    }
    if (PyList_Append(all.get(), name) < 0) {
        PyError ignored = take_pending_exception();
        throw Fault("could not append __name__ to __all__");
    }
    if (PyObject_SetAttr(module, name, value) < 0) {
        return take_pending_exception();
    }
    return Status();
}

Status add_function(PyObject* module, PyMethodDef& method) {
    PyRef module_name(PyModule_GetNameObject(module));
    if (!module_name) {
        return take_pending_exception();
    }
    PyRef function(PyCMethod_New(&method, module, module_name.get(), nullptr));
    module_name = PyRef();
    if (!function) {
        return take_pending_exception();
    }
    PyObject* name_attribute = interned_name_name();
    if (name_attribute == nullptr) {
        return take_pending_exception();
    }
    PyRef name(PyObject_GetAttr(function.get(), name_attribute));
    if (!name) {
        return take_pending_exception();
    }
    if (!PyUnicode_Check(name.get())) {
        return not_instance_error(name.get(), reinterpret_cast<PyObject*>(&PyUnicode_Type));
    }
    return add_member(module, name.get(), function.get());
}

Status fill_module(PyObject* module) {
    for (PyMethodDef& method : module_methods()) {
        if (Status added = add_function(module, method); !added.ok()) {
            return added;
        }
    }
    const std::string_view checksum = compiled_table().checksum;
    PyRef name(PyUnicode_FromStringAndSize("LIST_CHECKSUM", 13));
    if (!name) {
        fault_from_null();
    }
    PyRef value(PyUnicode_FromStringAndSize(checksum.data(), static_cast<Py_ssize_t>(checksum.size())));
    if (!value) {
        fault_from_null();
    }
    return add_member(module, name.get(), value.get());
}

int module_exec(PyObject* module) { return guarded_exec<fill_module>(module); }

// Record of the ABI this module was built for: version 1.0, the object
// layout of the interpreter it was compiled against (with the GIL, or
// free-threaded), build and ABI versions left to the interpreter.
#ifdef Py_GIL_DISABLED
constexpr std::uint16_t BUILT_FOR = compat::ABI_FLAG_FREETHREADED;
#else
constexpr std::uint16_t BUILT_FOR = compat::ABI_FLAG_GIL;
#endif
compat::AbiInfo abi_info = {1, 0, BUILT_FOR, 0, 0};

// The 3.15 export: one slot array that describes the whole module.
compat::ExportSlot export_slots[] = {
    {compat::SLOT_EXEC, 0, {}, {.sl_func = reinterpret_cast<void (*)(void)>(&module_exec)}},
    {compat::SLOT_ABI, compat::SLOT_FLAG_STATIC, {}, {.sl_ptr = &abi_info}},
    {compat::SLOT_GIL, compat::SLOT_FLAG_INTPTR, {}, {.sl_ptr = reinterpret_cast<void*>(1)}},
    {compat::SLOT_NAME, compat::SLOT_FLAG_STATIC, {}, {.sl_ptr = const_cast<char*>(MODULE_NAME)}},
    {compat::SLOT_DOC, compat::SLOT_FLAG_STATIC, {}, {.sl_ptr = const_cast<char*>(MODULE_DOC)}},
    {0, 0, {}, {.sl_ptr = nullptr}},
};

#if LOOKUP_HAS_SLOT_EXPORT
// The definition carries the export array whole, as one sub-slots entry.
PyModuleDef_Slot definition_slots[] = {
    {compat::SLOT_SUBSLOTS, export_slots},
    {0, nullptr},
};
#else
// Older interpreters read classic slots only.
PyModuleDef_Slot definition_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&module_exec)},
#if LOOKUP_HAS_GIL_SLOT
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
#endif
    {0, nullptr},
};
#endif

PyModuleDef definition = {
    PyModuleDef_HEAD_INIT,
    MODULE_NAME,
    MODULE_DOC,
    0,
    nullptr,
    definition_slots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace
}  // namespace lookup

PyMODINIT_FUNC PyInit__lookup(void) { return PyModuleDef_Init(&lookup::definition); }

LOOKUP_MODEXPORT_FUNC PyModExport__lookup(void) { return lookup::export_slots; }
