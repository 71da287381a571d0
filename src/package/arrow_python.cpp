#include "arrow_python.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#include "arrow_export.h"
#include "bind_arguments.h"
#include "guard.h"
#include "once_value.h"
#include "text_rule.h"

namespace lookup::arrow {
namespace {

constexpr char SCHEMA_CAPSULE[] = "arrow_schema";
constexpr char ARRAY_CAPSULE[] = "arrow_array";
constexpr char STREAM_CAPSULE[] = "arrow_array_stream";

// The struct a capsule of `name` holds, still unreleased; a ValueError when
// the object is no such capsule or its struct was consumed.
template <class Struct>
Result<Struct*> capsule_struct(PyObject* capsule, const char* name, const char* method) {
    if (!PyCapsule_IsValid(capsule, name)) {
        return PyError::described(PyExc_ValueError,
                                  std::string(method) + "() did not give an '" + name + "' capsule");
    }
    auto* held = static_cast<Struct*>(PyCapsule_GetPointer(capsule, name));
    if (held == nullptr || held->release == nullptr) {
        return PyError::described(PyExc_ValueError, std::string("the '") + name + "' capsule of " + method +
                                                        "() was already consumed");
    }
    return held;
}

// Calls `method` of `values`: null (no error) when it has none.
Result<PyRef> call_export(PyObject* values, const char* method) {
    PyRef bound(PyObject_GetAttrString(values, method));
    if (!bound) {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError)) {
            return take_pending_exception();
        }
        PyErr_Clear();
        return PyRef();
    }
    PyRef result(PyObject_CallNoArgs(bound.get()));
    if (!result) {
        return take_pending_exception();
    }
    return result;
}

// The error a stream's producer reported, as the exception its code names.
PyError producer_error(ArrowArrayStream* stream, int code) {
    const char* why = stream->get_last_error != nullptr ? stream->get_last_error(stream) : nullptr;
    std::string message = why != nullptr ? why : std::strerror(code);
    message += " (while reading the schema of 'values')";
    PyObject* type = code == ENOMEM ? PyExc_MemoryError
                     : code == EINVAL ? PyExc_ValueError
                     : code == ENOSYS ? PyExc_NotImplementedError
                                      : PyExc_OSError;
    return PyError::described(type, std::move(message));
}

}  // namespace

Result<ArrowInput> take_arrow_input(PyObject* values) {
    ArrowInput input;
    Result<PyRef> pair = call_export(values, "__arrow_c_array__");
    if (!pair.ok()) {
        return pair.take_error();
    }
    if (pair.value()) {
        PyObject* given = pair.value().get();
        if (!PyTuple_Check(given) || PyTuple_GET_SIZE(given) != 2) {
            return PyError::described(PyExc_ValueError, "__arrow_c_array__() did not give a pair of capsules");
        }
        Result<ArrowSchema*> schema = capsule_struct<ArrowSchema>(PyTuple_GET_ITEM(given, 0), SCHEMA_CAPSULE,
                                                                  "__arrow_c_array__");
        if (!schema.ok()) {
            return schema.take_error();
        }
        Result<ArrowArray*> array = capsule_struct<ArrowArray>(PyTuple_GET_ITEM(given, 1), ARRAY_CAPSULE,
                                                               "__arrow_c_array__");
        if (!array.ok()) {
            return array.take_error();
        }
        // Both moved out only once both are there: the capsules release
        // whatever is left in them.
        input.schema = OwnedSchema::take(schema.value());
        input.array = OwnedArray::take(array.value());
        return input;
    }
    Result<PyRef> capsule = call_export(values, "__arrow_c_stream__");
    if (!capsule.ok()) {
        return capsule.take_error();
    }
    if (!capsule.value()) {
        return PyError::described(PyExc_TypeError,
                                  "expected an object with __arrow_c_array__ or __arrow_c_stream__ (an Arrow array "
                                  "or stream of strings), not '" + qualified_name_text(Py_TYPE(values)) + "'");
    }
    Result<ArrowArrayStream*> stream = capsule_struct<ArrowArrayStream>(capsule.value().get(), STREAM_CAPSULE,
                                                                        "__arrow_c_stream__");
    if (!stream.ok()) {
        return stream.take_error();
    }
    input.stream = OwnedStream::take(stream.value());
    ArrowSchema schema;
    schema.release = nullptr;
    if (const int code = input.stream->get_schema(input.stream.get(), &schema); code != 0) {
        return producer_error(input.stream.get(), code);
    }
    if (schema.release == nullptr) {
        return PyError::described(PyExc_ValueError, "the stream of 'values' gave a released schema");
    }
    input.schema = OwnedSchema::take(&schema);
    return input;
}

