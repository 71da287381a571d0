// The Arrow forms of the six queries: a whole column of names in, a column
// of answers out, with no Python object per name. Arguments are bound like
// the batch forms' (`values` in place of `domains`); the values are taken
// last, once every other argument has converted, so that a call refused for
// a flag leaves a one-shot stream unread.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

#include "arrow_answers.h"
#include "arrow_python.h"
#include "arrow_stream.h"
#include "detached.h"
#include "query_bodies.h"
#include "signal_watch.h"

namespace lookup::arrow {

template <Query query>
std::shared_ptr<const AnswerColumn> answer_any_column(const SuffixTable& table, const StringColumn& column,
                                                      const AnswerShape& shape, const ArrowRequest& request,
                                                      SignalWatch& signals) {
    return answer_column<query>(table, column, shape, request, signals);
}

// The answers to one array, made detached; the array's own errors as
// Python exceptions (exhausted memory goes on to the guard), and what a
// signal handler raised meanwhile (Ctrl-C), within about INTERVAL plus a
// chunk.
template <Query query>
Result<PyObject*> answer_array(const SuffixTable& table, OwnedArray array, const ColumnType& type,
                               const AnswerShape& shape, const ArrowRequest& request) {
    std::shared_ptr<const AnswerColumn> answers;
    SignalWatch signals;
    try {
        const StringColumn column(*array, type);
        const Detached detached;
        answers = answer_column<query>(table, column, shape, request, signals);
    } catch (const NotUtf8& error) {
        return PyError::described(PyExc_ValueError,
                                  "item " + std::to_string(error.index) + " of 'values' is not UTF-8");
    } catch (const MalformedArray& error) {
        return PyError::described(PyExc_ValueError, std::string("malformed Arrow array in 'values': ") + error.what());
    } catch (const std::length_error& error) {
        return PyError::described(PyExc_ValueError, error.what());
    }
    if (signals.stopped()) {
        return take_pending_exception();  // the array is released on the way out
    }
    array.reset();  // released before the answers are handed out
    return make_answer_array(std::move(answers));
}

// A whole call: arguments bound and converted for the Arrow form of `query`
// as `owner` offers it, over `table`, which `holder` (null for the list
// compiled in) keeps alive for as long as a stream of answers needs it.
template <Query query, Owner owner>
Result<PyObject*> run_arrow(const SuffixTable& table, PyObject* holder, PyObject* const* args, Py_ssize_t nargs,
                            PyObject* kwnames) {
    static constexpr const ParameterSpec& spec = QUERY_SPEC<query, Form::arrow, owner>;
    PyObject* slots[MAX_SLOTS];
    if (Status bound = bind_arguments(spec, args, nargs, kwnames, slots); !bound.ok()) {
        return bound.take_error();
    }
    ArrowRequest request;
    if (Status rest = convert_rest<query, Form::arrow>(slots, request.depth, &request.threads, request.flags);
        !rest.ok()) {
        return rest.take_error();
    }
    Result<ArrowInput> taken = take_arrow_input(slots[0]);
    if (!taken.ok()) {
        return add_argument_note(taken.take_error(), "values");
    }
    ArrowInput& input = taken.value();
    ColumnType type;
    try {
        type = column_type(*input.schema);
    } catch (const UnsupportedType& error) {
        return add_argument_note(
            PyError::described(PyExc_TypeError, std::string("expected Arrow strings (utf8, large_utf8 or utf8_view), not ") +
                                                    error.what()),
            "values");
    }
    const AnswerShape shape{ANSWER_TYPE<query>, type.layout == StringLayout::large_utf8, type.in_struct,
                            std::string(query_info(query).name)};
    input.schema.reset();
    if (input.array.live()) {
        return answer_array<query>(table, std::move(input.array), type, shape, request);
    }
    auto state = std::make_unique<StreamAnswers>(StreamAnswers{std::move(input.stream), std::move(type), shape, table,
                                                               hold_python_object(holder), request,
                                                               &answer_any_column<query>, {}, 0, 0, {}});
    if (SignalWatch::main_thread_attached()) {
        state->signal_thread = std::this_thread::get_id();
    }
    return make_answer_stream(std::move(state));
}

}  // namespace lookup::arrow
