#include "suffix_list.h"

#include <array>
#include <cerrno>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "build.h"
#include "build_error.h"
#include "convert.h"
#include "detached.h"
#include "guard.h"
#include "list_source.h"
#include "panic.h"
#include "arrow_calls.h"
#include "batch_bodies.h"
#include "query_bodies.h"
#include "query_table.h"

namespace lookup {
namespace {

// The list's bytes as given: the caller's bytes object, or the bytes read
// from a file (kept as read, so that a file's list is not copied once more).
struct ListSource {
    PyRef object;       // bytes, or null
    std::string owned;  // the file's bytes when there is no object

    std::string_view bytes() const {
        if (!object) {
            return owned;
        }
        return {PyBytes_AS_STRING(object.get()), static_cast<std::size_t>(PyBytes_GET_SIZE(object.get()))};
    }
};

// The list's source, the built table and the view that the engine
// searches, made once.
struct LoadedList {
    LoadedList(ListSource list_source, builder::TableBuild build)
        : source(std::move(list_source)), built(std::move(build)), table(built.view()) {}
    LoadedList(const LoadedList&) = delete;
    LoadedList& operator=(const LoadedList&) = delete;

    // What the table (and a file's bytes) hold on the heap.
    std::size_t held_bytes() const noexcept {
        const builder::CompiledTable& t = built.table;
        return t.pool.capacity() + t.nodes.capacity() * sizeof(Node) + t.edges.capacity() * sizeof(Edge) +
               t.heads.capacity() * sizeof(std::uint32_t) + built.checksum.capacity() + source.owned.capacity() +
               built.index.nodes.capacity() * sizeof(IndexedNode) + built.index.slots.capacity() * sizeof(IndexSlot) +
               sizeof(LoadedList);
    }

