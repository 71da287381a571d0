// The six queries as call bodies over any table. One instance per query and
// front end, so that the loops over a query's parameters unroll and the
// answer is chosen at compile time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "bind_arguments.h"
#include "convert.h"
#include "errors.h"
#include "lookup.h"
#include "panic.h"
#include "query_table.h"

namespace lookup {

// A new str of `text`; exhausted memory when it cannot be made.
inline PyObject* text_or_memory_error(std::string_view text, bool known_ascii = false) {
    PyObject* made = new_text(text, known_ascii);
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

// Converts the flags that `query` takes, from their slots, in parameter
// order. Inlined, with the count fixed, so that the loop unrolls within each
// call body: the per-call path pays nothing for sharing it with the batch
// forms.
template <Query query>
[[gnu::always_inline]] inline Status convert_flags(PyObject* const* slots, QueryFlags& flags) {
    for (std::size_t i = 0; i < flag_count(query); ++i) {
        bool& target = flags.*FLAG_PARAMS[i].member;
        Result<bool> flag = extract_bool(slots[i], target);
        if (!flag.ok()) {
            return add_argument_note(flag.take_error(), FLAG_PARAMS[i].name);
        }
        target = flag.value();
    }
    return Status();
}

// Converts what follows the domain (or the domains) in `form` of `query`:
// depth where the query has it, then for the batch and Arrow forms `threads`
// (stored through `threads`), then the flags. Inlined like convert_flags.
template <Query query, Form form>
[[gnu::always_inline]] inline Status convert_rest(PyObject* const* slots, std::uint64_t& depth, std::uint64_t* threads,
                                                  QueryFlags& flags) {
    constexpr std::size_t at = positional_count(query);
    if constexpr (query_info(query).depth) {
        Result<std::uint64_t> given = extract_u64(slots[1]);
        if (!given.ok()) {
            return add_argument_note(given.take_error(), "depth");
        }
        depth = given.value();
    }
    constexpr bool with_threads = form != Form::call;
    if constexpr (with_threads) {
        if (slots[at] != nullptr) {
            Result<std::uint64_t> count = extract_count(slots[at], "threads");
            if (!count.ok()) {
                return add_argument_note(count.take_error(), "threads");
            }
            *threads = count.value();
        }
    }
    return convert_flags<query>(slots + at + with_threads, flags);
}

// Binds, then converts in parameter order: domain, depth (where the query
// has it), accept_unknown, icann_only, keep_case (where it has it). The first
// failure ends the call.
template <Query query, Owner owner>
Result<QueryArgs> convert_arguments(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static constexpr const ParameterSpec& spec = QUERY_SPEC<query, Form::call, owner>;
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
    if (Status rest = convert_rest<query, Form::call>(slots, converted.depth, nullptr, converted.flags); !rest.ok()) {
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

// A whole call: arguments bound and converted for the query as `owner`
// offers it, the domain looked up in `table`, and the answer (an invalid
// domain answers None or False). The str is made from the cut while the
// lowered text it may point into is still alive, which is the one copy that
// the answer needs.
template <Query query, Owner owner>
Result<PyObject*> run_query(const SuffixTable& table, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    Result<QueryArgs> bound = convert_arguments<query, owner>(args, nargs, kwnames);
    if (!bound.ok()) {
        return bound.take_error();
    }
    const QueryArgs& a = bound.value();
    const Lookup found = look_up(table, a.domain, a.flags);
    // A str that cannot be made is an internal fault for the module's
    // functions, exhausted memory for a SuffixList's methods.
    if constexpr (owner == Owner::suffix_list) {
        auto make_text = [](std::string_view text) { return text_or_memory_error(text); };
        return answer_object(answer_of<query>(found, a.depth), make_text, memory_error_from_null);
    } else {
        auto make_text = [](std::string_view text) { return text_result(text); };
        return answer_object(answer_of<query>(found, a.depth), make_text, fault_from_null);
    }
}

}  // namespace lookup
