// The six queries of the C API: arguments checked, the domain looked up
// through the engine's entry point, the answer copied out or cut as a view.
// Nothing thrown leaves these functions.
#include <cstring>
#include <new>
#include <optional>
#include <string_view>

#include "handle.h"
#include "lookup.h"
#include "lookup_psl/lookup_psl.h"
#include "utf8.h"

namespace {

constexpr unsigned KNOWN_FLAGS = LOOKUP_PSL_ICANN_ONLY | LOOKUP_PSL_REJECT_UNKNOWN | LOOKUP_PSL_KEEP_CASE;

lookup::QueryFlags query_flags(unsigned flags) {
    return {(flags & LOOKUP_PSL_REJECT_UNKNOWN) == 0, (flags & LOOKUP_PSL_ICANN_ONLY) != 0,
            (flags & LOOKUP_PSL_KEEP_CASE) != 0};
}

// Checks the arguments, looks the domain up and hands the Lookup to
// `answer`, whose status is returned; any failure is a status instead.
template <class Answer>
int with_lookup(const lookup_psl_list* list, const char* domain, std::size_t length, unsigned flags,
                Answer&& answer) noexcept {
    if (list == nullptr || (domain == nullptr && length != 0) || (flags & ~KNOWN_FLAGS) != 0) {
        return LOOKUP_PSL_E_ARGUMENT;
    }
    const std::string_view text(domain == nullptr ? "" : domain, length);
    if (!lookup::utf8::is_valid(text)) {
        return LOOKUP_PSL_E_UTF8;
    }
    try {
        const lookup::Lookup found = lookup::look_up(list->table, text, query_flags(flags));
        return answer(found);
    } catch (const std::bad_alloc&) {
        return LOOKUP_PSL_E_NO_MEMORY;
    } catch (...) {
        return LOOKUP_PSL_E_INTERNAL;
    }
}

lookup_psl_status copy_out(std::optional<std::string_view> answer, char* out, std::size_t size,
                           std::size_t* needed) noexcept {
    if (!answer) {
        if (needed != nullptr) {
            *needed = 0;
        }
        if (out != nullptr && size > 0) {
            out[0] = '\0';
        }
        return LOOKUP_PSL_NONE;
    }
    if (needed != nullptr) {
        *needed = answer->size();
    }
    if (out == nullptr || size <= answer->size()) {
        return LOOKUP_PSL_E_BUFFER;
    }
    std::memcpy(out, answer->data(), answer->size());
    out[answer->size()] = '\0';
    return LOOKUP_PSL_OK;
}

lookup_psl_status view_out(std::optional<std::string_view> answer, lookup_psl_view* view) noexcept {
    *view = answer ? lookup_psl_view{answer->data(), answer->size()} : lookup_psl_view{nullptr, 0};
    return answer ? LOOKUP_PSL_OK : LOOKUP_PSL_NONE;
}

// A text query: `cut` takes the Lookup (and the depth) to the optional answer.
template <class Cut>
lookup_psl_status text_query(const lookup_psl_list* list, const char* domain, std::size_t length, unsigned flags,
                             char* out, std::size_t size, std::size_t* needed, Cut cut) noexcept {
    return static_cast<lookup_psl_status>(with_lookup(
        list, domain, length, flags, [&](const lookup::Lookup& found) { return copy_out(cut(found), out, size, needed); }));
}

template <class Cut>
lookup_psl_status view_query(const lookup_psl_list* list, const char* domain, std::size_t length, unsigned flags,
                             lookup_psl_view* view, Cut cut) noexcept {
    if (view == nullptr) {
        return LOOKUP_PSL_E_ARGUMENT;
    }
    *view = {nullptr, 0};
    return static_cast<lookup_psl_status>(with_lookup(list, domain, length, flags | LOOKUP_PSL_KEEP_CASE,
                                                      [&](const lookup::Lookup& found) { return view_out(cut(found), view); }));
}

const auto PUBLIC_SUFFIX = [](const lookup::Lookup& found) { return found.public_suffix(); };
const auto PRIVATE_SUFFIX = [](const lookup::Lookup& found) { return found.private_suffix(); };
auto subdomain_at(std::uint64_t depth) {
    return [depth](const lookup::Lookup& found) { return found.subdomain(depth); };
}

}  // namespace

extern "C" {

lookup_psl_status lookup_psl_publicsuffix(const lookup_psl_list* list, const char* domain, size_t length,
                                          unsigned flags, char* out, size_t size, size_t* needed) {
    return text_query(list, domain, length, flags, out, size, needed, PUBLIC_SUFFIX);
}

lookup_psl_status lookup_psl_privatesuffix(const lookup_psl_list* list, const char* domain, size_t length,
                                           unsigned flags, char* out, size_t size, size_t* needed) {
    return text_query(list, domain, length, flags, out, size, needed, PRIVATE_SUFFIX);
}

lookup_psl_status lookup_psl_subdomain(const lookup_psl_list* list, const char* domain, size_t length,
                                       uint64_t depth, unsigned flags, char* out, size_t size, size_t* needed) {
    return text_query(list, domain, length, flags, out, size, needed, subdomain_at(depth));
}

lookup_psl_status lookup_psl_privateparts(const lookup_psl_list* list, const char* domain, size_t length,
                                          unsigned flags, char* out, size_t size, size_t* needed,
                                          size_t* labels_in_front) {
    if (labels_in_front == nullptr) {
        return LOOKUP_PSL_E_ARGUMENT;
    }
    *labels_in_front = 0;
    return text_query(list, domain, length, flags, out, size, needed, [&](const lookup::Lookup& found) {
        const auto parts = found.private_parts();
        *labels_in_front = parts ? parts->labels_in_front : 0;
        return parts ? std::optional<std::string_view>(parts->text) : std::nullopt;
    });
}

int lookup_psl_is_public(const lookup_psl_list* list, const char* domain, size_t length, unsigned flags) {
    return with_lookup(list, domain, length, flags, [](const lookup::Lookup& found) { return int(found.is_public()); });
}

int lookup_psl_is_private(const lookup_psl_list* list, const char* domain, size_t length, unsigned flags) {
    return with_lookup(list, domain, length, flags, [](const lookup::Lookup& found) { return int(found.is_private()); });
}

lookup_psl_status lookup_psl_publicsuffix_view(const lookup_psl_list* list, const char* domain, size_t length,
                                               unsigned flags, lookup_psl_view* answer) {
    return view_query(list, domain, length, flags, answer, PUBLIC_SUFFIX);
}

lookup_psl_status lookup_psl_privatesuffix_view(const lookup_psl_list* list, const char* domain, size_t length,
                                                unsigned flags, lookup_psl_view* answer) {
    return view_query(list, domain, length, flags, answer, PRIVATE_SUFFIX);
}

lookup_psl_status lookup_psl_subdomain_view(const lookup_psl_list* list, const char* domain, size_t length,
                                            uint64_t depth, unsigned flags, lookup_psl_view* answer) {
    return view_query(list, domain, length, flags, answer, subdomain_at(depth));
}

}  // extern "C"
