// The Arrow PyCapsule protocol: arrays and streams taken from any object
// that exports them (__arrow_c_array__, __arrow_c_stream__), and answers
// handed back as objects that export them in turn.
#pragma once

#include <memory>

#include "arrow_abi.h"
#include "arrow_answers.h"
#include "arrow_stream.h"
#include "errors.h"

namespace lookup::arrow {

// What a call received: a schema, and an array or a stream (whichever is
// live). Each is released exactly once, by this holder or by its next owner.
struct ArrowInput {
    OwnedSchema schema;
    OwnedArray array;
    OwnedStream stream;
};

// The array of `values.__arrow_c_array__()`, else the stream of
// `values.__arrow_c_stream__()` and its schema. An object with neither is a
// TypeError; a capsule that is missing, of another name or already
// consumed, a ValueError; a producer's failure to give the stream's schema,
// its error.
Result<ArrowInput> take_arrow_input(PyObject* values);

// An object exporting `answers` through __arrow_c_array__.
Result<PyObject*> make_answer_array(std::shared_ptr<const AnswerColumn> answers);

// An object exporting `state` (once) through __arrow_c_stream__.
Result<PyObject*> make_answer_stream(std::unique_ptr<StreamAnswers> state);

// The classes of those objects (borrowed), for the module to show; null
// with a pending exception when they cannot be made.
PyObject* answer_array_class();
PyObject* answer_stream_class();

// Holds a new reference to `owner` (or nothing, for null) until the last
// copy goes, on whatever thread that happens.
std::shared_ptr<void> hold_python_object(PyObject* owner);

}  // namespace lookup::arrow
