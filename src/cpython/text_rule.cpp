#include "text_rule.h"

#include "panic.h"
#include "py_ref.h"
#include "utf8.h"

namespace lookup {

std::string text_of_str(PyObject* text) {
    Py_ssize_t size = 0;
    if (const char* utf8 = PyUnicode_AsUTF8AndSize(text, &size)) {
        return std::string(utf8, static_cast<std::size_t>(size));
    }
    PyErr_Clear();
    PyRef bytes(PyUnicode_AsEncodedString(text, "utf-8", "surrogatepass"));
    if (!bytes) {
        fault_from_null();
    }
    return utf8::repair(
        std::string_view(PyBytes_AS_STRING(bytes.get()), static_cast<std::size_t>(PyBytes_GET_SIZE(bytes.get()))));
}

std::string display_text(PyObject* object) {
    PyRef text(PyObject_Str(object));
    if (text) {
        return text_of_str(text.get());
    }
    PyErr_WriteUnraisable(object);
    PyRef name(PyType_GetName(Py_TYPE(object)));
    if (!name) {
        PyErr_Clear();
        return "<unprintable object>";
    }
    return "<unprintable " + text_of_str(name.get()) + " object>";
}

std::string qualified_name_text(PyTypeObject* type) {
    PyRef name(PyType_GetQualName(type));
    if (!name) {
        PyErr_Clear();
        return "<failed to extract type name>";
    }
    return text_of_str(name.get());
}

}  // namespace lookup
