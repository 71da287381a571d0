// An owned reference to a Python object, released when it goes out of scope,
// so that no early return or C++ exception leaks one.
#pragma once

#include "python_compat.h"

namespace lookup {

class PyRef {
public:
    PyRef() noexcept = default;
    // Takes over `object` (which may be null).
    explicit PyRef(PyObject* object) noexcept : object_(object) {}
    PyRef(PyRef&& other) noexcept : object_(other.release()) {}
    PyRef& operator=(PyRef&& other) noexcept {
        PyObject* old = object_;
        object_ = other.release();
        Py_XDECREF(old);
        return *this;
    }
    PyRef(const PyRef&) = delete;
    PyRef& operator=(const PyRef&) = delete;
    ~PyRef() { Py_XDECREF(object_); }

    static PyRef borrow(PyObject* object) noexcept { return PyRef(Py_XNewRef(object)); }

    PyObject* get() const noexcept { return object_; }
    explicit operator bool() const noexcept { return object_ != nullptr; }
    // Hands the reference over to the caller.
    PyObject* release() noexcept {
        PyObject* object = object_;
        object_ = nullptr;
        return object;
    }

private:
    PyObject* object_ = nullptr;
};

}  // namespace lookup
