#include "interned_names.h"

#include "once_value.h"

namespace lookup {
namespace {

OnceValue all_name([] { return PyUnicode_InternFromString("__all__"); });
OnceValue name_name([] { return PyUnicode_InternFromString("__name__"); });
OnceValue add_note_name([] { return PyUnicode_InternFromString("add_note"); });

}  // namespace

PyObject* interned_all_name() { return all_name.get(); }
PyObject* interned_name_name() { return name_name.get(); }
PyObject* interned_add_note_name() { return add_note_name.get(); }

}  // namespace lookup
