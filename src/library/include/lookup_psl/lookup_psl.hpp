// lookup_psl for C++17 and later: the C API with std::string_view in,
// std::optional answers out, a move-only list and exceptions for failures.
// Header-only over lookup_psl.h, so no C++ type crosses the library's ABI.
#ifndef LOOKUP_PSL_HPP
#define LOOKUP_PSL_HPP

#include <cstddef>
#include <cstdint>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "lookup_psl.h"

namespace lookup_psl {

// Flags, or-ed together.
enum Flags : unsigned {
    none = 0,
    icann_only = LOOKUP_PSL_ICANN_ONLY,
    reject_unknown = LOOKUP_PSL_REJECT_UNKNOWN,
    keep_case = LOOKUP_PSL_KEEP_CASE,
};
inline constexpr Flags operator|(Flags a, Flags b) { return Flags(unsigned(a) | unsigned(b)); }

// A failed call: the status, and for a list that cannot be built the line
// or extra rule it names (0 when none) and the message.
class Error : public std::runtime_error {
public:
    Error(lookup_psl_status status, const std::string& message, std::size_t line = 0, std::size_t extra_rule = 0)
        : std::runtime_error(message), status_(status), line_(line), extra_rule_(extra_rule) {}
    lookup_psl_status status() const noexcept { return status_; }
    std::size_t line() const noexcept { return line_; }
    std::size_t extra_rule() const noexcept { return extra_rule_; }

private:
    lookup_psl_status status_;
    std::size_t line_;
    std::size_t extra_rule_;
};

namespace detail {
[[noreturn]] inline void raise(lookup_psl_status status) {
    if (status == LOOKUP_PSL_E_NO_MEMORY) {
        throw std::bad_alloc();
    }
    throw Error(status, lookup_psl_status_text(status));
}
}  // namespace detail

// Parts of a domain around its private suffix.
struct PrivateParts {
    std::vector<std::string> labels_in_front;
    std::string private_suffix;
};

// A list: the compiled-in one (List::builtin()) or one built at run time.
// Move-only; any number of threads may query one list at once.
class List {
public:
    static List builtin() noexcept { return List(lookup_psl_builtin()); }

    // Throws Error (status LOOKUP_PSL_E_LIST with the line, or E_FILE) or
    // std::bad_alloc.
    static List from_file(const std::string& path, const std::vector<std::string>& extra_rules = {}) {
        return build(extra_rules, [&](const char* const* rules, std::size_t count, lookup_psl_list** list,
                                      lookup_psl_error* error) {
            return lookup_psl_list_from_file(path.c_str(), rules, count, list, error);
        });
    }
    static List from_bytes(std::string_view bytes, const std::vector<std::string>& extra_rules = {}) {
        return build(extra_rules, [&](const char* const* rules, std::size_t count, lookup_psl_list** list,
                                      lookup_psl_error* error) {
            return lookup_psl_list_from_bytes(bytes.data(), bytes.size(), rules, count, list, error);
        });
    }

    List(List&& other) noexcept : list_(std::exchange(other.list_, nullptr)) {}
    List& operator=(List&& other) noexcept {
        std::swap(list_, other.list_);
        return *this;
    }
    List(const List&) = delete;
    List& operator=(const List&) = delete;
    ~List() { lookup_psl_list_free(list_); }

    const lookup_psl_list* handle() const noexcept { return list_; }
    std::string_view checksum() const noexcept { return lookup_psl_list_checksum(list_); }
    std::optional<std::string_view> version() const noexcept { return optional_text(lookup_psl_list_version(list_)); }
    std::optional<std::string_view> commit() const noexcept { return optional_text(lookup_psl_list_commit(list_)); }

