#include "list_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "convert.h"
#include "detached.h"
#include "panic.h"

namespace lookup {

Result<ExtraRules> extract_extra_rules(PyObject* object) {
    ExtraRules rules;
    if (object == nullptr) {
        rules.tuple = PyRef(PyTuple_New(0));
        if (!rules.tuple) {
            return take_pending_exception();
        }
        return rules;
    }
    Result<PyRef> items = extract_items(object);
    if (!items.ok()) {
        return items.take_error();
    }
    rules.tuple = std::move(items.value());
    const Py_ssize_t count = PyTuple_GET_SIZE(rules.tuple.get());
    rules.text.reserve(static_cast<std::size_t>(count));
    bool all_exact = true;
    for (Py_ssize_t i = 0; i < count; ++i) {
        PyObject* item = PyTuple_GET_ITEM(rules.tuple.get(), i);
        Result<std::string_view> text = extract_str(item);
        if (!text.ok()) {
            return text.take_error();
        }
        all_exact = all_exact && PyUnicode_CheckExact(item);
        rules.text.emplace_back(text.value());
    }
    if (!all_exact) {
        PyRef exact(PyTuple_New(count));
        if (!exact) {
            return take_pending_exception();
        }
        for (Py_ssize_t i = 0; i < count; ++i) {
            const std::string& text = rules.text[static_cast<std::size_t>(i)];
            PyObject* copy = PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
            if (copy == nullptr) {
                return take_pending_exception();
            }
            PyTuple_SET_ITEM(exact.get(), i, copy);
        }
        rules.tuple = std::move(exact);
    }
    return rules;
}

Result<PyRef> extract_list_bytes(PyObject* object) {
    if (PyBytes_CheckExact(object)) {
        return PyRef::borrow(object);
    }
    Py_buffer view;
    if (PyObject_GetBuffer(object, &view, PyBUF_SIMPLE) < 0) {
        return take_pending_exception();
    }
    PyRef copy(PyBytes_FromStringAndSize(static_cast<const char*>(view.buf), view.len));
    PyBuffer_Release(&view);
    if (!copy) {
        return take_pending_exception();
    }
    return copy;
}

Result<FilePath> extract_path(PyObject* object) {
    FilePath path;
    path.shown = PyRef(PyOS_FSPath(object));
    if (!path.shown) {
        return take_pending_exception();
    }
    PyObject* encoded = nullptr;
    if (PyUnicode_FSConverter(path.shown.get(), &encoded) == 0) {
        return take_pending_exception();
    }
    const PyRef owned(encoded);
    path.encoded.assign(PyBytes_AS_STRING(encoded), static_cast<std::size_t>(PyBytes_GET_SIZE(encoded)));
    return path;
}

FileBytes read_file_detached(const std::string& path, std::size_t max_bytes) {
    FileBytes file;
    const Detached detached;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        file.error = errno;
        return file;
    }
    // Closed however the reading ends, running out of memory included.
    const struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat status {};
    if (::fstat(fd, &status) == 0 && status.st_size > 0) {
        if (static_cast<std::size_t>(status.st_size) > max_bytes) {
            file.error = EFBIG;
            return file;
        }
        file.bytes.reserve(static_cast<std::size_t>(status.st_size));
    }
    char buffer[65536];
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            file.error = errno;
            file.bytes.clear();
            break;
        }
        if (got == 0) {
            break;
        }
        if (file.bytes.size() + static_cast<std::size_t>(got) > max_bytes) {
            file.error = EFBIG;
            file.bytes = {};
            break;
        }
        file.bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return file;
}

}  // namespace lookup
