#include "errors.h"

#include "text_rule.h"

namespace lookup {

struct PyError::State {
    enum class Kind { Object, Described, NotInstance };

    std::string message_text() const;

    Kind kind;
    PyObject* type = nullptr;  // built-in class: static, never released
    PyRef object;              // the exception object, or the object that was refused
    PyRef target;              // the class that it should have been an instance of
    std::string message;
};

PyError::PyError(std::unique_ptr<State> state) noexcept : state_(std::move(state)) {}
PyError::PyError(PyError&&) noexcept = default;
PyError& PyError::operator=(PyError&&) noexcept = default;
PyError::~PyError() = default;

PyError PyError::from_object(PyRef exception) {
    auto state = std::make_unique<State>();
    state->kind = State::Kind::Object;
    state->object = std::move(exception);
    return PyError(std::move(state));
}

PyError PyError::described(PyObject* type, std::string message) {
    auto state = std::make_unique<State>();
    state->kind = State::Kind::Described;
    state->type = type;
    state->message = std::move(message);
    return PyError(std::move(state));
}

PyError PyError::not_instance(PyObject* object, PyObject* target) {
    auto state = std::make_unique<State>();
    state->kind = State::Kind::NotInstance;
    state->type = PyExc_TypeError;
    state->object = PyRef::borrow(object);
    state->target = PyRef::borrow(target);
    return PyError(std::move(state));
}

PyError not_instance_error(PyObject* object, PyObject* target) { return PyError::not_instance(object, target); }

namespace {

// How a target class is named in the message: "None" for NoneType, the
// qualified name for a class, "A | B" for a tuple of classes.
std::string target_text(PyObject* target) {
    if (target == reinterpret_cast<PyObject*>(Py_TYPE(Py_None))) {
        return "None";
    }
    if (PyType_Check(target)) {
        return qualified_name_text(reinterpret_cast<PyTypeObject*>(target));
    }
    if (PyTuple_Check(target)) {
        std::string text;
        for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(target); ++i) {
            if (i != 0) {
                text += " | ";
            }
            text += target_text(PyTuple_GET_ITEM(target, i));
        }
        return text;
    }
    return display_text(target);
}

}  // namespace

std::string PyError::State::message_text() const {
    if (kind != Kind::NotInstance) {
        return message;
    }
    std::string text;
    if (object.get() == Py_None) {
        text = "'None'";
    } else {
        text.append("'").append(qualified_name_text(Py_TYPE(object.get()))).append("' object");
    }
    text.append(" is not an instance of '").append(target_text(target.get())).append("'");
    return text;
}

void PyError::restore() && {
    const std::unique_ptr<State> state = std::move(state_);
    if (!state || state->kind == State::Kind::Object) {
        if (!state || !state->object) {
            PyErr_SetString(PyExc_SystemError, "attempted to fetch exception but none was set");
            return;
        }
        PyErr_SetRaisedException(state->object.release());
        return;
    }
    const std::string text = state->message_text();
    PyRef message(PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace"));
    if (!message) {
        return;  // the failure to make the message is the pending exception
    }
    PyErr_SetObject(state->type, message.get());
}

PyObject* PyError::object() {
    if (state_ && state_->kind != State::Kind::Object) {
        std::move(*this).restore();
        *this = PyError::from_object(PyRef(PyErr_GetRaisedException()));
    }
    return state_ ? state_->object.get() : nullptr;
}

}  // namespace lookup
