// The six queries as call bodies over any table. One instance per query and
// front end, so that the loops over a query's parameters unroll and the
// answer is chosen at compile time.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "bind_arguments.h"
#include "convert.h"
#include "errors.h"
#include "lookup.h"

namespace lookup {

enum class Query { publicsuffix, privatesuffix, is_public, is_private, privateparts, subdomain };

inline constexpr std::string_view DOMAIN_ONLY[] = {"domain"};
inline constexpr std::string_view DOMAIN_AND_DEPTH[] = {"domain", "depth"};
inline constexpr KeywordParam TEXT_FLAGS[] = {{"accept_unknown", false}, {"icann_only", false}, {"keep_case", false}};
inline constexpr KeywordParam TRUTH_FLAGS[] = {{"accept_unknown", false}, {"icann_only", false}};

constexpr std::string_view query_name(Query query) {
    switch (query) {
        case Query::publicsuffix: return "publicsuffix";
        case Query::privatesuffix: return "privatesuffix";
        case Query::is_public: return "is_public";
        case Query::is_private: return "is_private";
        case Query::privateparts: return "privateparts";
        case Query::subdomain: return "subdomain";
    }
    return {};
}

// The parameters of `query` as a front end offers it: a module function
// (Owner::CLASS_NAME empty) or a method of the class of that name.
template <Query query, class Owner>
inline constexpr ParameterSpec QUERY_SPEC{
    query_name(query),
    Owner::CLASS_NAME,
    query == Query::subdomain ? std::span<const std::string_view>(DOMAIN_AND_DEPTH)
                              : std::span<const std::string_view>(DOMAIN_ONLY),
    0,
    query == Query::subdomain ? 2u : 1u,
    query == Query::is_public || query == Query::is_private ? std::span<const KeywordParam>(TRUTH_FLAGS)
                                                            : std::span<const KeywordParam>(TEXT_FLAGS)};

struct QueryArgs {
    std::string_view domain;
    std::uint64_t depth = 0;
    QueryFlags flags;
};

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
inline PyObject* text_or_none(std::optional<std::string_view> cut) {
    return cut ? text_result(*cut) : none_result();
}

// The subdomain labels one item each, then the private suffix, in a tuple
// allocated once at its final size; None without a private suffix.
PyObject* private_parts_result(const Lookup& found);

// A whole call: arguments bound and converted for the query as `Owner`
// offers it, the domain looked up in `table`, and the answer (an invalid
// domain answers None or False).
template <Query query, class Owner>
Result<PyObject*> run_query(const SuffixTable& table, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    Result<QueryArgs> bound = convert_arguments<QUERY_SPEC<query, Owner>>(args, nargs, kwnames);
    if (!bound.ok()) {
        return bound.take_error();
    }
    const QueryArgs& a = bound.value();
    const Lookup found = look_up(table, a.domain, a.flags);
    if constexpr (query == Query::publicsuffix) {
        return text_or_none(found.public_suffix());
    } else if constexpr (query == Query::privatesuffix) {
        return text_or_none(found.private_suffix());
    } else if constexpr (query == Query::is_public) {
        return bool_result(found.is_public());
    } else if constexpr (query == Query::is_private) {
        return bool_result(found.is_private());
    } else if constexpr (query == Query::privateparts) {
        return private_parts_result(found);
    } else {
        return text_or_none(found.subdomain(a.depth));
    }
}

}  // namespace lookup