    ListSource source;
    builder::TableBuild built;
    SuffixTable table;
};

struct SuffixListObject {
    PyObject_HEAD
    LoadedList* list;       // owned; never null once the object is made
    PyObject* extra_rules;  // tuple of str
    PyObject* checksum;   // str
    PyObject* version;    // str or None
    PyObject* commit;     // str or None
    Py_ssize_t icann_rules;
    Py_ssize_t private_rules;
};

SuffixListObject* as_list(PyObject* self) { return reinterpret_cast<SuffixListObject*>(self); }

// ---- the six queries ----------------------------------------------------

// Flattened: everything a call runs, from binding to the answer, inlined
// into one body per query, as link-time optimisation does for the module's
// smaller unit; left to itself GCC calls the binding and the lookup out of
// line here, about 15% more instructions per call. The error paths it
// reaches are marked noinline where they are declared: flattened too, they
// made each body 80 KB and the link of this module a minute of CPU.
template <Query query>
[[gnu::flatten]] Result<PyObject*> query_method(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                                PyObject* kwnames) {
    return run_query<query, Owner::suffix_list>(as_list(self)->list->table, args, nargs, kwnames);
}

// The batch forms, over the same table.
template <Query query>
Result<PyObject*> batch_method(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return run_batch<query, Owner::suffix_list>(as_list(self)->list->table, args, nargs, kwnames);
}

// The Arrow forms, over the same table, which a stream of answers keeps
// alive by holding the list.
template <Query query>
Result<PyObject*> arrow_method(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return arrow::run_arrow<query, Owner::suffix_list>(as_list(self)->list->table, self, args, nargs, kwnames);
}

// ---- making a list ------------------------------------------------------

// A str, or None for an absent header line.
Result<PyRef> optional_text(const std::optional<std::string>& text) {
    if (!text) {
        return PyRef(none_result());
    }
    PyRef made(PyUnicode_DecodeUTF8(text->data(), static_cast<Py_ssize_t>(text->size()), "replace"));
    if (!made) {
        return take_pending_exception();
    }
    return made;
}

// Builds the table of `source` with `extra`, detached from the interpreter,
// and makes the object of class `type`. A list the builder refuses is a
// ValueError with the builder's message.
Result<PyObject*> make_list(PyTypeObject* type, ListSource source, ExtraRules extra) {
    std::unique_ptr<LoadedList> list;
    try {
        const std::vector<std::string_view> extra_views = extra.views();
        const Detached detached;
        builder::TableBuild built = builder::build_table(source.bytes(), extra_views);
        list = std::make_unique<LoadedList>(std::move(source), std::move(built));
    } catch (const builder::BuildError& error) {
        return PyError::described(PyExc_ValueError, error.what());
    }
    const builder::ListInfo& info = list->built.info;
    Result<PyRef> version = optional_text(info.version);
    if (!version.ok()) {
        return version.take_error();
    }
    Result<PyRef> commit = optional_text(info.commit);
    if (!commit.ok()) {
        return commit.take_error();
    }
    const std::string& digest = list->built.checksum;
    PyRef checksum(PyUnicode_FromStringAndSize(digest.data(), static_cast<Py_ssize_t>(digest.size())));
    if (!checksum) {
        return take_pending_exception();
    }
    PyObject* object = type->tp_alloc(type, 0);
    if (object == nullptr) {
        return take_pending_exception();
    }
    SuffixListObject* made = as_list(object);
    made->icann_rules = static_cast<Py_ssize_t>(info.icann_rules);
    made->private_rules = static_cast<Py_ssize_t>(info.private_rules);
    made->list = list.release();
    made->extra_rules = extra.tuple.release();
    made->checksum = checksum.release();
    made->version = version.value().release();
    made->commit = commit.value().release();
    return object;
}

constexpr KeywordParam EXTRA_RULES_ONLY[] = {{"extra_rules", false}};
constexpr std::string_view PATH_ONLY[] = {"path"};
constexpr std::string_view DATA_ONLY[] = {"data"};
constexpr std::string_view PICKLED[] = {"data", "extra_rules", "checksum"};
constexpr ParameterSpec FROM_FILE_SPEC{"from_file", "SuffixList", PATH_ONLY, 0, 1, EXTRA_RULES_ONLY};
constexpr ParameterSpec FROM_BYTES_SPEC{"from_bytes", "SuffixList", DATA_ONLY, 0, 1, EXTRA_RULES_ONLY};
constexpr ParameterSpec UNPICKLE_SPEC{"_unpickle", "SuffixList", PICKLED, 0, 3, {}};

// A constructor over arguments bound for `spec`: the first converted by
// `convert` and the extra rules, in that order, then `load` turns the first
// into the list's source (reading a file, say) and the list is built.
template <const ParameterSpec& spec, class Convert, class Load>
Result<PyObject*> construct_bound(PyObject* type, PyObject* const* slots, Convert convert, Load load) {
    auto given = convert(slots[0]);
    if (!given.ok()) {
        return add_argument_note(given.take_error(), spec.positional[0]);
    }
    Result<ExtraRules> extra = extract_extra_rules(slots[1]);
    if (!extra.ok()) {
        return add_argument_note(extra.take_error(), "extra_rules");
    }
    Result<ListSource> source = load(given.value());
    if (!source.ok()) {
        return source.take_error();
    }
    return make_list(reinterpret_cast<PyTypeObject*>(type), std::move(source.value()), std::move(extra.value()));
}

template <const ParameterSpec& spec, class Convert, class Load>
Result<PyObject*> construct(PyObject* type, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                            Convert convert, Load load) {
    PyObject* slots[MAX_SLOTS];
    if (Status bound = bind_arguments(spec, args, nargs, kwnames, slots); !bound.ok()) {
        return bound.take_error();
    }
    return construct_bound<spec>(type, slots, convert, load);
}

Result<ListSource> bytes_source(PyRef& bytes) { return ListSource{std::move(bytes), {}}; }

// from_bytes(data, *, extra_rules=()).
Result<PyObject*> from_bytes_body(PyObject* type, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return construct<FROM_BYTES_SPEC>(type, args, nargs, kwnames, extract_list_bytes, bytes_source);
}

// The pickle's _unpickle(data, extra_rules, checksum): a list whose bytes
// no longer have the checksum they were pickled with was changed on the
// way, and is refused rather than built into other answers.
Result<PyObject*> unpickle_body(PyObject* type, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    PyObject* slots[MAX_SLOTS];
    if (Status bound = bind_arguments(UNPICKLE_SPEC, args, nargs, kwnames, slots); !bound.ok()) {
        return bound.take_error();
    }
    Result<std::string_view> expected = extract_str(slots[2]);
    if (!expected.ok()) {
        return add_argument_note(expected.take_error(), "checksum");
    }
    Result<PyObject*> made = construct_bound<UNPICKLE_SPEC>(type, slots, extract_list_bytes, bytes_source);
    if (!made.ok()) {
        return made;
    }
    PyRef list(made.value());
    if (as_list(list.get())->list->built.checksum != expected.value()) {
        return PyError::described(PyExc_ValueError,
                                  "the pickled list does not match its checksum: its bytes were changed");
    }
    return list.release();
}

Result<PyObject*> from_file_body(PyObject* type, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return construct<FROM_FILE_SPEC>(type, args, nargs, kwnames, extract_path, [](FilePath& path) -> Result<ListSource> {
        FileBytes file = read_file_detached(path.encoded, builder::MAX_LIST_FILE_BYTES);
        if (file.error == EFBIG) {
            const std::string limit = std::to_string(builder::MAX_LIST_FILE_BYTES);
            PyErr_Format(PyExc_ValueError, "the list file %R holds more than %s bytes, more than any list",
                         path.shown.get(), limit.c_str());
            return take_pending_exception();
        }
        if (file.error != 0) {
            errno = file.error;
            PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, path.shown.get());
            return take_pending_exception();
        }
        return ListSource{PyRef(), std::move(file.bytes)};
    });
}

// ---- the object's own methods -------------------------------------------

// (SuffixList._unpickle, (source bytes, extra rules, checksum)): the list is
// built again wherever it is unpickled, and gets the same checksum and
// answers or is refused.
PyObject* list_reduce(PyObject* self, PyObject* /*unused*/) {
    const PyRef unpickle(PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(self)), "_unpickle"));
    if (!unpickle) {
        return nullptr;
    }
    const ListSource& source = as_list(self)->list->source;
    PyRef bytes = source.object ? PyRef::borrow(source.object.get())
                                : PyRef(PyBytes_FromStringAndSize(source.owned.data(),
                                                                  static_cast<Py_ssize_t>(source.owned.size())));
    if (!bytes) {
        return nullptr;
    }
    const SuffixListObject* list = as_list(self);
    return Py_BuildValue("O(OOO)", unpickle.get(), bytes.get(), list->extra_rules, list->checksum);
}

