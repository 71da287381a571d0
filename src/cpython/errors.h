// A Python exception on its way out of a call, and the result type that
// carries it. Faults are C++ exceptions; Python exceptions are values.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "py_ref.h"

namespace lookup {

// One pointer wide, so that results on the success path stay small; the
// description is allocated only when a call fails.
class PyError {
public:
    // An exception object (taken over).
    static PyError from_object(PyRef exception);
    // A built-in exception class and its message (UTF-8); the object is made
    // only when the error is raised.
    static PyError described(PyObject* type, std::string message);
    // A TypeError saying that `object` is not an instance of `target`; its
    // message is written only when it is needed.
    static PyError not_instance(PyObject* object, PyObject* target);

    PyError(PyError&&) noexcept;
    PyError& operator=(PyError&&) noexcept;
    ~PyError();

    // Makes this error the interpreter's pending exception.
    void restore() &&;
    // The exception object, made from the description if there is none yet.
    // Null, with a pending exception, when it cannot be made.
    PyObject* object();

private:
    struct State;
    explicit PyError(std::unique_ptr<State> state) noexcept;

    std::unique_ptr<State> state_;
};

// The lazily described TypeError for an object of the wrong class.
PyError not_instance_error(PyObject* object, PyObject* target);

// A value or the Python exception that took its place.
template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) noexcept(std::is_nothrow_move_constructible_v<T>) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(PyError error) noexcept : state_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const noexcept { return state_.index() == 0; }
    T& value() noexcept { return *std::get_if<0>(&state_); }
    PyError take_error() noexcept { return std::move(*std::get_if<1>(&state_)); }

private:
    std::variant<T, PyError> state_;
};

// Success, or the Python exception that ended the step.
class [[nodiscard]] Status {
public:
    Status() noexcept = default;
    Status(PyError error) noexcept : error_(std::move(error)) {}

    bool ok() const noexcept { return !error_.has_value(); }
    PyError take_error() noexcept { return std::move(*error_); }

private:
    std::optional<PyError> error_;
};

}  // namespace lookup
