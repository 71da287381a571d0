// The one place that knows which CPython is being compiled against. The module
// is written for the 3.15 API (slot-array export hook, PySlot, PyABIInfo,
// PyUnicodeWriter); older interpreters (3.11 to 3.14) get the few missing calls
// here, with the same behaviour as far as an old interpreter can express it.
//
// What an old interpreter cannot express:
//   - it never calls PyModExport__lookup (it only knows PyInit__lookup), so the
//     export slot array and its ABI-information record are exported but unused;
//   - before 3.13 there is no GIL slot: the module is loaded into an
//     interpreter that always has the lock, so nothing is lost;
//   - the name and doc slots travel in the PyModuleDef instead (m_name, m_doc),
//     which gives the same module name and empty docstring.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <cstring>
#include <string>

// True when the headers carry the unified slot numbering and PySlot (3.15+).
#if defined(Py_slot_subslots) && defined(PyMODEXPORT_FUNC)
#define LOOKUP_HAS_SLOT_EXPORT 1
#else
#define LOOKUP_HAS_SLOT_EXPORT 0
#endif

namespace lookup::compat {

// Slot numbers of the unified numbering, and the slot flags, as the export
// array holds them. On 3.15 these come from the headers; before, they are the
// values that a 3.15 interpreter would read from the exported array.
#if LOOKUP_HAS_SLOT_EXPORT
inline constexpr std::uint16_t SLOT_SUBSLOTS = Py_slot_subslots;
inline constexpr std::uint16_t SLOT_EXEC = Py_mod_exec;
inline constexpr std::uint16_t SLOT_ABI = Py_mod_abi;
inline constexpr std::uint16_t SLOT_GIL = Py_mod_gil;
inline constexpr std::uint16_t SLOT_NAME = Py_mod_name;
inline constexpr std::uint16_t SLOT_DOC = Py_mod_doc;
inline constexpr std::uint16_t SLOT_FLAG_STATIC = PySlot_STATIC;
inline constexpr std::uint16_t SLOT_FLAG_INTPTR = PySlot_INTPTR;
inline constexpr std::uint16_t ABI_FLAG_GIL = PyABIInfo_GIL;
inline constexpr std::uint16_t ABI_FLAG_FREETHREADED = PyABIInfo_FREETHREADED;
using ExportSlot = PySlot;
using AbiInfo = PyABIInfo;
#else
inline constexpr std::uint16_t SLOT_SUBSLOTS = 92;
inline constexpr std::uint16_t SLOT_EXEC = 85;
inline constexpr std::uint16_t SLOT_ABI = 109;
inline constexpr std::uint16_t SLOT_GIL = 87;
inline constexpr std::uint16_t SLOT_NAME = 100;
inline constexpr std::uint16_t SLOT_DOC = 101;
inline constexpr std::uint16_t SLOT_FLAG_STATIC = 0x0002;
inline constexpr std::uint16_t SLOT_FLAG_INTPTR = 0x0004;
inline constexpr std::uint16_t ABI_FLAG_GIL = 0x0002;
inline constexpr std::uint16_t ABI_FLAG_FREETHREADED = 0x0004;

// Same layout as the 3.15 PySlot: 16-bit ID, 16-bit flags, 32 reserved bits
// (zero), then the value.
struct ExportSlot {
    std::uint16_t sl_id;
    std::uint16_t sl_flags;
    std::uint32_t sl_reserved;
    union {
        void* sl_ptr;
        void (*sl_func)(void);
    };
};

struct AbiInfo {
    std::uint8_t abiinfo_major_version;
    std::uint8_t abiinfo_minor_version;
    std::uint16_t flags;
    std::uint32_t build_version;
    std::uint32_t abi_version;
};
#endif

static_assert(sizeof(AbiInfo) == 12, "the ABI-information record is 12 bytes");
static_assert(sizeof(ExportSlot) == sizeof(PyModuleDef_Slot), "one export slot is one PyModuleDef_Slot");

}  // namespace lookup::compat