// The object with its table, and a file's bytes; a caller's bytes object is
// an object of its own.
PyObject* list_sizeof(PyObject* self, PyObject* /*unused*/) {
    const std::size_t size = static_cast<std::size_t>(Py_TYPE(self)->tp_basicsize) + as_list(self)->list->held_bytes();
    return PyLong_FromSize_t(size);
}

// Under the guard: the std::string it builds may throw std::bad_alloc,
// which must become MemoryError rather than cross into the interpreter.
PyObject* list_repr(PyObject* self) {
    return guarded([self]() -> Result<PyObject*> {
        const SuffixListObject* list = as_list(self);
        const std::string_view checksum = list->list->built.checksum;
        const std::string shown = std::string(checksum.substr(0, 16)) + "...";
        PyObject* text = PyUnicode_FromFormat("<lookup_psl.SuffixList checksum=%s version=%R commit=%R "
                                              "icann_rules=%zd private_rules=%zd extra_rules=%zd>",
                                              shown.c_str(), list->version, list->commit, list->icann_rules,
                                              list->private_rules, PyTuple_GET_SIZE(list->extra_rules));
        if (text == nullptr) {
            return take_pending_exception();
        }
        return text;
    });
}

void list_dealloc(PyObject* self) {
    SuffixListObject* list = as_list(self);
    PyTypeObject* type = Py_TYPE(self);
    delete list->list;  // with it, the source bytes it holds
    Py_XDECREF(list->extra_rules);
    Py_XDECREF(list->checksum);
    Py_XDECREF(list->version);
    Py_XDECREF(list->commit);
    type->tp_free(self);
    Py_DECREF(type);
}

// ---- the class ----------------------------------------------------------

constexpr int FAST_WITH_KEYWORDS = METH_FASTCALL | METH_KEYWORDS;