namespace {

// ---- capsules of the answers --------------------------------------------

template <class Struct>
void release_capsule(PyObject* capsule, const char* name) {
    auto* held = static_cast<Struct*>(PyCapsule_GetPointer(capsule, name));
    if (held == nullptr) {
        PyErr_Clear();
        return;
    }
    if (held->release != nullptr) {
        held->release(held);
    }
    delete held;
}

void release_schema_capsule(PyObject* capsule) { release_capsule<ArrowSchema>(capsule, SCHEMA_CAPSULE); }
void release_array_capsule(PyObject* capsule) { release_capsule<ArrowArray>(capsule, ARRAY_CAPSULE); }
void release_stream_capsule(PyObject* capsule) { release_capsule<ArrowArrayStream>(capsule, STREAM_CAPSULE); }

// A capsule holding `*filled` (moved in); the struct is released if the
// capsule cannot be made.
template <class Struct>
Result<PyRef> make_capsule(Owned<Struct> filled, const char* name, PyCapsule_Destructor destructor) {
    auto held = std::make_unique<Struct>();
    filled.move_to(held.get());
    PyRef capsule(PyCapsule_New(held.get(), name, destructor));
    if (!capsule) {
        held->release(held.get());
        return take_pending_exception();
    }
    held.release();
    return capsule;
}

// requested_schema is accepted and, as the protocol allows, not followed:
// the answers have the one type that the query gives.
constexpr std::string_view REQUESTED_SCHEMA[] = {"requested_schema"};

template <const char* name>
constexpr ParameterSpec EXPORT_SPEC{name, {}, REQUESTED_SCHEMA, 0, 0, {}};

// ---- the array of answers -----------------------------------------------

struct AnswerArrayObject {
    PyObject_HEAD
    std::shared_ptr<const AnswerColumn>* answers;
};

constexpr char ARRAY_EXPORT_NAME[] = "__arrow_c_array__";

Result<PyObject*> array_export(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    PyObject* slots[MAX_SLOTS];
    if (Status bound = bind_arguments(EXPORT_SPEC<ARRAY_EXPORT_NAME>, args, nargs, kwnames, slots); !bound.ok()) {
        return bound.take_error();
    }
    const std::shared_ptr<const AnswerColumn>& answers = *reinterpret_cast<AnswerArrayObject*>(self)->answers;
    OwnedSchema schema;
    export_schema(answers->shape, schema.get());
    OwnedArray array;
    export_array(answers, array.get());
    Result<PyRef> schema_capsule = make_capsule(std::move(schema), SCHEMA_CAPSULE, &release_schema_capsule);
    if (!schema_capsule.ok()) {
        return schema_capsule.take_error();
    }
    Result<PyRef> array_capsule = make_capsule(std::move(array), ARRAY_CAPSULE, &release_array_capsule);
    if (!array_capsule.ok()) {
        return array_capsule.take_error();
    }
    PyObject* pair = PyTuple_Pack(2, schema_capsule.value().get(), array_capsule.value().get());
    if (pair == nullptr) {
        return take_pending_exception();
    }
    return pair;
}

constexpr char STREAM_EXPORT_NAME[] = "__arrow_c_stream__";

// The same answers as a stream of one chunk, for consumers that read streams.
Result<PyObject*> array_stream_export(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    PyObject* slots[MAX_SLOTS];
    if (Status bound = bind_arguments(EXPORT_SPEC<STREAM_EXPORT_NAME>, args, nargs, kwnames, slots); !bound.ok()) {
        return bound.take_error();
    }
    OwnedStream stream;
    export_one_chunk(*reinterpret_cast<AnswerArrayObject*>(self)->answers, stream.get());
    Result<PyRef> capsule = make_capsule(std::move(stream), STREAM_CAPSULE, &release_stream_capsule);
    if (!capsule.ok()) {
        return capsule.take_error();
    }
    return capsule.value().release();
}

Py_ssize_t array_length(PyObject* self) {
    return static_cast<Py_ssize_t>((*reinterpret_cast<AnswerArrayObject*>(self)->answers)->length);
}

void array_dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    delete reinterpret_cast<AnswerArrayObject*>(self)->answers;
    type->tp_free(self);
    Py_DECREF(type);
}

