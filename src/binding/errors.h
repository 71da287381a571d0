// A Python exception on its way out of a call, and the result type that
// carries it. Faults are C++ exceptions; Python exceptions are values.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "lib/py_ref.h"

namespace lookup {

class PyError {
public:
    // An exception object (taken over).
    static PyError from_object(PyRef exception) noexcept;
    // A built-in exception class and its message (UTF-8); the object is made
    // only when the error is raised.
    static PyError described(PyObject* type, std::string message) noexcept;
    // A TypeError saying that `object` is not an instance of `target`; its
    // message is written only when it is needed.
    static PyError not_instance(PyObject* object, PyObject* target) noexcept;

    PyError(PyError&&) noexcept = default;
    PyError& operator=(PyError&&) noexcept = default;

    // Makes this error the interpreter's pending exception.
    void restore() &&;
    // The exception object, made from the description if there is none yet.
    // Null, with a pending exception, when it cannot be made.
    PyObject* object();

private:
    enum class Kind { Object, Described, NotInstance };
    PyError(Kind kind, PyObject* type, PyRef object, PyRef target, std::string message) noexcept
        : kind_(kind), type_(type), object_(std::move(object)), target_(std::move(target)),
          message_(std::move(message)) {}

    std::string message_text() const;

    Kind kind_;
    PyObject* type_;   // built-in class: static, never released
    PyRef object_;     // the exception object, or the object that was refused
    PyRef target_;     // the class that it should have been an instance of
    std::string message_;
};

// The lazily described TypeError for an object of the wrong class.
PyError not_instance_error(PyObject* object, PyObject* target) noexcept;

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
