// One description of each of the six queries: its name, parameters, their
// defaults and its docstring. Every form of a query (one domain per call, a
// batch, an Arrow column; a module's function or a SuffixList method) takes
// from it its argument binding, its docstring with signature line and its
// method record, all made at compile time.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>
#include <string_view>
#include <utility>

#include "bind_arguments.h"
#include "lookup.h"
#include "python_compat.h"

namespace lookup {

enum class Query { publicsuffix, privatesuffix, is_public, is_private, privateparts, subdomain };

struct QueryInfo {
    std::string_view name;
    bool depth;             // a second positional parameter, depth
    bool keep_case;         // the answer is text: keep_case applies
    std::string_view body;  // the per-call docstring after its signature line
};

// In the order of Query.
inline constexpr QueryInfo QUERIES[] = {
    {"publicsuffix", false, true, "Return the longest public suffix of *domain*, or None if it has none."},
    {"privatesuffix", false, true,
     "Return the private suffix of *domain*: the public suffix plus one label.\n"
     "None if *domain* is entirely public, or invalid."},
    {"is_public", false, false, "Return whether *domain* is entirely a public suffix."},
    {"is_private", false, false, "Return whether *domain* is a private suffix or a subdomain of one."},
    {"privateparts", false, true,
     "Return a tuple of the subdomain labels of *domain* followed by its private\n"
     "suffix, or None if it has no private suffix."},
    {"subdomain", true, true,
     "Return the suffix of *domain* reaching *depth* labels beyond its private\n"
     "suffix, or None if *domain* has too few labels. Depth 0 is the private\n"
     "suffix itself."},
};
inline constexpr std::size_t QUERY_COUNT = std::size(QUERIES);

constexpr const QueryInfo& query_info(Query query) { return QUERIES[static_cast<std::size_t>(query)]; }

// The keyword-only flags in parameter order, each defaulting to its value in
// QueryFlags{}. A query takes the first two, and keep_case where it applies.
struct FlagParam {
    std::string_view name;
    bool QueryFlags::*member;
};
inline constexpr FlagParam FLAG_PARAMS[] = {{"accept_unknown", &QueryFlags::accept_unknown},
                                            {"icann_only", &QueryFlags::icann_only},
                                            {"keep_case", &QueryFlags::keep_case}};

constexpr std::size_t flag_count(Query query) { return query_info(query).keep_case ? 3 : 2; }
constexpr std::size_t positional_count(Query query) { return query_info(query).depth ? 2 : 1; }

// The forms of a query. The batch and Arrow forms take `threads` before the
// flags, and their docstrings name the per-call form wherever "{}" stands.
enum class Form { call, batch, arrow };

inline constexpr std::uint64_t DEFAULT_THREADS = 1;

struct FormInfo {
    std::string_view suffix;          // of the query's name
    std::string_view positional[2];  // the domain(s), then depth where the query has it
    std::string_view body;           // empty: the query's own
};

// In the order of Form.
inline constexpr FormInfo FORMS[] = {
    {"", {"domain", "depth"}, {}},
    {"_batch",
     {"domains", "depth"},
     "Return the list of {}() of each domain in *domains*, an iterable of\n"
     "str read once at the start. The lookups run without the GIL on up to\n"
     "*threads* threads (one per 1024 domains at most, and 64 at most). Errors\n"
     "are those of {}(), with a note naming the failing item's index."},
    {"_arrow",
     {"values", "depth"},
     "Return {}() of each name in *values*, an Arrow array or stream of\n"
     "strings (any object with __arrow_c_array__ or __arrow_c_stream__), as an\n"
     "object exporting an array or a stream of the answers the same way; a null\n"
     "and a name without an answer are null. No Python object is made per name;\n"
     "the lookups run without the GIL on up to *threads* threads. A name that is\n"
     "not UTF-8 is a ValueError naming its index."},
};

constexpr const FormInfo& form_info(Form form) { return FORMS[static_cast<std::size_t>(form)]; }

// Who offers a query: a module, as a function, or the package's SuffixList,
// as a method (whose docstring names $self first, and whose binding errors
// name the class).
enum class Owner { module, suffix_list };

constexpr std::string_view class_name(Owner owner) { return owner == Owner::suffix_list ? "SuffixList" : ""; }

// Appends texts to `out`, or only counts them while `out` is null: run once
// to size an array, then once to fill it.
struct TextWriter {
    char* out = nullptr;
    std::size_t size = 0;

