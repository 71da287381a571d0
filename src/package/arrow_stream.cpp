#include "arrow_stream.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <stdexcept>
#include <thread>

#include "arrow_export.h"
#include "detached.h"
#include "python_compat.h"
#include "signal_watch.h"

namespace lookup::arrow {
namespace {

StreamAnswers& state_of(ArrowArrayStream* stream) { return *static_cast<StreamAnswers*>(stream->private_data); }

int failed(StreamAnswers& state, int code, const std::string& why) noexcept {
    try {
        state.last_error = why;
    } catch (...) {
        state.last_error.clear();
    }
    return code;
}

std::string chunk_note(const StreamAnswers& state) {
    return " (while reading chunk " + std::to_string(state.chunks_read) + " of 'values')";
}

// Whether this call may look for signals: on the stream's signal thread
// with its own thread state of the main interpreter, attached or not
// (pyarrow lets go of the interpreter while it reads, and takes it again for
// producers in Python), and not attached to another interpreter instead.
bool may_look(const StreamAnswers& state) noexcept {
    if (state.signal_thread != std::this_thread::get_id() || !Py_IsInitialized()) {
        return false;
    }
    PyThreadState* own = PyGILState_GetThisThreadState();
    PyThreadState* current = PyThreadState_GetUnchecked();
    return own != nullptr && (current == nullptr || current == own);
}

// The stream's error for a chunk given up on a signal: what the handler
// raised is taken off the thread and named.
int interrupted(StreamAnswers& state) {
    char name[96] = "a signal handler";
    const PyGILState_STATE attached = PyGILState_Ensure();
    if (PyObject* raised = PyErr_GetRaisedException(); raised != nullptr) {
        std::snprintf(name, sizeof name, "%s", Py_TYPE(raised)->tp_name);
        Py_DECREF(raised);
    }
    PyGILState_Release(attached);
    return failed(state, EINTR, std::string("interrupted by ") + name + chunk_note(state));
}

int answer_chunk(StreamAnswers& state, SignalWatch& signals, ArrowArray* out) {
    ArrowArray received;
    received.release = nullptr;
    const int code = state.input->get_next(state.input.get(), &received);
    if (code != 0) {
        const char* why = state.input->get_last_error != nullptr ? state.input->get_last_error(state.input.get()) : nullptr;
        return failed(state, code, std::string(why != nullptr ? why : std::strerror(code)) + chunk_note(state));
    }
    if (received.release == nullptr) {
        out->release = nullptr;  // the end
        return 0;
    }
    OwnedArray chunk = OwnedArray::take(&received);
    std::shared_ptr<const AnswerColumn> answers;
    try {
        const StringColumn column(*chunk, state.column_type);
        answers = state.answer(state.table, column, state.shape, state.request, signals);
    } catch (const NotUtf8& error) {
        return failed(state, EINVAL,
                      "item " + std::to_string(state.items_read + error.index) + " of 'values' is not UTF-8" +
                          chunk_note(state));
    } catch (const MalformedArray& error) {
        return failed(state, EINVAL, std::string("malformed Arrow array: ") + error.what() + chunk_note(state));
    } catch (const std::length_error& error) {
        return failed(state, EINVAL, error.what() + chunk_note(state));
    }
    if (!answers) {
        return interrupted(state);  // the chunk is released on the way out
    }
    chunk.reset();
    export_array(std::move(answers), out);
    ++state.chunks_read;
    state.items_read += static_cast<std::size_t>(out->length);
    return 0;
}

int get_schema(ArrowArrayStream* stream, ArrowSchema* out) {
    StreamAnswers& state = state_of(stream);
    try {
        export_schema(state.shape, out);
        return 0;
    } catch (const std::bad_alloc&) {
        return failed(state, ENOMEM, "out of memory");
    }
}

int get_next(ArrowArrayStream* stream, ArrowArray* out) {
    StreamAnswers& state = state_of(stream);
    SignalWatch signals(may_look(state));
    const DetachedIfAttached detached;
    try {
        return answer_chunk(state, signals, out);
    } catch (const std::bad_alloc&) {
        return failed(state, ENOMEM, "out of memory" + chunk_note(state));
    } catch (const std::exception& fault) {
        return failed(state, EIO, std::string("internal fault: ") + fault.what());
    } catch (...) {
        return failed(state, EIO, "internal fault");
    }
}

const char* get_last_error(ArrowArrayStream* stream) {
    const StreamAnswers& state = state_of(stream);
    return state.last_error.empty() ? nullptr : state.last_error.c_str();
}

void release(ArrowArrayStream* stream) {
    delete &state_of(stream);
    stream->release = nullptr;
}

// ---- a stream of one chunk ----------------------------------------------

struct OneChunk {
    AnswerShape shape;
    std::shared_ptr<const AnswerColumn> answers;  // null once handed out
};

int one_chunk_schema(ArrowArrayStream* stream, ArrowSchema* out) {
    try {
        export_schema(static_cast<OneChunk*>(stream->private_data)->shape, out);
        return 0;
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    }
}

int one_chunk_next(ArrowArrayStream* stream, ArrowArray* out) {
    auto& chunk = *static_cast<OneChunk*>(stream->private_data);
    if (!chunk.answers) {
        out->release = nullptr;
        return 0;
    }
    try {
        export_array(chunk.answers, out);
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    }
    chunk.answers.reset();
    return 0;
}

const char* one_chunk_error(ArrowArrayStream* /*stream*/) { return nullptr; }

void one_chunk_release(ArrowArrayStream* stream) {
    delete static_cast<OneChunk*>(stream->private_data);
    stream->release = nullptr;
}

}  // namespace

void export_one_chunk(std::shared_ptr<const AnswerColumn> answers, ArrowArrayStream* out) {
    auto* chunk = new OneChunk{answers->shape, std::move(answers)};
    *out = ArrowArrayStream{&one_chunk_schema, &one_chunk_next, &one_chunk_error, &one_chunk_release, chunk};
}

void export_stream(std::unique_ptr<StreamAnswers> state, ArrowArrayStream* out) noexcept {
    *out = ArrowArrayStream{&get_schema, &get_next, &get_last_error, &release, state.release()};
}

}  // namespace lookup::arrow