std::array<PyMethodDef, 3> constructors = {{
    {"from_file", method_entry<from_file_body>(), METH_CLASS | FAST_WITH_KEYWORDS,
     "from_file($type, path, *, extra_rules=())\n--\n\n"
     "Build a list from the list file at *path* (str, bytes or path-like),\n"
     "with *extra_rules* (list lines) added to its private section."},
    {"from_bytes", method_entry<from_bytes_body>(), METH_CLASS | FAST_WITH_KEYWORDS,
     "from_bytes($type, data, *, extra_rules=())\n--\n\n"
     "Build a list from the bytes of a list file, with *extra_rules* (list\n"
     "lines) added to its private section."},
    {"_unpickle", method_entry<unpickle_body>(), METH_CLASS | FAST_WITH_KEYWORDS,
     "_unpickle($type, data, extra_rules, checksum, /)\n--\n\nBuild a list again from what it was pickled as."},
}};

std::array<PyMethodDef, 2> object_methods = {{
    {"__reduce__", list_reduce, METH_NOARGS, "Pickle by the list's source bytes and extra rules."},
    {"__sizeof__", list_sizeof, METH_NOARGS, "Size in memory of the object and its table, in bytes."},
}};

auto methods = join_records(
    constructors,
    query_records<Form::call, Owner::suffix_list>([]<Query query>() { return method_entry<query_method<query>>(); }),
    query_records<Form::batch, Owner::suffix_list>([]<Query query>() { return method_entry<batch_method<query>>(); }),
    query_records<Form::arrow, Owner::suffix_list>([]<Query query>() { return method_entry<arrow_method<query>>(); }),
    object_methods, END_OF_RECORDS);
constexpr char CHECKSUM_DOC[] = "SHA-256 (64 lowercase hex digits) of the list's bytes, as LIST_CHECKSUM is of the list compiled in.";
constexpr char VERSION_DOC[] = "The text of the list's \"// VERSION:\" header line, or None.";
constexpr char COMMIT_DOC[] = "The text of the list's \"// COMMIT:\" header line, or None.";
constexpr char EXTRA_RULES_DOC[] = "The rules added to the private section, as given (a tuple of exact str).";
constexpr char ICANN_RULES_DOC[] = "Rule lines of the list's ICANN section.";
constexpr char PRIVATE_RULES_DOC[] = "Rule lines of the private section, extra rules included.";

PyMemberDef members[] = {
    {"checksum", Py_T_OBJECT_EX, offsetof(SuffixListObject, checksum), Py_READONLY, CHECKSUM_DOC},
    {"version", Py_T_OBJECT_EX, offsetof(SuffixListObject, version), Py_READONLY, VERSION_DOC},
    {"commit", Py_T_OBJECT_EX, offsetof(SuffixListObject, commit), Py_READONLY, COMMIT_DOC},
    {"extra_rules", Py_T_OBJECT_EX, offsetof(SuffixListObject, extra_rules), Py_READONLY, EXTRA_RULES_DOC},
    {"icann_rules", Py_T_PYSSIZET, offsetof(SuffixListObject, icann_rules), Py_READONLY, ICANN_RULES_DOC},
    {"private_rules", Py_T_PYSSIZET, offsetof(SuffixListObject, private_rules), Py_READONLY, PRIVATE_RULES_DOC},
    {nullptr, 0, 0, 0, nullptr},
};

constexpr const char LIST_DOC[] =
    "A Public Suffix List built at run time, immutable and safe to share\n"
    "between threads. Make one with SuffixList.from_file() or\n"
    "SuffixList.from_bytes(); its methods answer exactly like the functions\n"
    "of the same names over the list compiled in.";

PyType_Slot slots[] = {
    {Py_tp_doc, const_cast<char*>(LIST_DOC)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&list_dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(&list_repr)},
    {Py_tp_methods, methods.data()},
    {Py_tp_members, members},
    {0, nullptr},
};

PyType_Spec spec = {
    "lookup_psl.SuffixList",
    sizeof(SuffixListObject),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_DISALLOW_INSTANTIATION,
    slots,
};

}  // namespace

PyObject* make_suffix_list_type(PyObject* module) { return PyType_FromModuleAndSpec(module, &spec, nullptr); }

}  // namespace lookup
