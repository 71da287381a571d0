#include "query_bodies.h"

#include "panic.h"

namespace lookup {

PyObject* private_parts_result(const Lookup& found) {
    const std::optional<PrivateParts> parts = found.private_parts();
    if (!parts) {
        return none_result();
    }
    PyRef tuple(PyTuple_New(static_cast<Py_ssize_t>(parts->labels_in_front + 1)));
    if (!tuple) {
        fault_from_null();
    }
    // One label per item from the left, each made straight from its view;
    // what remains after them is the private suffix.
    std::string_view rest = parts->text;
    for (std::size_t i = 0; i < parts->labels_in_front; ++i) {
        PyTuple_SET_ITEM(tuple.get(), static_cast<Py_ssize_t>(i), text_result(take_label(rest)));
    }
    PyTuple_SET_ITEM(tuple.get(), static_cast<Py_ssize_t>(parts->labels_in_front), text_result(rest));
    return tuple.release();
}

}  // namespace lookup
