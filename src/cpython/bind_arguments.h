// Placing the arguments of a fast call with keywords into the slots of a
// function's parameters, with the interpreter's usual call-shape errors.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "errors.h"

namespace lookup {

struct KeywordParam {
    std::string_view name;
    bool required;
};

// The parameters of one function: positional-or-keyword ones first, then
// keyword-only ones. No variadic parameters.
struct ParameterSpec {
    std::string_view function_name;
    std::string_view class_name;  // empty: a plain function
    std::span<const std::string_view> positional;
    std::size_t positional_only_count;
    std::size_t required_positional_count;
    std::span<const KeywordParam> keyword_only;

    std::size_t slot_count() const noexcept { return positional.size() + keyword_only.size(); }
};

// Most slots any function has.
inline constexpr std::size_t MAX_SLOTS = 8;

// Every call shape: positional values, keywords, and the errors. Out of line
// even in flattened callers, which take the short path below.
[[gnu::noinline]] Status bind_arguments_in_full(const ParameterSpec& spec, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames, PyObject** slots);

// Fills `slots` (spec.slot_count() entries, positional parameters first) with
// borrowed references, null where nothing was given. `args` holds `nargs`
// positional values followed by one value per name in `kwnames` (or none).
// Allocates nothing unless it fails; failures are TypeErrors.
inline Status bind_arguments(const ParameterSpec& spec, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                             PyObject** slots) {
    // The usual call: every positional parameter by position, no keywords.
    const std::size_t positional_count = spec.positional.size();
    if (kwnames == nullptr && static_cast<std::size_t>(nargs) == positional_count) {
        bool keyword_required = false;
        for (std::size_t i = 0; i < positional_count; ++i) {
            slots[i] = args[i];
        }
        for (std::size_t i = 0; i < spec.keyword_only.size(); ++i) {
            slots[positional_count + i] = nullptr;
            keyword_required |= spec.keyword_only[i].required;
        }
        if (!keyword_required) {
            return Status();
        }
    }
    return bind_arguments_in_full(spec, args, nargs, kwnames, slots);
}

}  // namespace lookup