// The hook's return type: PySlot* on 3.15, the look-alike record before.
#if LOOKUP_HAS_SLOT_EXPORT
#define LOOKUP_MODEXPORT_FUNC PyMODEXPORT_FUNC
#else
#define LOOKUP_MODEXPORT_FUNC extern "C" __attribute__((visibility("default"))) lookup::compat::ExportSlot*
#endif

// ---- 3.12: the raised-exception API, member types without structmember.h ----
#if PY_VERSION_HEX < 0x030C0000
#include <structmember.h>
#define Py_T_OBJECT_EX T_OBJECT_EX
#define Py_T_PYSSIZET T_PYSSIZET
#define Py_READONLY READONLY

inline PyObject* PyErr_GetRaisedException(void) {
    PyObject* type = nullptr;
    PyObject* value = nullptr;
    PyObject* traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    if (type == nullptr) {
        return nullptr;
    }
    PyErr_NormalizeException(&type, &value, &traceback);
    if (value != nullptr && traceback != nullptr) {
        PyException_SetTraceback(value, traceback);
    }
    Py_XDECREF(type);
    Py_XDECREF(traceback);
    return value;
}

inline void PyErr_SetRaisedException(PyObject* exception) {
    if (exception == nullptr) {
        PyErr_Clear();
        return;
    }
    PyObject* type = reinterpret_cast<PyObject*>(Py_TYPE(exception));
    Py_INCREF(type);
    PyErr_Restore(type, exception, PyException_GetTraceback(exception));
}
#endif

// ---- 3.13: class module name, UTF-8 comparison, GIL slot, thread state ----
#if PY_VERSION_HEX < 0x030D0000
inline PyThreadState* PyThreadState_GetUnchecked(void) { return _PyThreadState_UncheckedGet(); }

inline PyObject* PyType_GetModuleName(PyTypeObject* type) {
    return PyObject_GetAttrString(reinterpret_cast<PyObject*>(type), "__module__");
}

// Never raises, like the real one: a string without UTF-8 form equals nothing.
inline int PyUnicode_EqualToUTF8AndSize(PyObject* text, const char* bytes, Py_ssize_t size) {
    Py_ssize_t length = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(text, &length);
    if (utf8 == nullptr) {
        PyErr_Clear();
        return 0;
    }
    return length == size && std::memcmp(utf8, bytes, static_cast<std::size_t>(size)) == 0;
}
#define LOOKUP_HAS_GIL_SLOT 0
#else
#define LOOKUP_HAS_GIL_SLOT 1
#endif

// ---- 3.14: PyUnicodeWriter, the part of it that the module uses ----
#if PY_VERSION_HEX < 0x030E0000
struct PyUnicodeWriter {
    std::string utf8;
};

inline PyUnicodeWriter* PyUnicodeWriter_Create(Py_ssize_t length) {
    if (length < 0) {
        PyErr_SetString(PyExc_ValueError, "length must be positive");
        return nullptr;
    }
    try {
        auto* writer = new PyUnicodeWriter;
        writer->utf8.reserve(static_cast<std::size_t>(length));
        return writer;
    } catch (...) {
        PyErr_NoMemory();
        return nullptr;
    }
}

inline void PyUnicodeWriter_Discard(PyUnicodeWriter* writer) { delete writer; }

// Checks the bytes as the real writer does: invalid UTF-8 raises UnicodeDecodeError.
inline int PyUnicodeWriter_WriteUTF8(PyUnicodeWriter* writer, const char* text, Py_ssize_t size) {
    if (size < 0) {
        size = static_cast<Py_ssize_t>(std::strlen(text));
    }
    PyObject* checked = PyUnicode_DecodeUTF8(text, size, "strict");
    if (checked == nullptr) {
        return -1;
    }
    Py_DECREF(checked);
    try {
        writer->utf8.append(text, static_cast<std::size_t>(size));
    } catch (...) {
        PyErr_NoMemory();
        return -1;
    }
    return 0;
}

inline PyObject* PyUnicodeWriter_Finish(PyUnicodeWriter* writer) {
    PyObject* text = PyUnicode_DecodeUTF8(writer->utf8.data(), static_cast<Py_ssize_t>(writer->utf8.size()), "strict");
    delete writer;
    return text;
}
#endif
