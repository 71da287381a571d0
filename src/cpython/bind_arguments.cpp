#include "bind_arguments.h"

#include <cstring>
#include <string>
#include <vector>

#include "text_rule.h"

namespace lookup {
namespace {

std::string full_name(const ParameterSpec& spec) {
    std::string name;
    if (!spec.class_name.empty()) {
        name.append(spec.class_name).append(".");
    }
    name.append(spec.function_name).append("()");
    return name;
}

// 'a'; 'a' and 'b'; 'a', 'b', and 'c'
std::string quoted_list(const std::vector<std::string_view>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i != 0) {
            if (names.size() == 2) {
                text += " and ";
            } else if (i + 1 == names.size()) {
                text += ", and ";
            } else {
                text += ", ";
            }
        }
        text.append("'").append(names[i]).append("'");
    }
    return text;
}

PyError type_error(std::string message) { return PyError::described(PyExc_TypeError, std::move(message)); }

PyError too_many_positional(const ParameterSpec& spec, Py_ssize_t given) {
    std::string message = full_name(spec) + " takes ";
    if (spec.required_positional_count == spec.positional.size()) {
        message += std::to_string(spec.positional.size());
    } else {
        message += "from " + std::to_string(spec.required_positional_count) + " to " +
                   std::to_string(spec.positional.size());
    }
    message += " positional arguments but " + std::to_string(given) + (given == 1 ? " was" : " were") + " given";
    return type_error(std::move(message));
}

PyError unexpected_keyword(const ParameterSpec& spec, PyObject* keyword) {
    return type_error(full_name(spec) + " got an unexpected keyword argument '" + display_text(keyword) + "'");
}

PyError multiple_values(const ParameterSpec& spec, std::string_view parameter) {
    return type_error(full_name(spec) + " got multiple values for argument '" + std::string(parameter) + "'");
}

PyError missing(const ParameterSpec& spec, std::string_view kind, const std::vector<std::string_view>& names) {
    return type_error(full_name(spec) + " missing " + std::to_string(names.size()) + " required " +
                      std::string(kind) + (names.size() == 1 ? " argument: " : " arguments: ") +
                      quoted_list(names));
}

bool same_bytes(std::string_view name, const char* bytes, Py_ssize_t size) {
    return name.size() == static_cast<std::size_t>(size) && std::memcmp(name.data(), bytes, name.size()) == 0;
}

}  // namespace

Status bind_arguments_in_full(const ParameterSpec& spec, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames, PyObject** slots) {
    const std::size_t positional_count = spec.positional.size();
    if (static_cast<std::size_t>(nargs) > positional_count) {
        return too_many_positional(spec, nargs);
    }
    const std::size_t given = static_cast<std::size_t>(nargs);
    const std::size_t slot_count = spec.slot_count();
    for (std::size_t i = 0; i < given; ++i) {
        slots[i] = args[i];
    }
    for (std::size_t i = given; i < slot_count; ++i) {
        slots[i] = nullptr;
    }

    if (kwnames != nullptr) {
        std::vector<std::string_view> positional_only_by_keyword;
        const Py_ssize_t keyword_count = PyTuple_GET_SIZE(kwnames);
        for (Py_ssize_t k = 0; k < keyword_count; ++k) {
            PyObject* keyword = PyTuple_GET_ITEM(kwnames, k);
            PyObject* value = args[nargs + k];
            Py_ssize_t size = 0;
            const char* bytes = PyUnicode_AsUTF8AndSize(keyword, &size);
            if (bytes == nullptr) {
                PyErr_Clear();
                return unexpected_keyword(spec, keyword);
            }
            PyObject** slot = nullptr;
            std::string_view parameter;
            for (std::size_t i = 0; i < spec.keyword_only.size() && slot == nullptr; ++i) {
                if (same_bytes(spec.keyword_only[i].name, bytes, size)) {
                    slot = &slots[positional_count + i];
                    parameter = spec.keyword_only[i].name;
                }
            }
            for (std::size_t i = 0; i < positional_count && slot == nullptr; ++i) {
                if (same_bytes(spec.positional[i], bytes, size)) {
                    if (i < spec.positional_only_count) {
                        positional_only_by_keyword.push_back(spec.positional[i]);
                        parameter = spec.positional[i];
                        break;
                    }
                    slot = &slots[i];
                    parameter = spec.positional[i];
                }
            }
            if (slot == nullptr) {
                if (parameter.empty()) {
                    return unexpected_keyword(spec, keyword);
                }
                continue;  // positional-only, reported below
            }
            if (*slot != nullptr) {
                return multiple_values(spec, parameter);
            }
            *slot = value;
        }
        if (!positional_only_by_keyword.empty()) {
            return type_error(full_name(spec) +
                              " got some positional-only arguments passed as keyword arguments: " +
                              quoted_list(positional_only_by_keyword));
        }
    }

    if (given < spec.required_positional_count) {
        std::vector<std::string_view> absent;
        for (std::size_t i = 0; i < spec.required_positional_count; ++i) {
            if (slots[i] == nullptr) {
                absent.push_back(spec.positional[i]);
            }
        }
        if (!absent.empty()) {
            return missing(spec, "positional", absent);
        }
    }
    for (std::size_t i = 0; i < spec.keyword_only.size(); ++i) {
        if (spec.keyword_only[i].required && slots[positional_count + i] == nullptr) {
            std::vector<std::string_view> absent;
            for (std::size_t j = i; j < spec.keyword_only.size(); ++j) {
                if (spec.keyword_only[j].required && slots[positional_count + j] == nullptr) {
                    absent.push_back(spec.keyword_only[j].name);
                }
            }
            return missing(spec, "keyword", absent);
        }
    }
    return Status();
}

}  // namespace lookup
