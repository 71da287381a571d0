#include "queries.h"

#include <cstdint>
#include <optional>
#include <string_view>

#include "bind_arguments.h"
#include "convert.h"
#include "lookup.h"
#include "panic.h"

namespace lookup {
namespace {

constexpr std::string_view DOMAIN_ONLY[] = {"domain"};
constexpr std::string_view DOMAIN_AND_DEPTH[] = {"domain", "depth"};
constexpr KeywordParam TEXT_FLAGS[] = {{"accept_unknown", false}, {"icann_only", false}, {"keep_case", false}};
constexpr KeywordParam TRUTH_FLAGS[] = {{"accept_unknown", false}, {"icann_only", false}};

constexpr ParameterSpec PUBLICSUFFIX_SPEC{"publicsuffix", {}, DOMAIN_ONLY, 0, 1, TEXT_FLAGS};
constexpr ParameterSpec PRIVATESUFFIX_SPEC{"privatesuffix", {}, DOMAIN_ONLY, 0, 1, TEXT_FLAGS};
constexpr ParameterSpec IS_PUBLIC_SPEC{"is_public", {}, DOMAIN_ONLY, 0, 1, TRUTH_FLAGS};
constexpr ParameterSpec IS_PRIVATE_SPEC{"is_private", {}, DOMAIN_ONLY, 0, 1, TRUTH_FLAGS};
constexpr ParameterSpec PRIVATEPARTS_SPEC{"privateparts", {}, DOMAIN_ONLY, 0, 1, TEXT_FLAGS};
constexpr ParameterSpec SUBDOMAIN_SPEC{"subdomain", {}, DOMAIN_AND_DEPTH, 0, 2, TEXT_FLAGS};

struct QueryArgs {
    std::string_view domain;
    std::uint64_t depth = 0;
    QueryFlags flags;
};

// Binds, then converts in parameter order: domain, depth (where the function
// has it), accept_unknown, icann_only, keep_case (where it has it). The first
// failure ends the call. One instance per function, so that the loops over
// its parameters unroll.
template <const ParameterSpec& spec>
Result<QueryArgs> convert_arguments(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    PyObject* slots[MAX_SLOTS];
    if (Status bound = bind_arguments(spec, args, nargs, kwnames, slots); !bound.ok()) {
        return bound.take_error();
    }
    QueryArgs converted;
    Result<std::string_view> domain = extract_str(slots[0]);
    if (!domain.ok()) {
        return add_argument_note(domain.take_error(), "domain");
    }
    converted.domain = domain.value();

    const std::size_t flags_at = spec.positional.size();
    if (flags_at == 2) {
        Result<std::uint64_t> depth = extract_u64(slots[1]);
        if (!depth.ok()) {
            return add_argument_note(depth.take_error(), "depth");
        }
        converted.depth = depth.value();
    }
    bool* const targets[] = {&converted.flags.accept_unknown, &converted.flags.icann_only, &converted.flags.keep_case};
    for (std::size_t i = 0; i < spec.keyword_only.size(); ++i) {
        Result<bool> flag = extract_bool(slots[flags_at + i], *targets[i]);
        if (!flag.ok()) {
            return add_argument_note(flag.take_error(), spec.keyword_only[i].name);
        }
        *targets[i] = flag.value();
    }
    return converted;
}

// The str is made from the cut while the lowered text it may point into is
// still alive, which is the one copy that the answer needs.
PyObject* text_or_none(std::optional<std::string_view> cut) {
    return cut ? text_result(*cut) : none_result();
}

// What a function makes of its looked-up domain (an invalid domain answers
// None or False).
using Answer = PyObject* (*)(const QueryArgs&, const Lookup&);

// Every query: arguments bound and converted for `spec`, then the domain
// looked up, which `answer` turns into the result.
template <const ParameterSpec& spec, Answer answer>
Result<PyObject*> run_query(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    Result<QueryArgs> bound = convert_arguments<spec>(args, nargs, kwnames);
    if (!bound.ok()) {
        return bound.take_error();
    }
    const QueryArgs& a = bound.value();
    return answer(a, look_up(a.domain, a.flags));
}

PyObject* public_suffix(const QueryArgs&, const Lookup& found) { return text_or_none(found.public_suffix()); }
PyObject* private_suffix(const QueryArgs&, const Lookup& found) { return text_or_none(found.private_suffix()); }
PyObject* public_truth(const QueryArgs&, const Lookup& found) { return bool_result(found.is_public()); }
PyObject* private_truth(const QueryArgs&, const Lookup& found) { return bool_result(found.is_private()); }
PyObject* subdomain_at_depth(const QueryArgs& a, const Lookup& found) { return text_or_none(found.subdomain(a.depth)); }

// The subdomain labels one item each, then the private suffix, in a tuple
// allocated once at its final size.
PyObject* private_parts(const QueryArgs&, const Lookup& found) {
    const std::optional<PrivateParts> parts = found.private_parts();
    if (!parts) {
        return none_result();
    }
    PyRef tuple(PyTuple_New(static_cast<Py_ssize_t>(parts->labels_in_front + 1)));
    if (!tuple) {
        fault_from_null();
    }
    // One label per item from the left, each made straight from its view;
    // what remains after them is the private suffix.
    std::string_view rest = parts->text;
    for (std::size_t i = 0; i < parts->labels_in_front; ++i) {
        PyTuple_SET_ITEM(tuple.get(), static_cast<Py_ssize_t>(i), text_result(take_label(rest)));
    }
    PyTuple_SET_ITEM(tuple.get(), static_cast<Py_ssize_t>(parts->labels_in_front), text_result(rest));
    return tuple.release();
}

// Each function's parameters and answer, in the order of Query.
struct QueryDefinition {
    const ParameterSpec& spec;
    Answer answer;
};
constexpr QueryDefinition QUERIES[] = {
    {PUBLICSUFFIX_SPEC, public_suffix}, {PRIVATESUFFIX_SPEC, private_suffix}, {IS_PUBLIC_SPEC, public_truth},
    {IS_PRIVATE_SPEC, private_truth},   {PRIVATEPARTS_SPEC, private_parts},   {SUBDOMAIN_SPEC, subdomain_at_depth},
};

}  // namespace

template <Query query>
Result<PyObject*> query_body(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    constexpr const QueryDefinition& definition = QUERIES[static_cast<std::size_t>(query)];
    return run_query<definition.spec, definition.answer>(args, nargs, kwnames);
}

template Result<PyObject*> query_body<Query::publicsuffix>(PyObject* const*, Py_ssize_t, PyObject*);
template Result<PyObject*> query_body<Query::privatesuffix>(PyObject* const*, Py_ssize_t, PyObject*);
template Result<PyObject*> query_body<Query::is_public>(PyObject* const*, Py_ssize_t, PyObject*);
template Result<PyObject*> query_body<Query::is_private>(PyObject* const*, Py_ssize_t, PyObject*);
template Result<PyObject*> query_body<Query::privateparts>(PyObject* const*, Py_ssize_t, PyObject*);
template Result<PyObject*> query_body<Query::subdomain>(PyObject* const*, Py_ssize_t, PyObject*);

}  // namespace lookup