    constexpr TextWriter& operator<<(std::string_view text) {
        if (out != nullptr) {
            std::copy(text.begin(), text.end(), out + size);
        }
        size += text.size();
        return *this;
    }
};

constexpr void write_name(TextWriter& w, Query query, Form form) {
    w << query_info(query).name << form_info(form).suffix;
}

// name "(" ["$self, "] parameters ")\n--\n\n" body, which the interpreter
// splits into __text_signature__ and __doc__.
constexpr void write_doc(TextWriter& w, Query query, Form form, Owner owner) {
    const QueryInfo& q = query_info(query);
    const FormInfo& f = form_info(form);
    write_name(w, query, form);
    w << (owner == Owner::suffix_list ? "($self, " : "(") << f.positional[0];
    if (q.depth) {
        w << ", " << f.positional[1];
    }
    w << ", *";
    if (form != Form::call) {
        static_assert(DEFAULT_THREADS < 10);
        const char digit = static_cast<char>('0' + DEFAULT_THREADS);
        w << ", threads=" << std::string_view(&digit, 1);
    }
    for (std::size_t i = 0; i < flag_count(query); ++i) {
        w << ", " << FLAG_PARAMS[i].name << (QueryFlags{}.*FLAG_PARAMS[i].member ? "=True" : "=False");
    }
    w << ")\n--\n\n";
    if (f.body.empty()) {
        w << q.body;
        return;
    }
    std::string_view rest = f.body;
    for (std::size_t at = rest.find("{}"); at != std::string_view::npos; at = rest.find("{}")) {
        w << rest.substr(0, at) << q.name;
        rest.remove_prefix(at + 2);
    }
    w << rest;
}

// The text that `Write{}(writer)` writes, NUL-terminated, in an array of
// exactly its size.
template <class Write>
constexpr auto written_text() {
    constexpr std::size_t size = [] {
        TextWriter count;
        Write{}(count);
        return count.size;
    }();
    std::array<char, size + 1> text{};
    TextWriter fill{text.data()};
    Write{}(fill);
    return text;
}

template <Query query, Form form>
struct NameWriter {
    constexpr void operator()(TextWriter& w) const { write_name(w, query, form); }
};

template <Query query, Form form, Owner owner>
struct DocWriter {
    constexpr void operator()(TextWriter& w) const { write_doc(w, query, form, owner); }
};

template <Query query, Form form>
inline constexpr auto QUERY_NAME = written_text<NameWriter<query, form>>();

template <Query query, Form form, Owner owner>
inline constexpr auto QUERY_DOC = written_text<DocWriter<query, form, owner>>();

// The keyword-only parameters of a form: threads (batch and Arrow), then the
// query's flags.
template <Query query, Form form>
inline constexpr auto KEYWORDS = [] {
    constexpr std::size_t threads = form == Form::call ? 0 : 1;
    std::array<KeywordParam, threads + flag_count(query)> made{};
    if (threads != 0) {
        made[0] = {"threads", false};
    }
    for (std::size_t i = 0; i < flag_count(query); ++i) {
        made[threads + i] = {FLAG_PARAMS[i].name, false};
    }
    return made;
}();

// The parameters that the binder places for a form of `query` as `owner`
// offers it.
template <Query query, Form form, Owner owner>
inline constexpr ParameterSpec QUERY_SPEC{
    std::string_view(QUERY_NAME<query, form>.data(), QUERY_NAME<query, form>.size() - 1),
    class_name(owner),
    std::span<const std::string_view>(form_info(form).positional, positional_count(query)),
    0,
    positional_count(query),
    KEYWORDS<query, form>};

// The method records of `form` of the six queries as `owner` offers them, in
// the order of Query: entry.template operator()<query>() is each one's entry
// point.
template <Form form, Owner owner, class Entry>
std::array<PyMethodDef, QUERY_COUNT> query_records(Entry entry) {
    return [&]<std::size_t... i>(std::index_sequence<i...>) {
        constexpr Query queries[] = {static_cast<Query>(i)...};
        return std::array<PyMethodDef, QUERY_COUNT>{
            PyMethodDef{QUERY_NAME<queries[i], form>.data(), entry.template operator()<queries[i]>(),
                        METH_FASTCALL | METH_KEYWORDS, QUERY_DOC<queries[i], form, owner>.data()}...};
    }(std::make_index_sequence<QUERY_COUNT>());
}

// Arrays of method records joined into one table.
template <std::size_t... sizes>
std::array<PyMethodDef, (sizes + ...)> join_records(const std::array<PyMethodDef, sizes>&... parts) {
    std::array<PyMethodDef, (sizes + ...)> joined{};
    std::size_t at = 0;
    ((std::copy(parts.begin(), parts.end(), joined.begin() + at), at += sizes), ...);
    return joined;
}

// The empty record that ends a table.
inline constexpr std::array<PyMethodDef, 1> END_OF_RECORDS{};

}  // namespace lookup
