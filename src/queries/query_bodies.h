// The six queries as call bodies over any table. One instance per query and
// front end, so that the loops over a query's parameters unroll and the
// answer is chosen at compile time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <span>
#include <string_view>

#include "bind_arguments.h"
#include "convert.h"
#include "errors.h"
#include "lookup.h"
#include "panic.h"

namespace lookup {

enum class Query { publicsuffix, privatesuffix, is_public, is_private, privateparts, subdomain };

// A query's parameters: per call (`domain`), or in its batch form
// (`domains`, and `threads` before the flags). Indexed by [batch].
inline constexpr std::string_view DOMAIN_ONLY[2][1] = {{"domain"}, {"domains"}};
inline constexpr std::string_view DOMAIN_AND_DEPTH[2][2] = {{"domain", "depth"}, {"domains", "depth"}};
inline constexpr KeywordParam TEXT_FLAGS[] = {
    {"threads", false}, {"accept_unknown", false}, {"icann_only", false}, {"keep_case", false}};
inline constexpr KeywordParam TRUTH_FLAGS[] = {{"threads", false}, {"accept_unknown", false}, {"icann_only", false}};
inline constexpr std::string_view QUERY_NAMES[2][6] = {
    {"publicsuffix", "privatesuffix", "is_public", "is_private", "privateparts", "subdomain"},
    {"publicsuffix_batch", "privatesuffix_batch", "is_public_batch", "is_private_batch", "privateparts_batch",
     "subdomain_batch"}};

// The parameters of `query` (its batch form if `batch`) as a front end
// offers it: a module function (Owner::CLASS_NAME empty) or a method of the
// class of that name.
template <Query query, class Owner, bool batch = false>
inline constexpr ParameterSpec QUERY_SPEC{
    QUERY_NAMES[batch][static_cast<int>(query)],
    Owner::CLASS_NAME,
    query == Query::subdomain ? std::span<const std::string_view>(DOMAIN_AND_DEPTH[batch])
                              : std::span<const std::string_view>(DOMAIN_ONLY[batch]),
    0,
    query == Query::subdomain ? 2u : 1u,
    (query == Query::is_public || query == Query::is_private ? std::span<const KeywordParam>(TRUTH_FLAGS)
                                                             : std::span<const KeywordParam>(TEXT_FLAGS))
        .subspan(batch ? 0 : 1)};

// The owner of module functions over the list compiled in: no class. An
// answer object that cannot be made is an internal fault for the module's
// functions, exhausted memory for the package's own forms (Owner::MEMORY_ERROR).
struct ModuleFunctions {
    static constexpr std::string_view CLASS_NAME = {};
    static constexpr bool MEMORY_ERROR = false;
};

// A new str of `text`; exhausted memory when it cannot be made.
inline PyObject* text_or_memory_error(std::string_view text) {
    PyObject* made = new_text(text);
    if (made == nullptr) {
        memory_error_from_null();
    }
    return made;
}

struct QueryArgs {
    std::string_view domain;
    std::uint64_t depth = 0;
    QueryFlags flags;
};

// Converts the flags that `names` lists, from their slots, in the order
// accept_unknown, icann_only, keep_case (where the query has it). Inlined,
// with the count fixed, so that the loop unrolls within each call body: the
// per-call path pays nothing for sharing it with the batch forms.
template <std::size_t count>
[[gnu::always_inline]] inline Status convert_flags(std::span<const KeywordParam, count> names, PyObject* const* slots, QueryFlags& flags) {
    bool* const targets[] = {&flags.accept_unknown, &flags.icann_only, &flags.keep_case};
    static_assert(count <= std::size(targets));
    for (std::size_t i = 0; i < count; ++i) {
        Result<bool> flag = extract_bool(slots[i], *targets[i]);
        if (!flag.ok()) {
            return add_argument_note(flag.take_error(), names[i].name);
        }
        *targets[i] = flag.value();
    }
    return Status();
}

// Converts what follows the domain (or the domains): depth where the query
// has it, then for a batch form `threads` (its first keyword, stored through
// `threads`), then the flags. Inlined like convert_flags.
template <const ParameterSpec& spec, bool batch>
[[gnu::always_inline]] inline Status convert_rest(PyObject* const* slots, std::uint64_t& depth, std::uint64_t* threads,
                                                  QueryFlags& flags) {
    constexpr std::size_t at = spec.positional.size();
    if constexpr (at == 2) {
        Result<std::uint64_t> given = extract_u64(slots[1]);
        if (!given.ok()) {
            return add_argument_note(given.take_error(), "depth");
        }
        depth = given.value();
    }
    if constexpr (batch) {
        if (slots[at] != nullptr) {
            Result<std::uint64_t> count = extract_count(slots[at], "threads");
            if (!count.ok()) {
                return add_argument_note(count.take_error(), "threads");
            }
            *threads = count.value();
        }
    }
    return convert_flags(spec.keyword_only.template subspan<batch, spec.keyword_only.size() - batch>(),
                         slots + at + batch, flags);
}

// Binds, then converts in parameter order: domain, depth (where the query
// has it), accept_unknown, icann_only, keep_case (where it has it). The first
// failure ends the call.
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
    if (Status rest = convert_rest<spec, false>(slots, converted.depth, nullptr, converted.flags); !rest.ok()) {
        return rest.take_error();
    }
    return converted;
}