    // The answers, lowercase unless keep_case is given. Throw Error for a
    // domain that is not valid UTF-8, std::bad_alloc when memory runs out.
    std::optional<std::string> publicsuffix(std::string_view domain, Flags flags = none) const {
        return text([&](char* out, std::size_t size, std::size_t* needed) {
            return lookup_psl_publicsuffix(list_, domain.data(), domain.size(), flags, out, size, needed);
        });
    }
    std::optional<std::string> privatesuffix(std::string_view domain, Flags flags = none) const {
        return text([&](char* out, std::size_t size, std::size_t* needed) {
            return lookup_psl_privatesuffix(list_, domain.data(), domain.size(), flags, out, size, needed);
        });
    }
    std::optional<std::string> subdomain(std::string_view domain, std::uint64_t depth, Flags flags = none) const {
        return text([&](char* out, std::size_t size, std::size_t* needed) {
            return lookup_psl_subdomain(list_, domain.data(), domain.size(), depth, flags, out, size, needed);
        });
    }
    std::optional<PrivateParts> privateparts(std::string_view domain, Flags flags = none) const {
        std::size_t in_front = 0;
        std::optional<std::string> whole = text([&](char* out, std::size_t size, std::size_t* needed) {
            return lookup_psl_privateparts(list_, domain.data(), domain.size(), flags, out, size, needed, &in_front);
        });
        if (!whole) {
            return std::nullopt;
        }
        PrivateParts parts;
        std::string_view rest = *whole;
        for (; in_front != 0; --in_front) {
            const std::size_t dot = rest.find('.');
            parts.labels_in_front.emplace_back(rest.substr(0, dot));
            rest.remove_prefix(dot + 1);
        }
        parts.private_suffix = rest;
        return parts;
    }
    bool is_public(std::string_view domain, Flags flags = none) const {
        return yes_no(lookup_psl_is_public(list_, domain.data(), domain.size(), flags));
    }
    bool is_private(std::string_view domain, Flags flags = none) const {
        return yes_no(lookup_psl_is_private(list_, domain.data(), domain.size(), flags));
    }

    // Views into `domain` (keep-case), valid as long as its bytes are.
    std::optional<std::string_view> publicsuffix_view(std::string_view domain, Flags flags = none) const {
        lookup_psl_view answer;
        return view(lookup_psl_publicsuffix_view(list_, domain.data(), domain.size(), flags, &answer), answer);
    }
    std::optional<std::string_view> privatesuffix_view(std::string_view domain, Flags flags = none) const {
        lookup_psl_view answer;
        return view(lookup_psl_privatesuffix_view(list_, domain.data(), domain.size(), flags, &answer), answer);
    }
    std::optional<std::string_view> subdomain_view(std::string_view domain, std::uint64_t depth,
                                                   Flags flags = none) const {
        lookup_psl_view answer;
        return view(lookup_psl_subdomain_view(list_, domain.data(), domain.size(), depth, flags, &answer), answer);
    }

private:
    explicit List(const lookup_psl_list* list) noexcept : list_(list) {}

    static std::optional<std::string_view> optional_text(const char* text) noexcept {
        return text ? std::optional<std::string_view>(text) : std::nullopt;
    }

    template <class Call>
    static List build(const std::vector<std::string>& extra_rules, Call call) {
        std::vector<const char*> rules;
        rules.reserve(extra_rules.size());
        for (const std::string& rule : extra_rules) {
            rules.push_back(rule.c_str());
        }
        lookup_psl_list* made = nullptr;
        lookup_psl_error error{};
        const lookup_psl_status status = call(rules.data(), rules.size(), &made, &error);
        if (status == LOOKUP_PSL_E_NO_MEMORY) {
            throw std::bad_alloc();
        }
        if (status != LOOKUP_PSL_OK) {
            throw Error(status, error.message, error.line, error.extra_rule);
        }
        return List(made);
    }

    // Most answers fit the stack buffer; a longer one is asked again with
    // the size the first call reported.
    template <class Call>
    static std::optional<std::string> text(Call call) {
        char buffer[256];
        std::size_t needed = 0;
        lookup_psl_status status = call(buffer, sizeof buffer, &needed);
        if (status == LOOKUP_PSL_E_BUFFER) {
            std::string answer(needed, '\0');
            status = call(answer.data(), needed + 1, &needed);
            if (status == LOOKUP_PSL_OK) {
                return answer;
            }
        }
        if (status == LOOKUP_PSL_OK) {
            return std::string(buffer, needed);
        }
        if (status == LOOKUP_PSL_NONE) {
            return std::nullopt;
        }
        detail::raise(status);
    }

    static bool yes_no(int answer) {
        if (answer < 0) {
            detail::raise(static_cast<lookup_psl_status>(answer));
        }
        return answer != 0;
    }

    static std::optional<std::string_view> view(lookup_psl_status status, lookup_psl_view answer) {
        if (status == LOOKUP_PSL_OK) {
            return std::string_view(answer.data, answer.length);
        }
        if (status == LOOKUP_PSL_NONE) {
            return std::nullopt;
        }
        detail::raise(status);
    }

    const lookup_psl_list* list_;
};

}  // namespace lookup_psl

#endif
