// The list handles: the compiled-in one, those built at run time and their
// accessors. Every failure of a build becomes a status and a message here;
// nothing thrown leaves these functions.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "build_error.h"
#include "handle.h"
#include "list_reader.h"
#include "lookup_psl/lookup_psl.h"

namespace lookup_psl_library {

namespace {

const char* text_or_null(const std::optional<std::string>& text) { return text ? text->c_str() : nullptr; }

lookup_psl_status fail(lookup_psl_error* error, lookup_psl_status status, std::string_view message,
                       std::size_t line = 0, std::size_t extra_rule = 0, int system_error = 0) {
    if (error != nullptr) {
        error->status = status;
        error->line = line;
        error->extra_rule = extra_rule;
        error->system_error = system_error;
        const std::size_t kept = std::min(message.size(), sizeof error->message - 1);
        std::memcpy(error->message, message.data(), kept);
        error->message[kept] = '\0';
    }
    return status;
}

// Builds `bytes` with the extra rules into *list; every exception is caught.
template <class Bytes>
lookup_psl_status build(Bytes&& get_bytes, const char* const* extra_rules, std::size_t extra_rule_count,
                        lookup_psl_list** list, lookup_psl_error* error) {
    if (list == nullptr || (extra_rules == nullptr && extra_rule_count != 0)) {
        return fail(error, LOOKUP_PSL_E_ARGUMENT, "list, or extra_rules with a count, is NULL");
    }
    *list = nullptr;
    try {
        std::vector<std::string_view> rules;
        rules.reserve(extra_rule_count);
        for (std::size_t i = 0; i < extra_rule_count; ++i) {
            if (extra_rules[i] == nullptr) {
                return fail(error, LOOKUP_PSL_E_ARGUMENT, "extra rule " + std::to_string(i + 1) + " is NULL");
            }
            rules.emplace_back(extra_rules[i]);
        }
        std::string owned;
        std::string_view bytes;
        if (const lookup_psl_status got = get_bytes(owned, bytes, error); got != LOOKUP_PSL_OK) {
            return got;
        }
        *list = make_list(builder::build_table(bytes, rules)).release();
        return fail(error, LOOKUP_PSL_OK, "");
    } catch (const builder::BuildError& refused) {
        return fail(error, LOOKUP_PSL_E_LIST, refused.what(), refused.line(), refused.extra_rule());
    } catch (const std::bad_alloc&) {
        return fail(error, LOOKUP_PSL_E_NO_MEMORY, "out of memory");
    } catch (const std::exception& fault) {
        return fail(error, LOOKUP_PSL_E_INTERNAL, fault.what());
    } catch (...) {
        return fail(error, LOOKUP_PSL_E_INTERNAL, "unknown failure");
    }
}

}  // namespace

std::unique_ptr<lookup_psl_list> make_list(builder::TableBuild&& build) {
    auto built = std::make_unique<const builder::TableBuild>(std::move(build));
    auto list = std::make_unique<lookup_psl_list>();
    list->table = built->table.view(built->checksum);
    list->checksum = built->checksum.c_str();
    list->version = text_or_null(built->info.version);
    list->commit = text_or_null(built->info.commit);
    list->built = std::move(built);
    return list;
}

}  // namespace lookup_psl_library

using namespace lookup_psl_library;

extern "C" {

const lookup_psl_list* lookup_psl_builtin(void) {
    // Constant-initialized apart from the table's spans: made once, never freed.
    static const lookup_psl_list builtin{lookup::indexed_compiled_table(), lookup::compiled_table().checksum.data(),
                                         nullptr, nullptr, nullptr};
    return &builtin;
}

lookup_psl_status lookup_psl_list_from_bytes(const char* data, size_t size, const char* const* extra_rules,
                                             size_t extra_rule_count, lookup_psl_list** list,
                                             lookup_psl_error* error) {
    return build(
        [&](std::string&, std::string_view& bytes, lookup_psl_error* report) {
            if (data == nullptr && size != 0) {
                return fail(report, LOOKUP_PSL_E_ARGUMENT, "data is NULL");
            }
            bytes = std::string_view(data == nullptr ? "" : data, size);
            return LOOKUP_PSL_OK;
        },
        extra_rules, extra_rule_count, list, error);
}

lookup_psl_status lookup_psl_list_from_file(const char* path, const char* const* extra_rules,
                                            size_t extra_rule_count, lookup_psl_list** list,
                                            lookup_psl_error* error) {
    return build(
        [&](std::string& owned, std::string_view& bytes, lookup_psl_error* report) {
            if (path == nullptr) {
                return fail(report, LOOKUP_PSL_E_ARGUMENT, "path is NULL");
            }
            try {
                owned = builder::read_list_file(path);
            } catch (const builder::BuildError& unreadable) {
                return fail(report, LOOKUP_PSL_E_FILE, unreadable.what(), 0, 0, errno);
            }
            bytes = owned;
            return LOOKUP_PSL_OK;
        },
        extra_rules, extra_rule_count, list, error);
}

void lookup_psl_list_free(const lookup_psl_list* list) {
    if (list != nullptr && list != lookup_psl_builtin()) {
        delete list;
    }
}

const char* lookup_psl_list_checksum(const lookup_psl_list* list) { return list ? list->checksum : nullptr; }
const char* lookup_psl_list_version(const lookup_psl_list* list) { return list ? list->version : nullptr; }
const char* lookup_psl_list_commit(const lookup_psl_list* list) { return list ? list->commit : nullptr; }

const char* lookup_psl_version(void) { return LOOKUP_PSL_VERSION_TEXT; }

const char* lookup_psl_status_text(lookup_psl_status status) {
    switch (status) {
        case LOOKUP_PSL_OK: return "success";
        case LOOKUP_PSL_NONE: return "no answer";
        case LOOKUP_PSL_E_BUFFER: return "buffer too small";
        case LOOKUP_PSL_E_ARGUMENT: return "invalid argument";
        case LOOKUP_PSL_E_UTF8: return "domain is not valid UTF-8";
        case LOOKUP_PSL_E_LIST: return "the list cannot be built";
        case LOOKUP_PSL_E_FILE: return "the list file cannot be read";
        case LOOKUP_PSL_E_NO_MEMORY: return "out of memory";
        case LOOKUP_PSL_E_INTERNAL: return "internal fault";
    }
    return "unknown status";
}

}  // extern "C"
