#include "convert.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "text_rule.h"
#include "interned_names.h"
#include "panic.h"
#include "utf8.h"

namespace lookup {

PyError str_refusal(PyObject* object) {
    if (!PyUnicode_Check(object)) {
        return not_instance_error(object, reinterpret_cast<PyObject*>(&PyUnicode_Type));
    }
    return take_pending_exception();
}

namespace {

// All bits set is both a value and the error marker of the conversion.
Result<std::uint64_t> checked_u64(PyObject* integer) {
    const unsigned long long value = PyLong_AsUnsignedLongLong(integer);
    if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred() != nullptr) {
        return take_pending_exception();
    }
    return static_cast<std::uint64_t>(value);
}

}  // namespace

Result<std::uint64_t> extract_u64(PyObject* object) {
    if (PyLong_Check(object)) {
        return checked_u64(object);
    }
    PyRef index(PyNumber_Index(object));
    if (!index) {
        return take_pending_exception();
    }
    if (!PyLong_Check(index.get())) {
        return not_instance_error(index.get(), reinterpret_cast<PyObject*>(&PyLong_Type));
    }
    return checked_u64(index.get());
}

namespace {
bool is_numpy_bool(PyTypeObject* type);
}  // namespace

Result<std::uint64_t> extract_count(PyObject* object, std::string_view name) {
    // A bool is an int, but threads=True reads as a switch, not as one thread;
    // numpy's boolean has __index__ and reads the same way.
    if (PyBool_Check(object) || (!PyLong_Check(object) && is_numpy_bool(Py_TYPE(object)))) {
        return PyError::described(PyExc_TypeError,
                                  std::string(name) + " must be an int, not '" + Py_TYPE(object)->tp_name + "'");
    }
    PyRef index(PyLong_Check(object) ? Py_NewRef(object) : PyNumber_Index(object));
    if (!index) {
        return take_pending_exception();
    }
    int overflow = 0;
    const long long value = PyLong_AsLongLongAndOverflow(index.get(), &overflow);
    if (value == -1 && overflow == 0 && PyErr_Occurred() != nullptr) {
        return take_pending_exception();
    }
    if (overflow > 0) {
        return UINT64_MAX;
    }
    if (overflow < 0 || value < 1) {
        return PyError::described(PyExc_ValueError, std::string(name) + " must be at least 1");
    }
    return static_cast<std::uint64_t>(value);
}

Result<PyRef> extract_items(PyObject* object) {
    if (PyUnicode_Check(object) || PyBytes_Check(object) || PyByteArray_Check(object)) {
        return PyError::described(PyExc_TypeError, "expected an iterable of str, not a single '" +
                                                       qualified_name_text(Py_TYPE(object)) + "'");
    }
    PyRef items(PySequence_Tuple(object));
    if (!items) {
        return take_pending_exception();
    }
    return items;
}

namespace {

// numpy's boolean class, told by its module and name: numpy is never imported.
// A lookup that fails only means that it is not numpy's.
bool is_numpy_bool(PyTypeObject* type) {
    PyRef module(PyType_GetModuleName(type));
    const bool from_numpy =
        module && PyUnicode_Check(module.get()) && PyUnicode_EqualToUTF8AndSize(module.get(), "numpy", 5);
    PyRef name(from_numpy ? PyType_GetName(type) : nullptr);
    PyErr_Clear();
    return name &&
           (PyUnicode_EqualToUTF8AndSize(name.get(), "bool_", 5) || PyUnicode_EqualToUTF8AndSize(name.get(), "bool", 4));
}

}  // namespace

Result<bool> extract_other_bool(PyObject* object) {
    if (PyBool_Check(object)) {
        return object == Py_True;
    }
    PyTypeObject* type = Py_TYPE(object);
    if (!is_numpy_bool(type)) {
        return not_instance_error(object, reinterpret_cast<PyObject*>(&PyBool_Type));
    }
    if (type->tp_as_number == nullptr || type->tp_as_number->nb_bool == nullptr) {
        return PyError::described(PyExc_TypeError, "object of type '" + display_text(reinterpret_cast<PyObject*>(type)) +
                                                       "' does not define a '__bool__' conversion");
    }
    switch (type->tp_as_number->nb_bool(object)) {
        case 0:
            return false;
        case 1:
            return true;
        default:
            return take_pending_exception();
    }
}