// What a query answers for one domain, before any Python object is made:
// None, False, True, a text, or the private parts (the labels in front of
// the private suffix, then the private suffix, all in one text).
struct Answer {
    enum class Kind : std::uint8_t { none, no, yes, text, parts };
    Kind kind = Kind::none;
    std::size_t labels_in_front = 0;  // parts
    std::string_view text;            // text and parts
};

inline Answer text_answer(std::optional<std::string_view> cut) noexcept {
    return cut ? Answer{Answer::Kind::text, 0, *cut} : Answer{};
}

inline Answer truth_answer(bool value) noexcept { return Answer{value ? Answer::Kind::yes : Answer::Kind::no, 0, {}}; }

// The answer of `query` for a domain looked up; its text is a view of the
// lookup's result source.
template <Query query>
[[gnu::always_inline]] inline Answer answer_of(const Lookup& found, std::uint64_t depth) noexcept {
    if constexpr (query == Query::publicsuffix) {
        return text_answer(found.public_suffix());
    } else if constexpr (query == Query::privatesuffix) {
        return text_answer(found.private_suffix());
    } else if constexpr (query == Query::is_public) {
        return truth_answer(found.is_public());
    } else if constexpr (query == Query::is_private) {
        return truth_answer(found.is_private());
    } else if constexpr (query == Query::privateparts) {
        const std::optional<PrivateParts> parts = found.private_parts();
        return parts ? Answer{Answer::Kind::parts, parts->labels_in_front, parts->text} : Answer{};
    } else {
        return text_answer(found.subdomain(depth));
    }
}

// The subdomain labels one item each, then the private suffix, in a tuple
// allocated once at its final size; each item is made by `make_text`.
template <class MakeText, class OnNull>
[[gnu::always_inline]] inline PyObject* private_parts_tuple(const Answer& parts, MakeText& make_text,
                                                             OnNull on_null) {
    PyRef tuple(PyTuple_New(static_cast<Py_ssize_t>(parts.labels_in_front + 1)));
    if (!tuple) {
        on_null();
    }
    // One label per item from the left, each made straight from its view;
    // what remains after them is the private suffix.
    std::string_view rest = parts.text;
    for (std::size_t i = 0; i < parts.labels_in_front; ++i) {
        PyTuple_SET_ITEM(tuple.get(), static_cast<Py_ssize_t>(i), make_text(take_label(rest)));
    }
    PyTuple_SET_ITEM(tuple.get(), static_cast<Py_ssize_t>(parts.labels_in_front), make_text(rest));
    return tuple.release();
}

// The answer as a new reference, its texts made by `make_text` (a new
// reference from a view). A tuple that cannot be made goes to `on_null`
// ([[noreturn]]), as a text that cannot be made goes through make_text's own.
template <class MakeText, class OnNull>
[[gnu::always_inline]] inline PyObject* answer_object(const Answer& answer, MakeText& make_text, OnNull on_null) {
    switch (answer.kind) {
        case Answer::Kind::text:
            return make_text(answer.text);
        case Answer::Kind::parts:
            return private_parts_tuple(answer, make_text, on_null);
        case Answer::Kind::yes:
        case Answer::Kind::no:
            return bool_result(answer.kind == Answer::Kind::yes);
        case Answer::Kind::none:
            break;
    }
    return none_result();
}

// A whole call: arguments bound and converted for the query as `Owner`
// offers it, the domain looked up in `table`, and the answer (an invalid
// domain answers None or False). The str is made from the cut while the
// lowered text it may point into is still alive, which is the one copy that
// the answer needs.
template <Query query, class Owner>
Result<PyObject*> run_query(const SuffixTable& table, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    Result<QueryArgs> bound = convert_arguments<QUERY_SPEC<query, Owner>>(args, nargs, kwnames);
    if (!bound.ok()) {
        return bound.take_error();
    }
    const QueryArgs& a = bound.value();
    const Lookup found = look_up(table, a.domain, a.flags);
    if constexpr (Owner::MEMORY_ERROR) {
        auto make_text = [](std::string_view text) { return text_or_memory_error(text); };
        return answer_object(answer_of<query>(found, a.depth), make_text, memory_error_from_null);
    } else {
        auto make_text = [](std::string_view text) { return text_result(text); };
        return answer_object(answer_of<query>(found, a.depth), make_text, fault_from_null);
    }
}

}  // namespace lookup
