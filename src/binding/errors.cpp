#include "binding/errors.h"

#include "binding/text_rule.h"

namespace lookup {

PyError PyError::from_object(PyRef exception) noexcept {
    return PyError(Kind::Object, nullptr, std::move(exception), PyRef(), std::string());
}

PyError PyError::described(PyObject* type, std::string message) noexcept {
    return PyError(Kind::Described, type, PyRef(), PyRef(), std::move(message));
}

PyError PyError::not_instance(PyObject* object, PyObject* target) noexcept {
    return PyError(Kind::NotInstance, PyExc_TypeError, PyRef::borrow(object), PyRef::borrow(target), std::string());
}

PyError not_instance_error(PyObject* object, PyObject* target) noexcept {
    return PyError::not_instance(object, target);
}

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

std::string PyError::message_text() const {
    if (kind_ != Kind::NotInstance) {
        return message_;
    }
    std::string text;
    if (object_.get() == Py_None) {
        text = "'None'";
    } else {
        text.append("'").append(qualified_name_text(Py_TYPE(object_.get()))).append("' object");
    }
    text.append(" is not an instance of '").append(target_text(target_.get())).append("'");
    return text;
}

void PyError::restore() && {
    if (kind_ == Kind::Object) {
        if (!object_) {
            PyErr_SetString(PyExc_SystemError, "attempted to fetch exception but none was set");
            return;
        }
        PyErr_SetRaisedException(object_.release());
        return;
    }
    const std::string text = message_text();
    PyRef message(PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace"));
    if (!message) {
        return;  // the failure to make the message is the pending exception
    }
    PyErr_SetObject(type_, message.get());
}

PyObject* PyError::object() {
    if (kind_ != Kind::Object) {
        PyError described = std::move(*this);
        std::move(described).restore();
        PyRef raised(PyErr_GetRaisedException());
        *this = PyError::from_object(std::move(raised));
    }
    return object_.get();
}

}  // namespace lookup