namespace {

// "while processing '{name}'", or null when it cannot be made.
PyRef argument_note(std::string_view name) {
    PyUnicodeWriter* writer = PyUnicodeWriter_Create(0);
    if (writer == nullptr) {
        return PyRef();
    }
    if (PyUnicodeWriter_WriteUTF8(writer, "while processing '", -1) < 0 ||
        PyUnicodeWriter_WriteUTF8(writer, name.data(), static_cast<Py_ssize_t>(name.size())) < 0 ||
        PyUnicodeWriter_WriteUTF8(writer, "'", -1) < 0) {
        PyUnicodeWriter_Discard(writer);
        return PyRef();
    }
    return PyRef(PyUnicodeWriter_Finish(writer));
}

// Adds `note` (a str, or null when it could not be made) to the error. Any
// failure on the way leaves the error as it was, with nothing pending.
PyError with_note(PyError error, const PyRef& note) {
    PyObject* exception = note ? error.object() : nullptr;
    PyObject* add_note = exception != nullptr ? interned_add_note_name() : nullptr;
    if (add_note != nullptr) {
        PyObject* call_args[] = {exception, note.get()};
        PyRef outcome(PyObject_VectorcallMethod(add_note, call_args, 2, nullptr));
    }
    PyErr_Clear();
    return error;
}

}  // namespace

PyError add_argument_note(PyError error, std::string_view name) {
    return with_note(std::move(error), argument_note(name));
}

PyError add_item_note(PyError error, std::size_t index, std::string_view name) {
    const std::string note = "while processing item " + std::to_string(index) + " of '" + std::string(name) + "'";
    return with_note(std::move(error), PyRef(PyUnicode_FromStringAndSize(note.data(), static_cast<Py_ssize_t>(note.size()))));
}

PyObject* text_result(std::string_view text) {
    PyObject* result = new_text(text);
    if (result == nullptr) {
        fault_from_null();
    }
    return result;
}

void memory_error_from_null() {
    if (PyErr_ExceptionMatches(PyExc_MemoryError) != 0) {
        PyErr_Clear();
        throw std::bad_alloc();
    }
    fault_from_null();
}

namespace {

template <class Unit>
void decode_into(std::string_view text, Unit* out) noexcept {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t at = 0; at < text.size();) {
        if (bytes[at] < 0x80) {
            *out++ = bytes[at++];
            continue;
        }
        const utf8::Decoded found = utf8::decode(bytes + at, text.size() - at);
        *out++ = static_cast<Unit>(found.cp);
        at += found.length;
    }
}

// A str of well-formed UTF-8 text with characters beyond ASCII, decoded
// straight into the str's own kind: its widest lead byte tells the kind
// (below 0xC4 Latin-1, below 0xF0 two bytes, else four). The interpreter's
// decoder, made for bytes from anywhere, takes several times as long over an
// answer. Null for text that is not well formed (no answer is: each is cut
// from a str's UTF-8 text or its lowering), which the caller hands to that
// decoder to refuse. Cold, as answers beyond ASCII are few: so marked, it
// leaves the inlining in the callers' per-call bodies as it was (without it
// the module's privateparts took 60 more instructions a call).
[[gnu::noinline, gnu::cold]] PyObject* decode_well_formed(std::string_view text) {
    std::size_t length = 0;
    unsigned char widest_lead = 0;
    for (std::size_t at = 0; at < text.size(); ++length) {
        const auto lead = static_cast<unsigned char>(text[at]);
        if (lead < 0x80) {
            ++at;
            continue;
        }
        const std::ptrdiff_t sequence = utf8::sequence_at(text, at);
        if (sequence < 0) {
            return nullptr;
        }
        widest_lead = std::max(widest_lead, lead);
        at += static_cast<std::size_t>(sequence);
    }
    const Py_UCS4 widest = widest_lead < 0xC4 ? 0xFF : widest_lead < 0xF0 ? 0xFFFF : 0x10FFFF;
    PyObject* result = PyUnicode_New(static_cast<Py_ssize_t>(length), widest);
    if (result == nullptr) {
        return nullptr;
    }
    switch (PyUnicode_KIND(result)) {
        case PyUnicode_1BYTE_KIND:
            decode_into(text, PyUnicode_1BYTE_DATA(result));
            break;
        case PyUnicode_2BYTE_KIND:
            decode_into(text, PyUnicode_2BYTE_DATA(result));
            break;
        default:
            decode_into(text, PyUnicode_4BYTE_DATA(result));
            break;
    }
    return result;
}

}  // namespace

PyObject* new_text(std::string_view text, bool known_ascii) {
    // An ASCII answer (nearly all of them) is copied straight into a new
    // compact str, without the UTF-8 decoder; single characters go the
    // decoder's way, which hands out the interpreter's shared ones.
    if (text.size() > 1 && (known_ascii || utf8::is_ascii(text))) {
        PyObject* result = PyUnicode_New(static_cast<Py_ssize_t>(text.size()), 127);
        if (result != nullptr) {
            std::memcpy(PyUnicode_1BYTE_DATA(result), text.data(), text.size());
        }
        return result;
    }
    // Two bytes may be one character: the decoder's too.
    if (text.size() > 2) {
        if (PyObject* result = decode_well_formed(text); result != nullptr || PyErr_Occurred() != nullptr) {
            return result;
        }
    }
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

PyObject* bool_result(bool value) noexcept { return Py_NewRef(value ? Py_True : Py_False); }

PyObject* none_result() noexcept { return Py_NewRef(Py_None); }

}  // namespace lookup
