// The arguments of a run-time list's constructors, turned into what the
// builder reads: the list's bytes (kept as the bytes object that pickling
// hands back) and the extra rules (a tuple of str, and their UTF-8 copies).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "errors.h"

namespace lookup {

struct ExtraRules {
    PyRef tuple;                    // exact str copies, as the list's extra_rules attribute shows them
    std::vector<std::string> text;  // their UTF-8, readable while detached
    std::vector<std::string_view> views() const { return {text.begin(), text.end()}; }
};

// Any iterable of str but a single text; null (not given) is no rule. A str
// subclass is kept as an exact str of its text, so that the list refers to
// no object that could refer back to it (the list is not tracked by the
// garbage collector).
Result<ExtraRules> extract_extra_rules(PyObject* object);

// A bytes-like object as a bytes object (the object itself when it is one).
Result<PyRef> extract_list_bytes(PyObject* object);

// The file system path of a str, bytes or path-like object: the encoded path
// and the object that OSError names.
struct FilePath {
    PyRef shown;       // str or bytes, from os.fspath
    std::string encoded;
};
Result<FilePath> extract_path(PyObject* object);

// The bytes of the file at `path`, read detached from the interpreter. On
// failure the errno value is set and the bytes are empty; a file of more
// than `max_bytes` is EFBIG, found without reading further.
struct FileBytes {
    std::string bytes;
    int error = 0;
};
FileBytes read_file_detached(const std::string& path, std::size_t max_bytes);

}  // namespace lookup