PyMethodDef array_methods[] = {
    {ARRAY_EXPORT_NAME,
     method_entry<array_export>(),
     METH_FASTCALL | METH_KEYWORDS,
     "__arrow_c_array__($self, requested_schema=None)\n--\n\n"
     "Export the answers as a pair of PyCapsules, 'arrow_schema' and 'arrow_array'."},
    {STREAM_EXPORT_NAME,
     method_entry<array_stream_export>(),
     METH_FASTCALL | METH_KEYWORDS,
     "__arrow_c_stream__($self, requested_schema=None)\n--\n\n"
     "Export the answers as an 'arrow_array_stream' PyCapsule of one chunk."},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot array_slots[] = {
    {Py_tp_doc, const_cast<char*>("Answers to one Arrow array, exported through the Arrow PyCapsule protocol\n"
                                  "as an array (pyarrow.array() takes them without a copy) or a stream of one\n"
                                  "chunk.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(&array_dealloc)},
    {Py_tp_methods, array_methods},
    {Py_sq_length, reinterpret_cast<void*>(&array_length)},
    {0, nullptr},
};

PyType_Spec array_spec = {
    "lookup_psl.ArrowAnswers", sizeof(AnswerArrayObject), 0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_DISALLOW_INSTANTIATION, array_slots};

OnceValue array_class([] { return PyType_FromSpec(&array_spec); });

// ---- the stream of answers ----------------------------------------------

struct AnswerStreamObject {
    PyObject_HEAD
    std::atomic<StreamAnswers*> state;  // null once exported
};

Result<PyObject*> stream_export(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    PyObject* slots[MAX_SLOTS];
    if (Status bound = bind_arguments(EXPORT_SPEC<STREAM_EXPORT_NAME>, args, nargs, kwnames, slots); !bound.ok()) {
        return bound.take_error();
    }
    std::unique_ptr<StreamAnswers> state(reinterpret_cast<AnswerStreamObject*>(self)->state.exchange(nullptr));
    if (!state) {
        return PyError::described(PyExc_ValueError, "a stream of answers can be exported only once");
    }
    OwnedStream stream;
    export_stream(std::move(state), stream.get());
    Result<PyRef> capsule = make_capsule(std::move(stream), STREAM_CAPSULE, &release_stream_capsule);
    if (!capsule.ok()) {
        return capsule.take_error();
    }
    return capsule.value().release();
}

void stream_dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    delete reinterpret_cast<AnswerStreamObject*>(self)->state.exchange(nullptr);
    type->tp_free(self);
    Py_DECREF(type);
}

PyMethodDef stream_methods[] = {
    {STREAM_EXPORT_NAME,
     method_entry<stream_export>(),
     METH_FASTCALL | METH_KEYWORDS,
     "__arrow_c_stream__($self, requested_schema=None)\n--\n\n"
     "Export the answers, once, as an 'arrow_array_stream' PyCapsule: each chunk\n"
     "is read from the stream given and answered when the consumer asks for it."},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot stream_slots[] = {
    {Py_tp_doc, const_cast<char*>("Answers to an Arrow stream, chunk by chunk, exported once through the Arrow\n"
                                  "PyCapsule protocol (pyarrow.chunked_array() takes them).")},
    {Py_tp_dealloc, reinterpret_cast<void*>(&stream_dealloc)},
    {Py_tp_methods, stream_methods},
    {0, nullptr},
};

PyType_Spec stream_spec = {
    "lookup_psl.ArrowAnswerStream", sizeof(AnswerStreamObject), 0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_DISALLOW_INSTANTIATION, stream_slots};

OnceValue stream_class([] { return PyType_FromSpec(&stream_spec); });

template <class Object>
Result<Object*> allocate(OnceValue& made_class) {
    auto* type = reinterpret_cast<PyTypeObject*>(made_class.get());
    if (type == nullptr) {
        return take_pending_exception();
    }
    PyObject* object = type->tp_alloc(type, 0);
    if (object == nullptr) {
        return take_pending_exception();
    }
    return reinterpret_cast<Object*>(object);
}

}  // namespace

Result<PyObject*> make_answer_array(std::shared_ptr<const AnswerColumn> answers) {
    auto held = std::make_unique<std::shared_ptr<const AnswerColumn>>(std::move(answers));
    Result<AnswerArrayObject*> object = allocate<AnswerArrayObject>(array_class);
    if (!object.ok()) {
        return object.take_error();
    }
    object.value()->answers = held.release();
    return reinterpret_cast<PyObject*>(object.value());
}

Result<PyObject*> make_answer_stream(std::unique_ptr<StreamAnswers> state) {
    Result<AnswerStreamObject*> object = allocate<AnswerStreamObject>(stream_class);
    if (!object.ok()) {
        return object.take_error();
    }
    new (&object.value()->state) std::atomic<StreamAnswers*>(state.release());
    return reinterpret_cast<PyObject*>(object.value());
}

PyObject* answer_array_class() { return array_class.get(); }
PyObject* answer_stream_class() { return stream_class.get(); }

std::shared_ptr<void> hold_python_object(PyObject* owner) {
    if (owner == nullptr) {
        return {};
    }
    return std::shared_ptr<void>(Py_NewRef(owner), [](void* object) {
        // The last holder may be a consumer's thread, attached or not; at
        // exit, the interpreter has freed the object already.
        if (!Py_IsInitialized()) {
            return;
        }
        const PyGILState_STATE attached = PyGILState_Ensure();
        Py_DECREF(static_cast<PyObject*>(object));
        PyGILState_Release(attached);
    });
}

}  // namespace lookup::arrow
